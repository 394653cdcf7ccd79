// Waiting for a lost device to come back: the names, links and /sys entries
// of a device as udev and the kernel lay them out, in a temporary folder,
// with pseudo-terminals as the devices. (A port that opens again when its
// device is back is the window's test, tests/ui/TerminalTest.cpp.)

#include "DeviceReturnWatch.h"
#include "PtyPair.h"
#include "RegistryHooks.h"
#include "TempDir.h"
#include "Unprivileged.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using setting::CDeviceReturnWatch;
using setting::DeviceIdentity;
using testsupport::PtyPair;
using testsupport::WaitUntil;
namespace fs = std::filesystem;

namespace {

void Link(const std::string& target, const std::string& link)
{
    fs::remove(link);
    fs::create_directories(fs::path(link).parent_path());
    fs::create_symlink(target, link);
}

// A place in a fake /sys: /sys/dev/char/<major>:<minor> of `device` leads
// to devices/<place>, as the kernel links a tty to its USB socket.
void SysfsEntry(const std::string& sys, const std::string& device, const std::string& place)
{
    struct stat st {};
    ASSERT_EQ(0, ::stat(device.c_str(), &st));
    fs::create_directories(sys + "/devices/" + place);
    Link("../../devices/" + place,
         sys + "/dev/char/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)));
}

// A watch and what it called back.
class Watch
{
public:
    explicit Watch(const registry::DeviceSources& sources) : m_watch(sources) {}
    void Start(const DeviceIdentity& identity) { m_watch.Start(identity, [this] { ++m_backs; }); }
    int Backs() const { return m_backs; }
    bool WaitForBack(int backs = 1) { return WaitUntil([&] { return m_backs >= backs; }); }
    // True when the watch has looked at least once since this was called
    // and still sees nothing.
    bool StillWaitsAfterALook()
    {
        const std::size_t before = m_watch.Looks();
        const int backs = m_backs;
        // The look under way may have begun before the change: one more.
        const bool looked = WaitUntil([&] { return m_watch.Looks() >= before + 2; });
        return looked && m_backs == backs && m_watch.Watching();
    }
    CDeviceReturnWatch& Get() { return m_watch; }

private:
    std::atomic<int> m_backs{0};
    CDeviceReturnWatch m_watch;
};

struct Folders
{
    Folders()
    {
        sources.sysfsRoot = dir.File("sys");
        sources.byIdFolder = dir.File("dev/serial/by-id");
        sources.virtualPortFolder = dir.File("ports");
        fs::create_directories(dir.File("dev/serial/by-id"));
        fs::create_directories(dir.File("sys"));
    }
    testsupport::TempDir dir;
    registry::DeviceSources sources;
};

} // namespace

// A USB adapter opened under its kernel name is known by the by-id link that
// led to it. Another adapter given the old kernel name is not taken; the
// same one back (its by-id link leading to the name again) is, also when udev
// removed the by-id folder with the last adapter and makes it again.
TEST(DeviceReturnWatch, KernelNameIsTakenOnlyForTheSameAdapter)
{
    Folders f;
    const std::string kernelName = f.dir.File("dev/ttyUSB0");
    const std::string adapter = f.sources.byIdFolder + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const std::string another = f.sources.byIdFolder + "/usb-Prolific_PL2303_0042-if00-port0";
    auto device = std::make_unique<PtyPair>();
    Link(device->SlavePath(), kernelName);
    Link("../../ttyUSB0", adapter);
    const DeviceIdentity identity = setting::IdentifyDevice(kernelName, f.sources);
    EXPECT_EQ(identity.byIdLink, adapter);
    EXPECT_EQ(setting::IdentifyDevice(adapter, f.sources).byIdLink, "") << "a by-id name is its own identity";
    fs::remove_all(f.dir.File("dev"));
    device.reset();

    Watch watch(f.sources);
    watch.Start(identity);
    EXPECT_TRUE(watch.StillWaitsAfterALook());
    PtyPair other;
    Link(other.SlavePath(), kernelName);
    Link("../../ttyUSB0", another);
    EXPECT_TRUE(watch.StillWaitsAfterALook()) << "another adapter under the old name";

    fs::remove_all(f.dir.File("dev"));
    EXPECT_TRUE(watch.StillWaitsAfterALook());
    PtyPair back;
    Link(back.SlavePath(), kernelName);
    Link("../../ttyUSB0", adapter);
    ASSERT_TRUE(watch.WaitForBack());
}

// A device without a by-id link is known by its place under /sys: a device
// in another socket under the old name is not taken, one in the same socket
// is.
TEST(DeviceReturnWatch, KernelNameWithoutByIdLinkIsTakenInTheSameSocket)
{
    Folders f;
    const std::string kernelName = f.dir.File("dev/ttyACM0");
    const std::string socket = "pci0000:00/usb1/1-2/1-2:1.0/tty/ttyACM0";
    auto device = std::make_unique<PtyPair>();
    SysfsEntry(f.sources.sysfsRoot, device->SlavePath(), socket);
    Link(device->SlavePath(), kernelName);
    const DeviceIdentity identity = setting::IdentifyDevice(kernelName, f.sources);
    EXPECT_EQ(identity.byIdLink, "");
    EXPECT_EQ(identity.sysfsDevice, fs::canonical(f.sources.sysfsRoot + "/devices/" + socket).string());
    fs::remove(kernelName);
    device.reset();

    Watch watch(f.sources);
    watch.Start(identity);
    PtyPair elsewhere;
    SysfsEntry(f.sources.sysfsRoot, elsewhere.SlavePath(), "pci0000:00/usb1/1-3/1-3:1.0/tty/ttyACM0");
    Link(elsewhere.SlavePath(), kernelName);
    EXPECT_TRUE(watch.StillWaitsAfterALook()) << "a device in another socket";

    PtyPair same;
    SysfsEntry(f.sources.sysfsRoot, same.SlavePath(), socket);
    Link(same.SlavePath(), kernelName);
    ASSERT_TRUE(watch.WaitForBack());
}

// A virtual port is known by its link alone: a pseudo-terminal under the
// link is the device back, and Retry looks for it again. Stop ends the
// waiting: nothing is called back after it, even when the device comes.
TEST(DeviceReturnWatch, VirtualPortIsBackUnderItsLinkAndStopEndsTheWaiting)
{
    Folders f;
    const std::string link = f.dir.File("ports/devsim-sounder");
    auto device = std::make_unique<PtyPair>();
    Link(device->SlavePath(), link);
    const DeviceIdentity identity = setting::IdentifyDevice(link, f.sources);
    EXPECT_EQ(identity.portName, link);
    EXPECT_EQ(identity.byIdLink + identity.sysfsDevice, "");
    fs::remove(link);
    device.reset();

    Watch watch(f.sources);
    watch.Start(identity);
    EXPECT_TRUE(watch.StillWaitsAfterALook());
    device = std::make_unique<PtyPair>();
    Link(device->SlavePath(), link);
    ASSERT_TRUE(watch.WaitForBack(1));
    EXPECT_FALSE(watch.Get().Watching());
    watch.Get().Retry();
    ASSERT_TRUE(watch.WaitForBack(2)) << "the open failed: looked for again";

    fs::remove(link);
    watch.Start(identity);
    EXPECT_TRUE(watch.StillWaitsAfterALook());
    watch.Get().Stop();
    EXPECT_FALSE(watch.Get().Watching());
    Link(device->SlavePath(), link);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(watch.Backs(), 2);
}

// udev gives a new node its group a moment after the node appears: a device
// this user may not open yet is waited for until it may (as root, as
// "nobody" on a device given to nobody).
TEST(DeviceReturnWatch, DeviceIsTakenOnceItMayBeOpened)
{
    Folders f;
    PtyPair device;
    const std::string link = f.dir.File("ports/devsim-beacon");
    Link(device.SlavePath(), link);
    ASSERT_EQ(0, ::chmod(f.dir.Path().c_str(), 0755));
    const auto waitForTheRight = [&] {
        ASSERT_EQ(0, ::chmod(device.SlavePath().c_str(), 0));
        Watch watch(f.sources);
        watch.Start(setting::IdentifyDevice(link, f.sources));
        EXPECT_TRUE(watch.StillWaitsAfterALook()) << "present but not to be opened yet";
        ASSERT_EQ(0, ::chmod(device.SlavePath().c_str(), 0660));
        EXPECT_TRUE(watch.WaitForBack());
    };
    testsupport::AsUnprivileged(waitForTheRight, [&] {
        if (::chown(device.SlavePath().c_str(), 65534, 65534) != 0)
            std::exit(2);
    });
}
