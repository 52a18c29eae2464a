#pragma once
// Files and folders dropped onto the window: which folder they open and which image shows first.
#include <optional>
#include <string>
#include <vector>

namespace picaxo {

struct TDropTarget {
  std::string Folder;  // the folder to list (long path form)
  std::string File;    // the image to show first; empty: the folder's first image
};

// The first dropped path that is a folder or a source image (IsSourceImageName) decides: a folder
// is opened as the command-line argument opens it, an image opens its folder with that image shown.
// Other paths (missing ones, other kinds of file) are passed over; nothing when none is left, so
// such a drop is ignored.
std::optional<TDropTarget> DropTargetOf(const std::vector<std::string>& paths);

}  // namespace picaxo
