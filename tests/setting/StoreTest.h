#pragma once

// The settings tests' store: each test runs on a user store file and
// per-user folders (not made yet) of its own in a temporary folder, never on
// the real settings; and raw values under HKEY_CURRENT_USER.

#include "RegKey.h"
#include "RegistryHooks.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace settingtest {

using registry::DWORD;

class CStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("XDG_CONFIG_HOME", m_dir.File("config").c_str(), 1);
        Reopen();
    }
    void TearDown() override { registry::ResetStores(); }

    std::string StorePath() const { return m_dir.File("hkcu.sqlite3"); }
    // Drops this process's connection to the store, as a new run of the program would.
    void Reopen() { registry::SetUserStoreFile(StorePath()); }

    testsupport::TempDir m_dir;
};

// Writes one raw value under HKEY_CURRENT_USER\keyPath, creating the key.
inline void Put(const std::string& keyPath, const std::string& name, DWORD type, const std::string& bytes)
{
    registry::CRegKey key;
    ASSERT_EQ(key.Create(registry::HKEY_CURRENT_USER, keyPath.c_str()), registry::ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue(name.c_str(), type, bytes.data(), static_cast<DWORD>(bytes.size())),
              registry::ERROR_SUCCESS);
}

// A value under HKEY_CURRENT_USER\keyPath as stored: its type and bytes;
// type 0 when it is absent.
inline std::pair<DWORD, std::string> Stored(const std::string& keyPath, const std::string& name)
{
    registry::CRegKey key;
    DWORD type = 0, size = 0;
    if (key.Open(registry::HKEY_CURRENT_USER, keyPath.c_str()) != registry::ERROR_SUCCESS ||
        key.QueryValue(name.c_str(), &type, nullptr, &size) != registry::ERROR_SUCCESS)
        return {0, ""};
    std::string data(size, '\0');
    key.QueryValue(name.c_str(), &type, data.data(), &size);
    return {type, data};
}

} // namespace settingtest
