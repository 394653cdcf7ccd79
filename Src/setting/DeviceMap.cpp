#include "DeviceMap.h"

#include "SerialPorts.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace registry {

namespace {

// The entries of an open folder in natural order; closes it.
std::vector<std::string> SortedEntries(DIR* dir)
{
    std::vector<std::string> names;
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    // "ttyS2" before "ttyS10": runs of digits compare by their number.
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return ::strverscmp(a.c_str(), b.c_str()) < 0; });
    return names;
}

std::vector<std::string> SortedEntries(const std::string& folder)
{
    return SortedEntries(::opendir(folder.c_str()));
}

bool ExistsNoFollow(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The first line of a small attribute file, without trailing white space;
// empty when it cannot be read.
std::string ReadAttribute(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// DEVNAME from a uevent file ("ttyUSB0", or a path below /dev).
std::string DeviceName(const std::string& ueventPath)
{
    std::ifstream in(ueventPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 8, "DEVNAME=") == 0)
            return line.substr(8);
    }
    return std::string();
}

// The last name of where a symbolic link leads, read from the link itself
// ("ttyUSB0" for "../../ttyUSB0"), so that it needs no device behind it.
std::string LinkTargetName(const std::string& link)
{
    char target[PATH_MAX];
    const ssize_t size = ::readlink(link.c_str(), target, sizeof target);
    if (size <= 0 || static_cast<std::size_t>(size) >= sizeof target)
        return std::string();
    return std::filesystem::path(std::string(target, static_cast<std::size_t>(size)))
        .lexically_normal()
        .filename()
        .string();
}

// The persistent links of a by-id folder, by the device name they lead to;
// the first in natural order where several lead to one device.
std::map<std::string, std::string> PersistentNames(const std::string& byIdFolder)
{
    std::map<std::string, std::string> names;
    if (byIdFolder.empty())
        return names;
    for (const std::string& entry : SortedEntries(byIdFolder)) {
        const std::string link = byIdFolder + "/" + entry;
        const std::string device = LinkTargetName(link);
        if (!device.empty())
            names.emplace(device, link);
    }
    return names;
}

// Says once per process, for each folder and reason, why a folder of
// virtual ports is not read.
void ReportDistrust(const std::string& folder, const char* reason)
{
    static std::mutex mutex;
    static std::set<std::string> said;
    const std::lock_guard<std::mutex> lock(mutex);
    if (said.insert(folder + '\n' + reason).second)
        std::fprintf(stderr, "OrvelConfigurator: the virtual ports in %s are not offered: %s\n", folder.c_str(), reason);
}

// The folder of virtual ports, opened when it can be trusted: another user
// who could plant links there could offer their devices as ours.
DIR* OpenTrustedFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR) {
            struct stat st {};
            const bool link = ::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
            ReportDistrust(folder, link ? "the folder is a symbolic link" : "it is not a folder");
        }
        return nullptr;  // a folder that does not exist offers nothing
    }
    struct stat st {};
    const char* reason = nullptr;
    if (::fstat(fd, &st) != 0)
        reason = "it cannot be examined";
    else if (st.st_uid != ::getuid())
        reason = "the folder belongs to another user";
    else if (st.st_mode & (S_IWGRP | S_IWOTH))
        reason = "others can write to the folder";
    if (reason) {
        ReportDistrust(folder, reason);
        ::close(fd);
        return nullptr;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir)
        ::close(fd);
    return dir;
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// The device's path as the kernel names it below /sys.
std::string SysfsDevicePath(const std::string& sysfsRoot, const std::string& entry, const std::string& name)
{
    const std::string root = RealPath(sysfsRoot);
    const std::string resolved = RealPath(entry);
    if (!root.empty() && resolved.size() > root.size() && resolved.compare(0, root.size(), root) == 0 &&
        resolved[root.size()] == '/') {
        return "/sys" + resolved.substr(root.size());
    }
    return "/sys/class/tty/" + name;
}

void ScanKernelTtys(const std::string& sysfsRoot, const std::string& byIdFolder, std::vector<RegValue>& values)
{
    const std::map<std::string, std::string> persistent = PersistentNames(byIdFolder);
    const std::string classFolder = sysfsRoot + "/class/tty";
    for (const std::string& name : SortedEntries(classFolder)) {
        const std::string entry = classFolder + "/" + name;
        // Consoles, /dev/tty, ptmx and pseudo-terminals have no device behind them.
        if (!ExistsNoFollow(entry + "/device"))
            continue;
        // A serial port whose UART type is unknown (0) has no hardware.
        if (ReadAttribute(entry + "/type") == "0")
            continue;
        std::string node = DeviceName(entry + "/uevent");
        if (node.empty())
            node = name;
        const auto link = persistent.find(std::filesystem::path(node).filename().string());
        const std::string port = link != persistent.end() ? link->second : "/dev/" + node;
        values.push_back(RegValue::String(SysfsDevicePath(sysfsRoot, entry, name), port));
    }
}

void ScanVirtualPorts(const std::string& folder, std::vector<RegValue>& values)
{
    std::set<std::string> valueNames;
    for (const RegValue& v : values)
        valueNames.insert(FoldName(v.name));
    for (const std::string& name : SortedEntries(OpenTrustedFolder(folder))) {
        const std::string link = folder + "/" + name;
        struct stat st {};
        if (::lstat(link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            continue;
        if (::stat(link.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
            continue;  // dangling, or not a device
        std::string valueName = link;
        for (int n = 2; !valueNames.insert(FoldName(valueName)).second; ++n)
            valueName = link + "#" + std::to_string(n);
        values.push_back(RegValue::String(valueName, link));
    }
}

} // namespace

std::vector<RegValue> ScanSerialDevices(const DeviceSources& sources)
{
    std::vector<RegValue> values;
    if (!sources.sysfsRoot.empty())
        ScanKernelTtys(sources.sysfsRoot, sources.byIdFolder, values);
    if (!sources.virtualPortFolder.empty())
        ScanVirtualPorts(sources.virtualPortFolder, values);
    return values;
}

} // namespace registry

std::string setting::KernelDeviceName(const std::string& portName)
{
    const std::filesystem::path path(portName);
    if (path.parent_path().filename() != "by-id")
        return portName;
    const std::string device = registry::LinkTargetName(portName);
    return device.empty() ? portName : "/dev/" + device;
}
