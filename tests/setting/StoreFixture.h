#pragma once

#include "RegKey.h"
#include "RegistryHooks.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace settingtest {

// Every test runs on its own user store file and per-user folders (not
// made yet) in a temporary folder, and on an empty device map; no test
// touches the real settings or ports.
class StoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("XDG_CONFIG_HOME", m_dir.File("config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", m_dir.File("runtime").c_str(), 1);
        registry::SetUserStoreFile(StorePath());
        registry::SetDeviceMapValues({});
    }
    void TearDown() override { registry::ResetStores(); }

    std::string StorePath() const { return m_dir.File("hkcu.sqlite3"); }
    // Drops this process's connection to the store, as a new run of the program would.
    void Reopen() { registry::SetUserStoreFile(StorePath()); }

    static std::string Dword(registry::DWORD value) { return registry::RegValue::Dword("", value).data; }
    static std::string Sz(const std::string& text) { return registry::RegValue::String("", text).data; }

    // Writes one raw value under HKEY_CURRENT_USER\keyPath, creating the key.
    static void Put(const std::string& keyPath, const std::string& name, registry::DWORD type, const std::string& bytes)
    {
        registry::CRegKey key;
        ASSERT_EQ(key.Create(registry::HKEY_CURRENT_USER, keyPath.c_str()), registry::ERROR_SUCCESS);
        ASSERT_EQ(key.SetValue(name.c_str(), type, bytes.data(), static_cast<registry::DWORD>(bytes.size())),
                  registry::ERROR_SUCCESS);
    }

    // The type and data of one value (up to 512 bytes); nothing when the key
    // or the value is missing.
    using Stored = std::pair<registry::DWORD, std::string>;
    static std::optional<Stored> Get(const std::string& keyPath, const std::string& name)
    {
        registry::CRegKey key;
        char data[512];
        registry::DWORD size = sizeof data;
        registry::DWORD type = 0;
        if (key.Open(registry::HKEY_CURRENT_USER, keyPath.c_str(), registry::KEY_READ) != registry::ERROR_SUCCESS ||
            key.QueryValue(name.c_str(), &type, data, &size) != registry::ERROR_SUCCESS)
            return std::nullopt;
        return Stored{type, std::string(data, size)};
    }

    testsupport::TempDir m_dir;
};

} // namespace settingtest
