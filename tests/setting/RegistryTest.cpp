// The registry layer's calls, as the settings and the port discovery use them.

#include "StoreFixture.h"

#include <thread>

using namespace registry;

namespace settingtest {
namespace {

using RegistryTest = StoreTest;

TEST_F(RegistryTest, KeyPathsAreCreatedWithTheirParentsAndMatchIgnoringCase)
{
    CRegKey key;
    DWORD disposition = 0;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "SOFTWARE\\Maker\\App", nullptr, 0, KEY_ALL_ACCESS, nullptr, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "software\\MAKER\\app\\", nullptr, 0, KEY_ALL_ACCESS, nullptr, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_TRUE(KeyExists("Software"));

    HKEY raw = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Maker\\Other", 0, KEY_READ, &raw), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\SOFTWARE", 0, KEY_READ, &raw), ERROR_BAD_PATHNAME);
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "SOFTWARE\\\\Maker"), ERROR_BAD_PATHNAME);
}

TEST_F(RegistryTest, QueryReportsTypeAndSizeAndLeavesATooSmallBufferAlone)
{
    Put("K", "Value", REG_BINARY, "0123456789");
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "K"), ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "VALUE", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 10u);

    char buffer[10] = {'x', 'x', 'x', 'x'};
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "value", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(std::string(buffer, 4), "xxxx");
    EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, size), "0123456789");

    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, &type, reinterpret_cast<BYTE*>(buffer), nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, DeletedKeysAndValuesAreGoneForOpenHandlesToo)
{
    Put("A\\B", "V", REG_SZ, Sz("x"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "A"), ERROR_ACCESS_DENIED);  // has a sub-key

    CRegKey open;
    ASSERT_EQ(open.Open(HKEY_CURRENT_USER, "A\\B"), ERROR_SUCCESS);
    EXPECT_EQ(open.DeleteValue("v"), ERROR_SUCCESS);
    EXPECT_EQ(open.DeleteValue("v"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "a\\b"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists("A\\B"));
    DWORD value = 0;
    EXPECT_EQ(open.QueryDWORDValue("V", value), ERROR_KEY_DELETED);
    // A key made again under the same name is a new key.
    Put("A\\B", "W", REG_SZ, Sz("y"));
    EXPECT_EQ(open.SetDWORDValue("V", 1), ERROR_KEY_DELETED);
    EXPECT_FALSE(Get("A\\B", "V").has_value());
}

TEST_F(RegistryTest, HandlesAndAccessRightsAreChecked)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "K", 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "V", 0, REG_BINARY, reinterpret_cast<const BYTE*>("1"), 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD value = 0;
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(nullptr, "V", nullptr, nullptr, nullptr, &value), ERROR_INVALID_HANDLE);

    CRegKey writeOnly;
    ASSERT_EQ(writeOnly.Open(HKEY_CURRENT_USER, "K", KEY_SET_VALUE), ERROR_SUCCESS);
    EXPECT_EQ(writeOnly.SetDWORDValue("V", 1), ERROR_SUCCESS);
    EXPECT_EQ(writeOnly.QueryDWORDValue("V", value), ERROR_ACCESS_DENIED);
}

// Port discovery sizes its buffers from the key's statistics before it
// enumerates: an open device map key must not change under it.
TEST_F(RegistryTest, MachineKeysAreReadOnlySnapshots)
{
    SetDeviceMapValues({RegValue::String("Serial0", "COM1")});
    const char* path = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
    CRegKey before;
    EXPECT_EQ(before.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE), ERROR_ACCESS_DENIED);
    ASSERT_EQ(before.Open(HKEY_LOCAL_MACHINE, "hardware\\devicemap\\serialcomm", KEY_QUERY_VALUE), ERROR_SUCCESS);

    SetDeviceMapValues({RegValue::String("Serial0", "COM2")});
    CRegKey after;
    ASSERT_EQ(after.Open(HKEY_LOCAL_MACHINE, path, KEY_READ), ERROR_SUCCESS);
    char text[8];
    ULONG chars = sizeof text;
    EXPECT_EQ(before.QueryStringValue("serial0", text, &chars), ERROR_SUCCESS);
    EXPECT_STREQ(text, "COM1");
    chars = sizeof text;
    EXPECT_EQ(after.QueryStringValue("Serial0", text, &chars), ERROR_SUCCESS);
    EXPECT_STREQ(text, "COM2");

    SetDeviceMapMissing();
    EXPECT_EQ(after.Open(HKEY_LOCAL_MACHINE, path, KEY_READ), ERROR_FILE_NOT_FOUND);
}

// Run under ThreadSanitizer: both stores used from several threads at once.
TEST_F(RegistryTest, ThreadsShareTheStoresSafely)
{
    SetDeviceMapValues({RegValue::String("Serial0", "COM1")});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            const std::string path = "SOFTWARE\\Threads\\T" + std::to_string(t);
            for (DWORD i = 0; i < 40; ++i) {
                CRegKey key;
                DWORD back = ~i;
                EXPECT_EQ(key.Create(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
                EXPECT_EQ(key.SetDWORDValue(("v" + std::to_string(i)).c_str(), i), ERROR_SUCCESS);
                EXPECT_EQ(key.QueryDWORDValue(("v" + std::to_string(i)).c_str(), back), ERROR_SUCCESS);
                EXPECT_EQ(back, i);
                EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", KEY_READ), ERROR_SUCCESS);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
}

} // namespace
} // namespace settingtest
