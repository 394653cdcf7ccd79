// Serial port discovery: the ports offered from the device map's sources (a
// fake sysfs tree, its by-id names and a virtual-port folder).

#include "PtyPair.h"
#include "SerialPorts.h"
#include "StoreTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace registry;
using setting::OfferedSerialPorts;
using Ports = std::vector<std::string>;

namespace {

using SerialPortsTest = settingtest::CStoreTest;

void Symlink(const std::string& target, const std::string& link)
{
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
}

// A tty as the kernel lays it out under sysfs: the class entry links into
// devices/, a hardware tty has a "device" link, a serial port a "type".
void AddTty(const std::string& sys, const std::string& name, const std::string& devicePath, bool withDevice,
            const char* type = nullptr)
{
    const std::string folder = sys + "/devices/" + devicePath + "/tty/" + name;
    std::filesystem::create_directories(folder);
    if (withDevice)
        Symlink("../..", folder + "/device");
    if (type)
        std::ofstream(folder + "/type") << type << "\n";
    std::ofstream(folder + "/uevent") << "MAJOR=4\nMINOR=64\nDEVNAME=" << name << "\n";
    std::filesystem::create_directories(sys + "/class/tty");
    Symlink("../../devices/" + devicePath + "/tty/" + name, sys + "/class/tty/" + name);
}

// A USB adapter is listed under the persistent name udev gives it in
// /dev/serial/by-id, which also leads back to its kernel name.
TEST_F(SerialPortsTest, HardwareTtysAndLiveVirtualPortsAreOffered)
{
    const std::string sys = m_dir.File("sys");
    AddTty(sys, "ttyS0", "platform/serial8250", true, "0");  // a placeholder without a UART
    AddTty(sys, "ttyS10", "pnp0/00:06", true, "4");
    AddTty(sys, "ttyS2", "pnp0/00:05", true, "4");
    AddTty(sys, "ttyUSB0", "pci0000:00/usb1/1-2/1-2:1.0/ttyUSB0", true);
    AddTty(sys, "tty1", "virtual/tty", false);  // a virtual console
    const std::string byId = m_dir.File("dev/serial/by-id");
    std::filesystem::create_directories(byId);
    const std::string adapter = byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    Symlink("../../ttyUSB0", adapter);

    const std::string ports = m_dir.File("ports");
    std::filesystem::create_directories(ports);
    testsupport::PtyPair pty;
    for (const char* name : {"devsim-gnss", "GNSS", "gnss"})  // names that differ in case are two ports
        Symlink(pty.SlavePath(), ports + "/" + name);
    Symlink(m_dir.File("gone"), ports + "/dangling");
    Symlink(sys + "/class/tty/tty1/uevent", ports + "/to-a-file");

    SetDeviceMapSources({sys, byId, ports});
    EXPECT_EQ(OfferedSerialPorts(),
              (Ports{"/dev/ttyS2", "/dev/ttyS10", adapter, ports + "/GNSS", ports + "/devsim-gnss", ports + "/gnss"}));
    EXPECT_EQ(setting::KernelDeviceName(adapter), "/dev/ttyUSB0");
    EXPECT_EQ(setting::KernelDeviceName("/dev/ttyS2"), "/dev/ttyS2");
    // A port that appears later shows in the next enumeration.
    testsupport::PtyPair second;
    Symlink(second.SlavePath(), ports + "/devsim-beacon");
    EXPECT_EQ(OfferedSerialPorts().size(), 7u);
}

// Another user who could put links in the folder could offer their devices
// as ours: the folder is read only when it is a real folder of this user
// that no one else can write to, and stderr says once why it is not.
TEST_F(SerialPortsTest, VirtualPortsComeOnlyFromAFolderNoOneElseCanPlantLinksIn)
{
    testsupport::PtyPair pty;
    const auto folderWith = [&](const std::string& name) {
        const std::string folder = m_dir.File(name);
        std::filesystem::create_directories(folder);
        ::chmod(folder.c_str(), 0700);
        Symlink(pty.SlavePath(), folder + "/port");
        return folder;
    };
    const std::string trusted = folderWith("trusted");
    const struct { std::string folder; const char* reason; } cases[] = {
        {trusted, nullptr},
        {folderWith("group-writable"), "others can write to the folder"},
        {folderWith("world-writable"), "others can write to the folder"},
        {folderWith("someone-elses"), "the folder belongs to another user"},
        {m_dir.File("link-to-trusted"), "the folder is a symbolic link"},
    };
    ::chmod(cases[1].folder.c_str(), 0770);
    ::chmod(cases[2].folder.c_str(), 0703);
    ASSERT_EQ(::chown(cases[3].folder.c_str(), ::getuid() + 1, static_cast<gid_t>(-1)), 0);
    Symlink(trusted, cases[4].folder);

    for (const auto& c : cases) {
        SetDeviceMapSources({"", "", c.folder});
        testing::internal::CaptureStderr();
        EXPECT_EQ(OfferedSerialPorts(), c.reason ? Ports{} : Ports{c.folder + "/port"}) << c.folder;
        OfferedSerialPorts();  // said once
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  c.reason ? "OrvelConfigurator: the virtual ports in " + c.folder + " are not offered: " + c.reason + "\n"
                           : "");
    }
}

// A name longer than a channel's settings can read back is not offered:
// saved, it would be lost at the next start with the channel's other values.
TEST_F(SerialPortsTest, NamesTheSettingsCannotKeepAreNotOffered)
{
    testsupport::PtyPair pty;
    const std::string ports = m_dir.File("ports");
    std::filesystem::create_directories(ports);
    const std::string longest = ports + "/" + std::string(258 - ports.size() - 1, 'k');
    const std::string tooLong = longest + "x";
    Symlink(pty.SlavePath(), longest);
    Symlink(pty.SlavePath(), tooLong);
    SetDeviceMapSources({"", "", ports});

    testing::internal::CaptureStderr();
    EXPECT_EQ(OfferedSerialPorts(), Ports{longest});
    EXPECT_EQ(OfferedSerialPorts(), Ports{longest});
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "OrvelConfigurator: port " + tooLong +
                  " is not offered: its name is longer than the 258 characters the settings can keep\n");
}

} // namespace
