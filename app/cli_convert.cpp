// picaxo-cli convert: one source file into one destination file (JPEG, WebP, AVIF or PNG), as a
// save of the desktop program would write it.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli_command.h"
#include "app/cli_options.h"
#include "base/error.h"
#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"

namespace picaxo::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = "[options] SOURCE DEST";

void PrintConvertHelp() {
  std::printf(
      "Usage: picaxo-cli convert %s\n\n"
      "Converts SOURCE (.jpg, .jpeg, .bmp, .png, .webp, .heic, .heif, .avif, .tif, .tiff) into\n"
      "the file DEST in the output format (a folder: DEST/<name>.jpg, or .webp, .avif, .png by\n"
      "--format). A source already in that format whose pixels would not change is copied byte\n"
      "for byte.\n\n"
      "%s"
      "Other options:\n"
      "  --crop L,T,R,B     crop to the inclusive rectangle L,T - R,B of the upright picture\n"
      "  --no-auto-orient   keep the picture as stored, ignoring its EXIF orientation\n"
      "  --dry-run          compute everything, write nothing\n"
      "  --help             this text\n\n"
      "Prints: DEST: FRAMExSIZE, FILE SIZE  [RATIO], copied|encoded\n",
      kUsage, ResizeOptionsHelp().c_str());
}

struct TConvertArgs {
  TResizeSettings settings;
  std::optional<TSelection> crop;
  bool dryRun = false;
  TSourceOptions source;
  bool help = false;
  std::vector<std::string> paths;
};

TConvertArgs ParseArgs(const std::vector<std::string>& args) {
  TConvertArgs parsed;
  ParseCommandLine(args, parsed.settings, parsed.paths, parsed.help,
                   [&](const TOption& option, size_t& i) {
                     if (option.name == "--crop") {
                       parsed.crop = ParseCrop(OptionValue(option, args, i));
                     } else if (option.name == "--dry-run" && !option.value) {
                       parsed.dryRun = true;
                     } else if (option.name == "--no-auto-orient" && !option.value) {
                       parsed.source.AutoOrient = false;
                     } else {
                       return false;
                     }
                     return true;
                   });
  if (!parsed.help && parsed.paths.size() != 2)
    throw EUsageError("expected SOURCE and DEST (usage: picaxo-cli convert " + std::string(kUsage) +
                      ")");
  return parsed;
}

// DEST, or DEST/<source base name> with the format's extension when DEST is a folder.
std::string DestinationPath(const std::string& source, const std::string& dest,
                            EOutputFormat format) {
  std::error_code ec;
  if (!fs::is_directory(dest, ec)) return dest;
  const std::string name = fs::path(source).filename().string();
  return (fs::path(dest) / (StripExtension(name) + std::string(OutputExtension(format)))).string();
}

int RunConvert(const std::vector<std::string>& args) {
  TConvertArgs parsed;
  try {
    parsed = ParseArgs(args);
  } catch (const EUsageError& e) {
    std::fprintf(stderr, "picaxo-cli convert: %s\n", e.what());
    return kExitUsage;
  }
  if (parsed.help) {
    PrintConvertHelp();
    return kExitOk;
  }
  const std::string& source = parsed.paths[0];
  const std::string dest =
      DestinationPath(source, parsed.paths[1], OutputFormatOf(parsed.settings));
  std::error_code ec;
  if (fs::exists(dest, ec) && fs::equivalent(source, dest, ec)) {
    std::fprintf(stderr, "picaxo-cli convert: %s: the destination is the source file\n",
                 dest.c_str());
    return kExitFailure;
  }

  // Rows stream from the decoder to the encoder: the decoded source is never held whole.
  std::unique_ptr<TRowSource> picture;
  try {
    TSourceOptions options = parsed.source;
    options.Color = ColorProfilePolicyOf(parsed.settings);
    options.Background = parsed.settings.PaddingColor;
    picture = OpenRowSource(source, options);
  } catch (...) {
    std::fprintf(stderr, "picaxo-cli convert: cannot read %s: %s\n", source.c_str(),
                 ErrorReason(std::current_exception()).c_str());
    return kExitFailure;
  }
  if (!picture->Notes().Ignored.empty())
    std::fprintf(stderr, "picaxo-cli convert: warning: %s: ignored %s\n", source.c_str(),
                 picture->Notes().Ignored.c_str());
  if (picture->Width() <= 0 || picture->Height() <= 0) {
    std::fprintf(stderr, "picaxo-cli convert: %s: the picture has no pixels\n", source.c_str());
    return kExitFailure;
  }

  TConvertRequest request;
  request.SourcePath = source;
  if (parsed.crop)
    request.Selection = MakeSelection(parsed.crop->Left, parsed.crop->Top, parsed.crop->Right,
                                      parsed.crop->Bottom, picture->Width(), picture->Height());
  request.Settings = parsed.settings;
  request.AllowEnlarge = parsed.settings.AllowEnlarge;
  request.ForceRecompress = parsed.settings.AlwaysRecompress;

  TConversion conversion;
  try {
    conversion = ConvertRows(*picture, request);
  } catch (...) {
    // A decoder error met while streaming is a read error, as it is when the file is decoded
    // before converting.
    std::fprintf(stderr, "picaxo-cli convert: cannot %s %s: %s\n",
                 picture->Failed() ? "read" : "convert", source.c_str(),
                 ErrorReason(std::current_exception()).c_str());
    return kExitFailure;
  }
  picture.reset();
  if (!conversion.Warning.empty())
    std::fprintf(stderr, "picaxo-cli convert: warning: %s: %s\n", source.c_str(),
                 conversion.Warning.c_str());
  if (!parsed.dryRun) {
    try {
      WriteFileAtomically(dest, conversion.Bytes);
    } catch (...) {
      std::fprintf(stderr, "picaxo-cli convert: cannot write %s: %s\n", dest.c_str(),
                   ErrorReason(std::current_exception()).c_str());
      return kExitFailure;
    }
  }
  // Converted all the same, as the window does; the user learns why part of it may look wrong.
  if (conversion.SourceDamaged)
    std::fprintf(stderr, "picaxo-cli convert: warning: %s\n",
                 DamagedSourceText(SplitPath(source).Name).c_str());
  const OutputGeometry& g = conversion.Geometry;
  std::printf("%s: %dx%d, %s, %s%s\n", dest.c_str(), g.FrameWidth, g.FrameHeight,
              SizeAndRatioText(static_cast<int64_t>(conversion.Bytes.size()), g.FrameWidth,
                               g.FrameHeight, TRatio::Include)
                  .c_str(),
              conversion.Kind == TOutputKind::DirectCopy ? "copied" : "encoded",
              parsed.dryRun ? " (dry run, nothing written)" : "");
  return kExitOk;
}

[[maybe_unused]] const bool registered = RegisterCliCommand(
    {"convert", kUsage, "convert one JPEG or BMP file into a destination JPEG, WebP, AVIF or PNG",
     RunConvert});

}  // namespace

}  // namespace picaxo::cli
