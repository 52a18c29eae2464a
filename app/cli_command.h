#pragma once
// Subcommands of picaxo-cli. Each cli_<name>.cpp registers one at static-initialisation time,
// so the dispatcher in cli_main.cpp never needs to know the list.
#include <string>
#include <vector>

namespace picaxo::cli {

struct CliCommand {
  const char* name;                                  // the word after "picaxo-cli"
  const char* usage;                                 // one line: arguments after the name
  const char* summary;                               // one line for --help
  int (*run)(const std::vector<std::string>& args);  // args after the name; returns exit code
};

bool RegisterCliCommand(const CliCommand& command);
const std::vector<CliCommand>& CliCommands();

// Exit codes shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work was attempted and something failed
inline constexpr int kExitUsage = 2;    // bad arguments; nothing was done

}  // namespace picaxo::cli
