#pragma once
// Name parts the jobs layer shows (folder and name come from SplitPath in base/file_util.h).
#include <string>

namespace picaxo {

// The extension of the path's file name in lower case (".jpg"), empty when the name has none or
// only a leading dot.
std::string LowerExtensionOf(const std::string& path);

}  // namespace picaxo
