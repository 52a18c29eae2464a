// picaxo-cli rotate: lossless quarter and half turns of JPEG files, in place.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/cli_command.h"
#include "base/error.h"
#include "lossless/jpeg_rotate.h"

namespace picaxo::cli {

namespace {

constexpr const char* kUsage = "[--no-auto-orient] right|left|180 [--] FILE...";

bool ParseDirection(const std::string& word, uint8_t& direction) {
  if (word == "right")
    direction = kRotateRight;
  else if (word == "left")
    direction = kRotateLeft;
  else if (word == "180")
    direction = kRotateHalf;
  else
    return false;
  return true;
}

// Each file is rotated on its own; one failure does not stop the others. A damaged file is not
// rotated (a failure); harmless decoder warnings and an owner or attribute that could not be kept
// are reported, but the file was rotated.
int RunRotate(const std::vector<std::string>& arguments) {
  // "--" ends the options: after it every word is a file, whatever it looks like.
  std::vector<std::string> args;
  bool help = false;
  bool autoOrient = true;
  bool optionsEnded = false;
  for (const std::string& arg : arguments) {
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      args.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--no-auto-orient") {
      autoOrient = false;
    } else {
      std::fprintf(stderr, "picaxo-cli rotate: unknown option '%s' (usage: picaxo-cli rotate %s)\n",
                   arg.c_str(), kUsage);
      return kExitUsage;
    }
  }
  if (help) {
    std::printf(
        "Usage: picaxo-cli rotate %s\n"
        "Rotates each JPEG file in place without loss of quality (right = clockwise).\n"
        "The file keeps its name, modification time, permissions and, where allowed,\n"
        "its owner and extended attributes; all its markers (EXIF, comments, ...) are\n"
        "kept. A file tagged with an EXIF orientation is turned as it is shown and its\n"
        "tag set to 1 (its EXIF thumbnail is dropped); with --no-auto-orient it is\n"
        "turned as stored and its markers stay unchanged. A file whose image data is\n"
        "damaged is left as it is.\n",
        kUsage);
    return kExitOk;
  }
  uint8_t direction = 0;
  if (args.size() < 2 || !ParseDirection(args[0], direction)) {
    std::fprintf(stderr, "Usage: picaxo-cli rotate %s\n", kUsage);
    return kExitUsage;
  }
  int status = kExitOk;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& file = args[i];
    try {
      std::vector<std::string> notKept;
      const int warnings = RotateJPEGFile(file, direction, autoOrient, &notKept);
      if (warnings == 0)
        std::printf("%s: done\n", file.c_str());
      else
        std::printf("%s: done, with %d harmless decoder warning%s\n", file.c_str(), warnings,
                    warnings == 1 ? "" : "s");
      for (const std::string& note : notKept)
        std::fprintf(stderr, "%s: warning: %s\n", file.c_str(), note.c_str());
    } catch (...) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), ErrorReason(std::current_exception()).c_str());
      status = kExitFailure;
    }
    std::fflush(stdout);
  }
  return status;
}

const bool kRegistered = RegisterCliCommand(
    {"rotate", kUsage, "rotate JPEG files in place without loss of quality", RunRotate});

}  // namespace

}  // namespace picaxo::cli
