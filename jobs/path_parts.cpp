#include "jobs/path_parts.h"

#include "base/file_util.h"

namespace picaxo {

std::string LowerExtensionOf(const std::string& path) {
  const std::string name = SplitPath(path).Name;
  std::string extension = name.substr(StripExtension(name).size());
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

}  // namespace picaxo
