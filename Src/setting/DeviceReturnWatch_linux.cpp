#include "DeviceReturnWatchPlatform.h"

#include "RegistryHooks.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace setting {

namespace {

namespace fs = std::filesystem;

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return !path.empty() && ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool InFolder(const std::string& path, const std::string& folder)
{
    return !folder.empty() && fs::path(path).parent_path().lexically_normal() == fs::path(folder).lexically_normal();
}

// The device's place under /sys: where /sys/dev/char/<major>:<minor> of the
// node `path` leads (for a USB adapter, a path through its hub and socket).
// Empty for a device /sys does not list (a pseudo-terminal).
std::string SysfsPlace(const std::string& path, const registry::DeviceSources& sources)
{
    struct stat st {};
    if (sources.sysfsRoot.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return std::string();
    return RealPath(sources.sysfsRoot + "/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
                    std::to_string(minor(st.st_rdev)));
}

// The first link of the by-id folder, in name order, that leads to `device`.
std::string ByIdLinkTo(const std::string& device, const std::string& byIdFolder)
{
    std::set<std::string> links;
    if (DIR* dir = byIdFolder.empty() ? nullptr : ::opendir(byIdFolder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            links.insert(byIdFolder + "/" + entry->d_name);
        ::closedir(dir);
    }
    for (const std::string& link : links) {
        struct stat st {};
        if (::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && RealPath(link) == device)
            return link;
    }
    return std::string();
}

// The folders whose changes may bring `name` back: its own, and the one its
// link leads into (read from the link, which may dangle).
void AddFoldersOf(const std::string& name, std::vector<std::string>& folders)
{
    if (name.empty())
        return;
    const fs::path path(name);
    folders.push_back(path.parent_path().string());
    std::error_code error;
    const fs::path target = fs::read_symlink(path, error);
    if (!error)
        folders.push_back((path.parent_path() / target).lexically_normal().parent_path().string());
}

// The folder itself, or its nearest parent that exists while it does not
// (udev removes /dev/serial/by-id with the last adapter).
std::string NearestFolder(fs::path folder)
{
    std::error_code error;
    while (!folder.empty() && !fs::is_directory(folder, error) && folder != folder.root_path())
        folder = folder.parent_path();
    return folder.empty() ? std::string("/") : folder.string();
}

// inotify on the folders of the device's names, and an eventfd that Stop
// writes to. Without inotify (its limits reached) the watch still looks
// once every LookInterval().
class CInotifySignal final : public detail::CChangeSignal
{
public:
    explicit CInotifySignal(const DeviceIdentity& identity)
        : m_inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_stop(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
        AddFoldersOf(identity.portName, m_folders);
        AddFoldersOf(identity.byIdLink, m_folders);
    }
    ~CInotifySignal() override
    {
        if (m_inotify >= 0)
            ::close(m_inotify);
        if (m_stop >= 0)
            ::close(m_stop);
    }

    // The folders are watched anew each time: one that was missing may exist
    // now, and a watch on a removed one is gone with it.
    void Arm() override
    {
        if (m_inotify < 0)
            return;
        constexpr std::uint32_t kEvents =
            IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
        std::set<int> watches;
        for (const std::string& folder : m_folders) {
            const int watch = ::inotify_add_watch(m_inotify, NearestFolder(folder).c_str(), kEvents);
            if (watch >= 0)
                watches.insert(watch);
        }
        for (const int old : m_watches)
            if (watches.count(old) == 0)
                ::inotify_rm_watch(m_inotify, old);
        m_watches.swap(watches);
    }

    bool Wait(std::chrono::milliseconds timeout) override
    {
        pollfd fds[2] = {{m_stop, POLLIN, 0}, {m_inotify, POLLIN, 0}};
        const int ready = ::poll(fds, m_inotify >= 0 ? 2 : 1, static_cast<int>(timeout.count()));
        if (ready < 0 && errno != EINTR)
            return false;
        if (m_stop < 0 || (fds[0].revents & POLLIN) != 0)
            return false;
        if (m_inotify >= 0 && (fds[1].revents & POLLIN) != 0) {
            alignas(inotify_event) char events[4096];
            while (::read(m_inotify, events, sizeof events) > 0) {
                // What changed does not matter: the next look sees.
            }
        }
        return true;
    }

    void Stop() override
    {
        const std::uint64_t one = 1;
        while (::write(m_stop, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

private:
    const int m_inotify;
    const int m_stop;
    std::vector<std::string> m_folders;
    std::set<int> m_watches;
};

} // namespace

DeviceIdentity IdentifyDevice(const std::string& portName, const registry::DeviceSources& sources)
{
    DeviceIdentity identity{portName, std::string(), std::string()};
    // A by-id name is the adapter's own; a virtual port is the link's.
    if (InFolder(portName, sources.byIdFolder) || fs::path(portName).parent_path().filename() == "by-id" ||
        InFolder(portName, sources.virtualPortFolder))
        return identity;
    identity.byIdLink = ByIdLinkTo(RealPath(portName), sources.byIdFolder);
    if (identity.byIdLink.empty())
        identity.sysfsDevice = SysfsPlace(portName, sources);
    return identity;
}

bool DeviceIsBack(const DeviceIdentity& identity, const registry::DeviceSources& sources)
{
    struct stat st {};
    if (::stat(identity.portName.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    if (!identity.byIdLink.empty()) {
        if (RealPath(identity.byIdLink) != RealPath(identity.portName))
            return false;
    } else if (!identity.sysfsDevice.empty() && SysfsPlace(identity.portName, sources) != identity.sysfsDevice) {
        return false;
    }
    // udev gives a new node its group a moment after it appears.
    return ::faccessat(AT_FDCWD, identity.portName.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
}

namespace detail {

std::unique_ptr<CChangeSignal> MakeChangeSignal(const DeviceIdentity& identity)
{
    return std::make_unique<CInotifySignal>(identity);
}

std::chrono::milliseconds LookInterval()
{
    return std::chrono::milliseconds(1000);
}

registry::DeviceSources DeviceMapSources()
{
    return registry::DeviceMapSources();
}

} // namespace detail

} // namespace setting
