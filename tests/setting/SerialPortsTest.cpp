// Serial port discovery: the enumeration over the device map, and the
// device map's sources (a fake sysfs tree and a virtual-port folder).

#include "DeviceMap.h"
#include "PortFolders.h"
#include "PtyPair.h"
#include "SerialPorts.h"
#include "StoreFixture.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace registry;
using setting::EnumerateSerialPorts;
using Ports = std::vector<std::string>;

namespace settingtest {
namespace {

class SerialPortsTest : public StoreTest
{
protected:
    Ports Enumerate(bool expected = true)
    {
        Ports ports{"left over"};
        EXPECT_EQ(EnumerateSerialPorts(ports), expected);
        return ports;
    }
};

TEST_F(SerialPortsTest, WithoutTheKeyFailsWithAnEmptyList)
{
    SetDeviceMapMissing();
    SetLastError(0);
    EXPECT_EQ(Enumerate(false), Ports{});
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(SerialPortsTest, AKeyWithoutValuesGivesAnEmptyList)
{
    SetDeviceMapValues({});
    EXPECT_EQ(Enumerate(), Ports{});
}

TEST_F(SerialPortsTest, ListsTheDataInKeyOrderWithDuplicates)
{
    SetDeviceMapValues({
        RegValue::String("\\Device\\Serial0", "COM1"),
        RegValue::String("\\Device\\Serial1", "COM3"),
        RegValue::String("\\Device\\Serial2", "COM10"),
        RegValue::String("\\Device\\Serial3", "COM9"),
        RegValue::String("\\Device\\Usb0", "COM5"),
        RegValue::String("\\Device\\Usb1", "COM5"),
    });
    EXPECT_EQ(Enumerate(), (Ports{"COM1", "COM3", "COM10", "COM9", "COM5", "COM5"}));
}

TEST_F(SerialPortsTest, TakesOnlyTerminatedTexts)
{
    SetDeviceMapValues({
        RegValue::String("a", "COM1"),
        RegValue::Dword("b", 2),
        {"c", REG_SZ, ""},                          // empty data: an empty entry
        {"d", REG_SZ, "COM4"},                      // unterminated: skipped
        {"e", REG_EXPAND_SZ, std::string("%X%", 4)},  // taken literally
        {"f", REG_BINARY, std::string("COM6", 5)},
        {"g", REG_SZ, std::string("COM7\0junk", 10)},
        {"h", REG_MULTI_SZ, std::string("COM8\0\0", 6)},
    });
    EXPECT_EQ(Enumerate(), (Ports{"COM1", "", "%X%", "COM7"}));
}

TEST_F(SerialPortsTest, ReadsNamesAndDataOfAnyLength)
{
    const std::string longName(5000, 'n');
    const std::string longPort = "/dev/" + std::string(3000, 'p');
    SetDeviceMapValues({RegValue::String("short", "COM1"), RegValue::String(longName, longPort)});
    EXPECT_EQ(Enumerate(), (Ports{"COM1", longPort}));
}

// A sysfs tree as the kernel lays it out: class entries are links into
// /sys/devices, hardware ttys have a "device" link, serial ports a "type".
class FakeSysfs
{
public:
    explicit FakeSysfs(const std::string& root) : m_root(root)
    {
        Mkdirs(root + "/class/tty");
    }

    void AddTty(const std::string& name, const std::string& devicePath, bool withDevice, const char* type = nullptr,
                const char* devName = nullptr)
    {
        const std::string folder = m_root + "/devices/" + devicePath + "/tty/" + name;
        Mkdirs(folder);
        if (withDevice)
            Symlink("../../../" + devicePath.substr(devicePath.rfind('/') + 1), folder + "/device");
        if (type)
            Write(folder + "/type", std::string(type) + "\n");
        Write(folder + "/uevent", "MAJOR=4\nMINOR=64\nDEVNAME=" + std::string(devName ? devName : name.c_str()) + "\n");
        Symlink("../../devices/" + devicePath + "/tty/" + name, m_root + "/class/tty/" + name);
    }

    static void Mkdirs(const std::string& path)
    {
        for (std::size_t pos = 1; pos <= path.size(); ++pos) {
            if (pos == path.size() || path[pos] == '/')
                ::mkdir(path.substr(0, pos).c_str(), 0755);
        }
    }
    static void Symlink(const std::string& target, const std::string& link)
    {
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
    }
    static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

private:
    std::string m_root;
};

TEST_F(SerialPortsTest, DeviceMapListsHardwareTtysAndLiveVirtualPorts)
{
    const std::string sys = m_dir.File("sys");
    FakeSysfs fake(sys);
    fake.AddTty("ttyS0", "platform/serial8250", true, "0");   // placeholder without a UART
    fake.AddTty("ttyS1", "pnp0/00:05", true, "4");            // a 16550A
    fake.AddTty("ttyS10", "pnp0/00:06", true, "4");
    fake.AddTty("ttyUSB0", "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0", true);
    fake.AddTty("ttyACM0", "pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0", true, nullptr, "ttyACM0");
    fake.AddTty("tty1", "virtual/tty", false);                 // a virtual console
    fake.AddTty("ptmx", "virtual/tty", false);

    const std::string ports = m_dir.File("ports");
    FakeSysfs::Mkdirs(ports);
    testsupport::PtyPair pty;
    FakeSysfs::Symlink(pty.SlavePath(), ports + "/devsim-gnss");
    FakeSysfs::Symlink(m_dir.File("gone"), ports + "/dangling");
    FakeSysfs::Write(m_dir.File("plain"), "x");
    FakeSysfs::Symlink(m_dir.File("plain"), ports + "/to-a-file");
    FakeSysfs::Write(ports + "/not-a-link", "x");

    const std::vector<RegValue> values = ScanSerialDevices(sys, ports);
    std::vector<std::string> names;
    for (const RegValue& v : values)
        names.push_back(v.name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/tty/ttyACM0",
                         "/sys/devices/pnp0/00:05/tty/ttyS1",
                         "/sys/devices/pnp0/00:06/tty/ttyS10",
                         "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0",
                         ports + "/devsim-gnss",
                     }));
    for (const RegValue& v : values)
        EXPECT_EQ(v.type, REG_SZ);

    SetDeviceMapSources(sys, ports);
    const Ports listed = Enumerate();
    EXPECT_EQ(listed, (Ports{"/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyS10", "/dev/ttyUSB0", ports + "/devsim-gnss"}));

    // The virtual port's name is one the serial layer can open.
    const int fd = ::open(listed.back().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    if (fd >= 0)
        ::close(fd);

    // A port that appears later shows in the next enumeration.
    testsupport::PtyPair second;
    FakeSysfs::Symlink(second.SlavePath(), ports + "/devsim-beacon");
    EXPECT_EQ(Enumerate().size(), listed.size() + 1);
}

TEST_F(SerialPortsTest, EmptySourcesGiveNoPorts)
{
    SetDeviceMapSources(m_dir.File("no-sys"), m_dir.File("no-ports"));
    EXPECT_EQ(Enumerate(), Ports{});
}

TEST_F(SerialPortsTest, DefaultVirtualFolderComesFromTheEnvironment)
{
    const std::string runtime = m_dir.File("runtime");
    ::mkdir(runtime.c_str(), 0700);
    const ScopedEnv env("XDG_RUNTIME_DIR", runtime);
    ResetStores();
    registry::SetUserStoreFile(StorePath());
    ASSERT_EQ(setting::VirtualPortFolder(), runtime + "/orvel-ports");
    ::mkdir(setting::VirtualPortFolder().c_str(), 0700);
    testsupport::PtyPair pty;
    const std::string link = setting::VirtualPortFolder() + "/devsim-sounder";
    FakeSysfs::Symlink(pty.SlavePath(), link);

    const Ports ports = Enumerate();  // the real /sys too, whatever it holds
    EXPECT_EQ(ports.back(), link);
}

} // namespace
} // namespace settingtest
