#include "KeyPath.h"

namespace setting {

namespace {

const char kMaker[] = "Lunder";
const char kFamily[] = "Orvel4";
const char kSoftware[] = "SOFTWARE";

bool IsSlash(char c)
{
    return c == '\\' || c == '/';
}

// Appends `component` to `path` after a single backslash. Nothing is
// appended for an empty component; no backslash is put in when `path` is
// empty or ends in ':', '/' or '\', and a component beginning with '\' or
// '/' does not make a doubled separator.
void AppendKeyPath(std::string& path, const std::string& component)
{
    if (component.empty())
        return;
    const bool pathEndsInSeparator = !path.empty() && (IsSlash(path.back()) || path.back() == ':');
    std::size_t start = 0;
    if (!path.empty() && IsSlash(path.back())) {
        while (start < component.size() && IsSlash(component[start]))
            ++start;  // no doubled separator
    }
    if (!path.empty() && !pathEndsInSeparator && !IsSlash(component.front()))
        path += '\\';
    path.append(component, start, std::string::npos);
}

} // namespace

std::string MakeAppKeyPath(const char* name)
{
    std::string path = kMaker;
    AppendKeyPath(path, kFamily);
    if (name && *name)
        AppendKeyPath(path, name);
    return path;
}

std::string MakeSoftwareKeyPath(const char* name)
{
    std::string path = kSoftware;
    AppendKeyPath(path, MakeAppKeyPath(name));
    return path;
}

} // namespace setting
