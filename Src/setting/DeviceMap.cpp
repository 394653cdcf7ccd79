#include "DeviceMap.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>

namespace registry {

namespace {

// "ttyS2" < "ttyS10": runs of digits compare by their number.
bool NaturalLess(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            // Compare the numbers without leading zeros: longer is larger.
            std::size_t si = i;
            std::size_t sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b;
}

std::vector<std::string> SortedEntries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
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

void ScanKernelTtys(const std::string& sysfsRoot, std::vector<RegValue>& values)
{
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
        values.push_back(RegValue::String(SysfsDevicePath(sysfsRoot, entry, name), "/dev/" + node));
    }
}

void ScanVirtualPorts(const std::string& folder, std::vector<RegValue>& values)
{
    for (const std::string& name : SortedEntries(folder)) {
        const std::string link = folder + "/" + name;
        struct stat st {};
        if (::lstat(link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            continue;
        if (::stat(link.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
            continue;  // dangling, or not a device
        values.push_back(RegValue::String(link, link));
    }
}

} // namespace

std::vector<RegValue> ScanSerialDevices(const std::string& sysfsRoot, const std::string& virtualPortFolder)
{
    std::vector<RegValue> values;
    if (!sysfsRoot.empty())
        ScanKernelTtys(sysfsRoot, values);
    if (!virtualPortFolder.empty())
        ScanVirtualPorts(virtualPortFolder, values);
    return values;
}

} // namespace registry
