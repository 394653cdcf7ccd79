#pragma once

#include "FileDescriptor.h"

#include <string>

namespace devsim {

// Makes sure `folder` is a directory of the current user, creating it (and
// missing parents) with mode 0700 when it does not exist. Returns its
// absolute path. Throws std::runtime_error or std::system_error with a
// message fit for the operator.
std::string PrepareFolder(const std::string& folder);

// Held by the one simulator that serves a given set of link names. Taken on
// construction (throws std::runtime_error when another live simulator holds
// it) and released by the process's end whatever the way it ends, so a
// crashed simulator leaves no lock behind. It is an abstract local socket
// name: no file is left in the folder.
class CInstanceLock
{
public:
    CInstanceLock(const std::string& folder, const std::string& prefix);

private:
    CFileDescriptor m_socket;
};

} // namespace devsim
