// How long reading the port list takes, as a drop-down of a port list does
// each time it opens.
//
//   bench_port_discovery [ttys in the fake sysfs, default 300]
//
// A fake sysfs holds that many ttys laid out as the kernel lays them out:
// a fifth legacy serial placeholders without a UART, half USB adapters with
// a /dev/serial/by-id link each, the rest virtual consoles. Ten virtual
// ports sit in the port folder. Reports the median and the slowest of 200
// readings, and the same for this machine's own /sys. No thresholds.

#include <RegistryHooks.h>
#include <SerialPorts.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void Tty(const std::string& sys, const std::string& name, const std::string& devicePath, bool hardware,
         const char* type)
{
    const std::string folder = sys + "/devices/" + devicePath + "/tty/" + name;
    fs::create_directories(folder);
    if (hardware)
        fs::create_directory_symlink("../..", folder + "/device");
    if (type)
        std::ofstream(folder + "/type") << type << "\n";
    std::ofstream(folder + "/uevent") << "MAJOR=4\nMINOR=64\nDEVNAME=" << name << "\n";
    fs::create_symlink("../../devices/" + devicePath + "/tty/" + name, sys + "/class/tty/" + name);
}

// Median and slowest of `runs` readings of the offered port list, in ms.
void Measure(const char* label, int runs)
{
    std::vector<double> ms;
    std::size_t ports = 0;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        ports = setting::OfferedSerialPorts().size();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-40s %3zu ports listed: median %.2f ms, slowest %.2f ms\n", label, ports, ms[ms.size() / 2],
                ms.back());
}

} // namespace

int main(int argc, char** argv)
{
    const int ttys = argc > 1 ? std::atoi(argv[1]) : 300;
    char folder[] = "/tmp/orvel-bench-XXXXXX";
    if (!::mkdtemp(folder))
        return 1;
    const std::string root = folder;
    const std::string sys = root + "/sys";
    const std::string byId = root + "/dev/serial/by-id";
    const std::string ports = root + "/ports";
    fs::create_directories(sys + "/class/tty");
    fs::create_directories(byId);
    fs::create_directories(ports);
    fs::permissions(ports, fs::perms::owner_all);
    for (int n = 0; n < ttys; ++n) {
        if (n % 5 == 0) {
            Tty(sys, "ttyS" + std::to_string(n), "platform/serial8250", true, "0");
        } else if (n % 2 == 1) {
            const std::string name = "ttyUSB" + std::to_string(n);
            Tty(sys, name, "pci0000:00/usb1/1-" + std::to_string(n) + "/" + name, true, nullptr);
            fs::create_symlink("../../" + name, byId + "/usb-FTDI_FT232R_USB_UART_A" + std::to_string(n) + "-if00-port0");
        } else {
            Tty(sys, "tty" + std::to_string(n), "virtual/tty", false, nullptr);
        }
    }
    for (int n = 0; n < 10; ++n)
        fs::create_symlink("/dev/null", ports + "/port" + std::to_string(n));

    registry::SetDeviceMapSources({sys, byId, ports});
    Measure(("fake sysfs with " + std::to_string(ttys) + " ttys").c_str(), 200);
    registry::SetDeviceMapSources({"/sys", "/dev/serial/by-id", ""});
    Measure("this machine's /sys", 200);

    fs::remove_all(root);
    return 0;
}
