#include "RecordFolder.h"

#include "OwnerOnly_win.h"

#include <shlobj.h>

#include <cstdlib>

namespace record {

namespace {

bool Fail(FolderError& error, std::string what, DWORD code)
{
    error.what = std::move(what);
    error.error = static_cast<int>(code);
    return false;
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::string RecordsFolder()
{
    std::string base;
    if (const char* local = std::getenv("LOCALAPPDATA"); local && *local) {
        base = local;
    } else {
        char path[MAX_PATH] = {};
        if (::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
            return "";
        base = path;
    }
    return base + "\\OrvelConfigurator\\records";
}

std::string InFolder(const std::string& folder, const std::string& name)
{
    return folder + '\\' + name;
}

bool PrepareFolder(const std::string& folder, FolderError& error)
{
    if (folder.empty())
        return Fail(error, "no records folder", ERROR_PATH_NOT_FOUND);
    DWORD failure = ERROR_SUCCESS;
    const SecurityDescriptor ownerOnly = OwnerOnlyDescriptor(true, failure);
    if (!ownerOnly)
        return Fail(error, "owner-only security descriptor", failure);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, ownerOnly.get(), FALSE};

    // Every folder on the way that is missing is made owner-only; the drive,
    // a share and existing folders are left as they are. Only the records
    // folder's own failure counts: the check below finds any other.
    for (std::size_t end = folder.find_first_of("\\/", 1);; end = folder.find_first_of("\\/", end + 1)) {
        const bool last = end == std::string::npos;
        const std::string path = folder.substr(0, end);
        if (!path.empty() && path.back() != ':' && !IsFolder(path) && !::CreateDirectoryA(path.c_str(), &attributes)) {
            const DWORD code = ::GetLastError();
            if (last && code != ERROR_ALREADY_EXISTS)
                return Fail(error, "CreateDirectory " + path, code);
        }
        if (last)
            break;
    }
    if (!IsFolder(folder))
        return Fail(error, "not a folder: " + folder, ERROR_DIRECTORY);
    return true;
}

} // namespace record
