// picaxo-cli: the conversion pipeline of the desktop program, headless.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "app/cli_command.h"
#include "base/error.h"

namespace picaxo::cli {

namespace {
std::vector<CliCommand>& Registry() {
  static std::vector<CliCommand> commands;
  return commands;
}

void PrintHelp() {
  std::printf(
      "Picaxo %s - prepares JPEG and BMP photographs for publication\n\n"
      "Usage: picaxo-cli COMMAND [OPTIONS] ...\n"
      "       picaxo-cli --help | --version\n\n"
      "Commands:\n",
      PICAXO_VERSION);
  std::vector<CliCommand> sorted = Registry();
  std::sort(sorted.begin(), sorted.end(), [](const CliCommand& a, const CliCommand& b) {
    return std::strcmp(a.name, b.name) < 0;
  });
  for (const CliCommand& c : sorted)
    std::printf("  %-8s %s\n           %s %s\n", c.name, c.summary, c.name, c.usage);
  std::printf("\nRun 'picaxo-cli COMMAND --help' for the options of a command.\n");
}
}  // namespace

bool RegisterCliCommand(const CliCommand& command) {
  Registry().push_back(command);
  return true;
}

const std::vector<CliCommand>& CliCommands() {
  return Registry();
}

}  // namespace picaxo::cli

int main(int argc, char** argv) {
  using namespace picaxo::cli;
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintHelp();
    return argc < 2 ? kExitUsage : kExitOk;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("picaxo-cli %s\n", PICAXO_VERSION);
    return kExitOk;
  }
  for (const CliCommand& c : CliCommands()) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    try {
      return c.run(std::vector<std::string>(argv + 2, argv + argc));
    } catch (...) {
      std::fprintf(stderr, "picaxo-cli %s: %s\n", c.name,
                   picaxo::ErrorReason(std::current_exception()).c_str());
      return kExitFailure;
    }
  }
  std::fprintf(stderr, "picaxo-cli: unknown command '%s' (see picaxo-cli --help)\n", argv[1]);
  return kExitUsage;
}
