#include "Paths.h"

#include "win32/Layer.h"

#include <shlobj.h>

#include <filesystem>
#include <system_error>

namespace ui {

// Records go to the operator's documents folder by default.
std::string HomeFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return Utf8FromWide(folder);
    const DWORD size = ::GetEnvironmentVariableW(L"USERPROFILE", folder, MAX_PATH);
    return size > 0 && size < MAX_PATH ? Utf8FromWide(folder) : std::string("C:\\");
}

// Paths are UTF-8 here; std::filesystem takes them as such through u8path.
std::string FolderOf(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path given = std::filesystem::u8path(path);
    const std::filesystem::path absolute = std::filesystem::absolute(given, error);
    return (error ? given : absolute).parent_path().u8string();
}

std::string InFolder(const std::string& folder, const std::string& name)
{
    return (std::filesystem::u8path(folder) / std::filesystem::u8path(name)).u8string();
}

std::string ShownPath(const std::string& path)
{
    return path;
}

} // namespace ui
