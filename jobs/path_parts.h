#pragma once
// A path split into its folder and its file name, written once for the jobs layer.
#include <string>

namespace picaxo {

// The folder of path without a trailing separator ("/" for a file at the root, empty when the
// path has no separator), and the name after the last separator.
std::string FolderOfPath(const std::string& path);
std::string NameOfPath(const std::string& path);
// The extension of the path's file name in lower case (".jpg"), empty when the name has none or
// only a leading dot.
std::string LowerExtensionOf(const std::string& path);

}  // namespace picaxo
