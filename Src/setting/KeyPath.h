#pragma once

#include <string>

namespace setting {

// Appends `component` to `path` after a single backslash. Nothing is
// appended for an empty component; no backslash is put in when `path` is
// empty or ends in ':', '/' or '\', and a component beginning with '\' or
// '/' does not make a doubled separator.
void AppendKeyPath(std::string& path, const std::string& component);

// "Lunder\Orvel4", followed by "\name" when name is neither null nor empty.
std::string MakeAppKeyPath(const char* name = nullptr);

// "SOFTWARE\" followed by MakeAppKeyPath(name).
std::string MakeSoftwareKeyPath(const char* name);

} // namespace setting
