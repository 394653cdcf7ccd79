#pragma once

// Where records live, and making that folder the user's only. One source
// per platform.
//
// Errors are the system's own numbers: errno on Linux, GetLastError() on
// Windows.

#include <string>

namespace record {

// The user's records folder:
//   Linux    $XDG_STATE_HOME/OrvelConfigurator/records, XDG_STATE_HOME
//            defaulting to ~/.local/state when it is unset or not absolute
//   Windows  %LOCALAPPDATA%\OrvelConfigurator\records
std::string RecordsFolder();

// `name` in `folder`.
std::string InFolder(const std::string& folder, const std::string& name);

// What PrepareFolder found wrong: the failed step and the system's error.
struct FolderError
{
    std::string what;  // "mkdir /path", "not a folder of this user: /path" ...
    int error = 0;
};

// Makes `folder` and any missing folders above it; a folder made here is
// the user's only (0700; on Windows a protected DACL granting the user
// alone). An existing records folder must be a real folder of the user's:
// on Linux not a symbolic link, owned by the user, and it is made owner-only
// if it is not. True when it is ready.
bool PrepareFolder(const std::string& folder, FolderError& error);

} // namespace record
