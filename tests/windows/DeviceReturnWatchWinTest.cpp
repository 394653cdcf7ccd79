// Waiting for a lost COM port on Windows: the device map, SERIALCOMM on the
// real registry, lists the COM name again.

#include "DeviceReturnWatch.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

using setting::CDeviceReturnWatch;
using testsupport::WaitUntil;

namespace {

const char kSerialComm[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char kValue[] = "\\Device\\OrvelReturning";

void List(const std::string& comName)
{
    ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSerialComm, kValue, REG_SZ, comName.c_str(),
                                static_cast<DWORD>(comName.size() + 1)),
              ERROR_SUCCESS);
}

void Unlist()
{
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSerialComm, kValue);
}

} // namespace

// COM21 is not there; another COM name appearing is not it; COM21 listed
// (in other letter case) is. Stop ends a watch that nothing answers, and
// Retry looks again for a port still listed.
TEST(DeviceReturnWatchWin, ComNameListedAgainIsBack)
{
    Unlist();
    std::atomic<int> backs{0};
    CDeviceReturnWatch watch;
    const setting::DeviceIdentity identity = setting::IdentifyDevice("COM21");
    EXPECT_EQ(identity.portName, "COM21");
    watch.Start(identity, [&] { ++backs; });
    const auto looked = [&](std::size_t since) { return WaitUntil([&] { return watch.Looks() >= since + 2; }); };
    EXPECT_TRUE(looked(watch.Looks()));
    List("COM22");
    EXPECT_TRUE(looked(watch.Looks()));
    EXPECT_EQ(backs, 0);
    EXPECT_TRUE(watch.Watching());
    List("com21");
    ASSERT_TRUE(WaitUntil([&] { return backs == 1; }));
    EXPECT_FALSE(watch.Watching());
    watch.Retry();
    ASSERT_TRUE(WaitUntil([&] { return backs == 2; }));
    Unlist();

    watch.Start(identity, [&] { ++backs; });
    EXPECT_TRUE(looked(watch.Looks()));
    watch.Stop();
    List("COM21");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(backs, 2) << "nothing after Stop";
    Unlist();
}
