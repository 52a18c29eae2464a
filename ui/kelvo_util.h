#pragma once
// The program's identity as the desktop shows it: version, program file, working folder.
#include <string>

namespace picaxo {

// The build's project version, e.g. "0.1.0".
std::string GetProgramVersion();
// The program file's absolute path with symbolic links resolved ("/proc/self/exe").
std::string GetProgramPath();
// The process's working folder, ending in "/"; the program's folder when it cannot be read.
std::string GetCurrentFolder();

}  // namespace picaxo
