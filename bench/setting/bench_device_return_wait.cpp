// What a channel waiting for its lost device costs, and how soon it notices
// the device back.
//
//   bench_device_return_wait [seconds, default 60]
//
// Three watches wait at once, as three channels would: a virtual port (a
// link in a port folder), a USB adapter's /dev/serial/by-id name (a by-id
// folder of this benchmark's, missing as udev leaves it with no adapter
// plugged in) and the kernel name /dev/ttyUSB9 on this machine's own /dev.
// Reported: the process's CPU time over the wait (user + system; the main
// thread only sleeps), how many times the watches looked, and then, over 20
// returns of the virtual port, the median and slowest time from the link's
// creation to the call back. No thresholds.

#include <DeviceReturnWatch.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double CpuMilliseconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    char folderTemplate[] = "/tmp/orvel-bench-return-XXXXXX";
    const std::string folder = ::mkdtemp(folderTemplate);
    registry::DeviceSources sources;
    sources.byIdFolder = folder + "/dev/serial/by-id";
    sources.virtualPortFolder = folder + "/ports";
    fs::create_directories(sources.virtualPortFolder);
    const std::string link = sources.virtualPortFolder + "/devsim-gnss";

    std::atomic<int> backs{0};
    setting::CDeviceReturnWatch watches[3] = {setting::CDeviceReturnWatch(sources),
                                              setting::CDeviceReturnWatch(sources),
                                              setting::CDeviceReturnWatch(sources)};
    watches[0].Start({link, "", ""}, [&] { ++backs; });
    watches[1].Start({sources.byIdFolder + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "", ""}, [&] { ++backs; });
    watches[2].Start({"/dev/ttyUSB9", sources.byIdFolder + "/usb-Prolific_PL2303_0042-if00-port0", ""},
                     [&] { ++backs; });
    const double cpuBefore = CpuMilliseconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuMilliseconds() - cpuBefore;
    std::size_t looks = 0;
    for (const auto& watch : watches)
        looks += watch.Looks();
    std::printf("3 watches waiting %d s: CPU %.1f ms (%.4f%% of one core), %zu looks (%.2f a second per watch)\n",
                seconds, cpu, cpu / (seconds * 10.0), looks, looks / 3.0 / seconds);
    for (auto& watch : watches)
        watch.Stop();

    std::vector<double> latencies;
    for (int run = 0; run < 20; ++run) {
        int master = -1, slave = -1;
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return 1;
        std::atomic<bool> back{false};
        setting::CDeviceReturnWatch watch(sources);
        watch.Start({link, "", ""}, [&] { back = true; });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const Clock::time_point made = Clock::now();
        fs::create_symlink(name, link);
        while (!back)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - made).count());
        watch.Stop();
        fs::remove(link);
        ::close(slave);
        ::close(master);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("a virtual port back: noticed after %.2f ms (median of 20), %.2f ms at the slowest\n",
                latencies[latencies.size() / 2], latencies.back());
    fs::remove_all(folder);
    return 0;
}
