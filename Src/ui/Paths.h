#pragma once

// Paths as the system names them (Linux: the file name's bytes; Windows:
// UTF-8), and the few things the window does with them.

#include <string>

namespace ui {

// The operator's home folder.
std::string HomeFolder();
// The folder a file is in, made absolute.
std::string FolderOf(const std::string& path);
// `name` in `folder`.
std::string InFolder(const std::string& folder, const std::string& name);
// A path as the operator reads it (UTF-8).
std::string ShownPath(const std::string& path);

} // namespace ui
