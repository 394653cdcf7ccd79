#pragma once

#include "RegKey.h"
#include "Registry.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace settingtest {

// Sets an environment variable for one test.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};


// Every test runs on its own user store file in a temporary folder and on
// an empty device map; the defaults are restored afterwards.
class StoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        registry::SetUserStoreFile(StorePath());
        registry::SetDeviceMapValues({});
    }
    void TearDown() override { registry::ResetStores(); }

    std::string StorePath() const { return m_dir.File("hkcu.sqlite3"); }

    // Writes one raw value under HKEY_CURRENT_USER\keyPath (created if need be).
    static void Put(const std::string& keyPath, const std::string& name, registry::DWORD type,
                    const std::string& bytes)
    {
        registry::CRegKey key;
        ASSERT_EQ(key.Create(registry::HKEY_CURRENT_USER, keyPath.c_str()), registry::ERROR_SUCCESS);
        ASSERT_EQ(key.SetValue(name.c_str(), type, bytes.data(), static_cast<registry::ULONG>(bytes.size())),
                  registry::ERROR_SUCCESS);
    }
    static void PutDword(const std::string& keyPath, const std::string& name, registry::DWORD value)
    {
        Put(keyPath, name, registry::REG_DWORD, std::string(reinterpret_cast<const char*>(&value), 4));
    }
    static void PutText(const std::string& keyPath, const std::string& name, const std::string& text)
    {
        Put(keyPath, name, registry::REG_SZ, std::string(text.c_str(), text.size() + 1));
    }

    // Reads one raw value back; nothing when the key or the value is missing.
    static std::optional<registry::RegValue> Get(const std::string& keyPath, const std::string& name)
    {
        registry::CRegKey key;
        if (key.Open(registry::HKEY_CURRENT_USER, keyPath.c_str(), registry::KEY_READ) != registry::ERROR_SUCCESS)
            return std::nullopt;
        registry::ULONG size = 0;
        registry::DWORD type = 0;
        if (key.QueryValue(name.c_str(), &type, nullptr, &size) != registry::ERROR_SUCCESS)
            return std::nullopt;
        std::string data(size, '\0');
        if (key.QueryValue(name.c_str(), &type, data.data(), &size) != registry::ERROR_SUCCESS)
            return std::nullopt;
        return registry::RegValue{name, type, data};
    }

    static bool KeyExists(const std::string& keyPath)
    {
        registry::CRegKey key;
        return key.Open(registry::HKEY_CURRENT_USER, keyPath.c_str(), registry::KEY_READ) == registry::ERROR_SUCCESS;
    }

    static std::string Dword(registry::DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

    testsupport::TempDir m_dir;
};

} // namespace settingtest
