#include "RegKey.h"

namespace registry {

// The registry itself, through its ANSI calls: the values are the bytes
// RegQueryValueExA and RegSetValueExA see, so every other program reading
// the same keys sees the same types and sizes.
LONG CRegKey::Reach(HKEY hKeyParent, const char* keyName, REGSAM samDesired, bool create)
{
    HKEY key = nullptr;
    const LONG result = create ? ::RegCreateKeyExA(hKeyParent, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                   samDesired, nullptr, &key, nullptr)
                               : ::RegOpenKeyExA(hKeyParent, keyName, 0, samDesired, &key);
    if (result == ERROR_SUCCESS)
        m_key.reset(key);
    return result;
}

LONG CRegKey::Close()
{
    HKEY key = m_key.release();
    return key ? ::RegCloseKey(key) : ERROR_SUCCESS;
}

LONG CRegKey::Read(const char* valueName, RegValue& value)
{
    if (!m_key)
        return ERROR_INVALID_HANDLE;
    // Grown until the data fits: another process may change it in between.
    for (;;) {
        auto size = static_cast<DWORD>(value.data.size());
        const LONG result = ::RegQueryValueExA(m_key.get(), valueName, nullptr, &value.type,
                                               reinterpret_cast<BYTE*>(value.data.data()), &size);
        if (result != ERROR_MORE_DATA) {
            if (result == ERROR_SUCCESS)
                value.data.resize(size);
            return result;
        }
        value.data.resize(size);
    }
}

LONG CRegKey::SetValue(const char* valueName, DWORD dwType, const void* pValue, DWORD nBytes)
{
    if (!m_key)
        return ERROR_INVALID_HANDLE;
    return ::RegSetValueExA(m_key.get(), valueName, 0, dwType, static_cast<const BYTE*>(pValue), nBytes);
}

} // namespace registry
