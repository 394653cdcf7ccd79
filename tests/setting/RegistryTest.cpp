// The registry layer's calls, as the settings and the port discovery use them.

#include "StoreFixture.h"

#include <cstring>
#include <thread>

using namespace registry;

namespace settingtest {
namespace {

class RegistryTest : public StoreTest
{
};

TEST_F(RegistryTest, CreateMakesMissingParentsAndNamesIgnoreCase)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Maker\\App", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_WRITE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "software\\MAKER\\app", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_WRITE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);

    EXPECT_TRUE(KeyExists("SOFTWARE"));
    EXPECT_TRUE(KeyExists("Software\\Maker\\"));
    key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Maker\\Other", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\SOFTWARE", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\\\Maker", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);

    // A sub-key opened relative to an open key.
    CRegKey parent;
    ASSERT_EQ(parent.Open(HKEY_CURRENT_USER, "SOFTWARE"), ERROR_SUCCESS);
    CRegKey child;
    EXPECT_EQ(child.Open(parent, "Maker\\App"), ERROR_SUCCESS);
}

TEST_F(RegistryTest, QueryReportsTypeAndSizeAndRefusesSmallBuffers)
{
    const std::string bytes = "0123456789";
    Put("K", "Value", REG_BINARY, bytes);
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "K"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "VALUE", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 10u);

    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(std::string(small, 4), "xxxx");

    char exact[10] = {};
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExA(key, "value", nullptr, &type, reinterpret_cast<BYTE*>(exact), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(exact, size), bytes);

    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, &type, reinterpret_cast<BYTE*>(exact), nullptr),
              ERROR_INVALID_PARAMETER);

    // Empty data, and a type number the layer does not know, are kept as given.
    EXPECT_EQ(RegSetValueExA(key, "Empty", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Odd", 0, 0x1234, reinterpret_cast<const BYTE*>("ab"), 2), ERROR_SUCCESS);
    EXPECT_EQ(Get("K", "Empty")->data.size(), 0u);
    EXPECT_EQ(Get("K", "Odd")->type, 0x1234u);
    EXPECT_EQ(Get("K", "Odd")->data, "ab");
}

TEST_F(RegistryTest, EnumerationKeepsTheOrderOfFirstSettingAndStatisticsFitIt)
{
    PutText("K", "Alpha", "1");
    PutText("K", "Bee", "a longer text");
    PutText("K", "Gamma", "3");
    PutText("K", "BEE", "2");  // the same value: keeps its place and its name

    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "K", KEY_QUERY_VALUE), ERROR_SUCCESS);
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[16];
        DWORD length = sizeof name;
        const LONG e = RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (e == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(e, ERROR_SUCCESS);
        EXPECT_EQ(length, std::strlen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Bee", "Gamma"}));
    EXPECT_EQ(Get("K", "bee")->data, std::string("2", 2));

    char tight[5];  // "Alpha" needs 6 with its terminator
    DWORD length = sizeof tight;
    EXPECT_EQ(RegEnumValueA(key, 0, tight, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

    DWORD values = 0, maxName = 0, maxData = 0, subKeys = 9;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, &maxName,
                               &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(maxName, 5u);  // "Alpha", "Gamma"
    EXPECT_EQ(maxData, 2u);  // "1\0" - the longer text was replaced
}

TEST_F(RegistryTest, DeletedKeysAndValuesAreGoneForOpenHandlesToo)
{
    PutText("A\\B", "V", "x");
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "A"), ERROR_ACCESS_DENIED);  // has a sub-key

    CRegKey open;
    ASSERT_EQ(open.Open(HKEY_CURRENT_USER, "A\\B"), ERROR_SUCCESS);
    EXPECT_EQ(open.DeleteValue("v"), ERROR_SUCCESS);
    EXPECT_EQ(open.DeleteValue("v"), ERROR_FILE_NOT_FOUND);
    PutText("A\\B", "V", "x");

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "a\\b"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists("A\\B"));
    DWORD value = 0;
    EXPECT_EQ(open.QueryDWORDValue("V", value), ERROR_KEY_DELETED);
    EXPECT_EQ(open.SetDWORDValue("V", 1), ERROR_KEY_DELETED);

    // A key made again under the same name is a new key.
    PutText("A\\B", "W", "y");
    EXPECT_EQ(open.SetDWORDValue("V", 1), ERROR_KEY_DELETED);
    EXPECT_FALSE(Get("A\\B", "V").has_value());
}

TEST_F(RegistryTest, HandlesAndAccessRightsAreChecked)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "K", 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExA(key, "V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(nullptr, "V", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

    // A CRegKey hands its handle over on move and closes it once.
    CRegKey first;
    ASSERT_EQ(first.Open(HKEY_CURRENT_USER, "K"), ERROR_SUCCESS);
    const HKEY handle = first;
    CRegKey second(std::move(first));
    EXPECT_EQ(first.m_hKey, nullptr);
    EXPECT_EQ(second.m_hKey, handle);
    EXPECT_EQ(second.Close(), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(handle), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, MachineKeysAreReadOnlySnapshots)
{
    SetDeviceMapValues({RegValue::String("\\Device\\Serial0", "COM1")});
    const char* path = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

    CRegKey writable;
    EXPECT_EQ(writable.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE), ERROR_ACCESS_DENIED);
    EXPECT_EQ(writable.Create(HKEY_LOCAL_MACHINE, path), ERROR_ACCESS_DENIED);
    EXPECT_EQ(writable.Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", nullptr, 0, KEY_READ), ERROR_ACCESS_DENIED);

    CRegKey before;
    ASSERT_EQ(before.Open(HKEY_LOCAL_MACHINE, "hardware\\devicemap\\serialcomm", KEY_QUERY_VALUE), ERROR_SUCCESS);
    EXPECT_EQ(before.SetStringValue("x", "y"), ERROR_ACCESS_DENIED);

    SetDeviceMapValues({RegValue::String("\\Device\\Serial0", "COM2"), RegValue::String("\\Device\\Serial1", "COM3")});
    char text[8];
    ULONG chars = sizeof text;
    EXPECT_EQ(before.QueryStringValue("\\Device\\Serial0", text, &chars), ERROR_SUCCESS);
    EXPECT_STREQ(text, "COM1");  // taken when opened

    CRegKey after;
    ASSERT_EQ(after.Open(HKEY_LOCAL_MACHINE, path, KEY_READ), ERROR_SUCCESS);
    chars = sizeof text;
    EXPECT_EQ(after.QueryStringValue("\\Device\\Serial0", text, &chars), ERROR_SUCCESS);
    EXPECT_STREQ(text, "COM2");

    SetDeviceMapMissing();
    CRegKey missing;
    EXPECT_EQ(missing.Open(HKEY_LOCAL_MACHINE, path, KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing.Open(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP", KEY_READ), ERROR_SUCCESS);
}

TEST(LastError, BelongsToTheCallingThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenByOther = 1;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_OUTOFMEMORY);
    });
    other.join();
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(RegistryTest, ThreadsShareTheStoresSafely)
{
    SetDeviceMapValues({RegValue::String("\\Device\\Serial0", "COM1")});
    constexpr int kThreads = 4;
    constexpr int kRounds = 40;
    std::vector<int> failures(kThreads + 1, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            const std::string path = "SOFTWARE\\Threads\\T" + std::to_string(t);
            for (int i = 0; i < kRounds; ++i) {
                CRegKey key;
                DWORD back = 0;
                failures[t] += key.Create(HKEY_CURRENT_USER, path.c_str()) != ERROR_SUCCESS;
                failures[t] += key.SetDWORDValue(("v" + std::to_string(i)).c_str(), static_cast<DWORD>(i)) != 0;
                failures[t] += key.QueryDWORDValue(("v" + std::to_string(i)).c_str(), back) != ERROR_SUCCESS;
                failures[t] += back != static_cast<DWORD>(i);
            }
        });
    }
    threads.emplace_back([&failures] {
        for (int i = 0; i < kRounds; ++i) {
            CRegKey key;
            char text[8];
            ULONG chars = sizeof text;
            failures[kThreads] += key.Open(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", KEY_READ) != 0;
            failures[kThreads] += key.QueryStringValue("\\Device\\Serial0", text, &chars) != ERROR_SUCCESS;
        }
    });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads + 1, 0));
    for (int t = 0; t < kThreads; ++t)
        EXPECT_TRUE(Get("SOFTWARE\\Threads\\T" + std::to_string(t), "v" + std::to_string(kRounds - 1)).has_value());
}

} // namespace
} // namespace settingtest
