#include "PortFolder.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace devsim {

namespace {

std::uint64_t Fnv1a(const std::string& text)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

} // namespace

std::string PrepareFolder(const std::string& folder)
{
    namespace fs = std::filesystem;
    if (folder.empty())
        throw std::runtime_error("the port folder is not named");
    std::error_code error;
    const fs::path path = fs::absolute(folder, error).lexically_normal();
    if (error)
        throw std::system_error(error, "cannot use folder " + folder);

    struct stat info{};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT)
            throw SystemError("cannot use folder " + path.string());
        fs::create_directories(path, error);
        if (error)
            throw std::system_error(error, "cannot create folder " + path.string());
        if (::chmod(path.c_str(), 0700) != 0 || ::stat(path.c_str(), &info) != 0)
            throw SystemError("cannot set up folder " + path.string());
    }
    if (!S_ISDIR(info.st_mode))
        throw std::runtime_error("cannot use folder " + path.string() + ": not a directory");
    if (info.st_uid != ::geteuid())
        throw std::runtime_error("cannot use folder " + path.string() + ": it belongs to another user");
    if (::access(path.c_str(), W_OK | X_OK) != 0)
        throw SystemError("cannot write to folder " + path.string());

    std::string result = path.string();
    if (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

CInstanceLock::CInstanceLock(const std::string& folder, const std::string& prefix)
    : m_socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    if (!m_socket.IsOpen())
        throw SystemError("socket");
    char name[64];
    std::snprintf(name, sizeof name, "orvel-devsim/%016llx",
                  static_cast<unsigned long long>(Fnv1a(folder + "/" + prefix)));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A leading NUL puts the name in the abstract namespace.
    std::memcpy(address.sun_path + 1, name, std::strlen(name));
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + std::strlen(name));
    if (::bind(m_socket.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        if (errno == EADDRINUSE)
            throw std::runtime_error("another orvel-devsim already serves " + folder + "/" + prefix + "*");
        throw SystemError("cannot take the instance lock");
    }
}

} // namespace devsim
