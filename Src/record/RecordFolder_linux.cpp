#include "RecordFolder.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace record {

namespace {

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw ? pw->pw_dir : "";
}

bool Fail(FolderError& error, std::string what, int code)
{
    error.what = std::move(what);
    error.error = code;
    return false;
}

} // namespace

std::string RecordsFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string base = state && state[0] == '/' ? std::string(state) : HomeFolder() + "/.local/state";
    return base + "/OrvelConfigurator/records";
}

std::string InFolder(const std::string& folder, const std::string& name)
{
    return folder + '/' + name;
}

bool PrepareFolder(const std::string& folder, FolderError& error)
{
    if (folder.empty())
        return Fail(error, "no records folder", ENOENT);
    // Each missing folder on the way is made owner-only, as a state folder
    // should be; existing ones above the records folder are left as they are.
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        const std::string above = folder.substr(0, slash);
        if (::mkdir(above.c_str(), 0700) != 0 && errno != EEXIST)
            return Fail(error, "mkdir " + above, errno);
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return Fail(error, "mkdir " + folder, errno);

    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return Fail(error, "open folder " + folder, errno);
    struct stat st{};
    bool ready = ::fstat(fd, &st) == 0;
    if (!ready)
        Fail(error, "stat " + folder, errno);
    else if (st.st_uid != ::geteuid())
        ready = Fail(error, "not a folder of this user: " + folder, EPERM);
    else if ((st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)
        ready = Fail(error, "chmod 0700 " + folder, errno);
    ::close(fd);
    return ready;
}

} // namespace record
