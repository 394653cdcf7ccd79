#include "RegKey.h"

#include <cstring>

namespace registry {

// The typed reads and writes, the same on every platform: built on Read,
// which brings one value whole, and SetValue.

LONG CRegKey::Open(HKEY hKeyParent, const char* keyName, REGSAM samDesired)
{
    return Reach(hKeyParent, keyName, samDesired, false);
}

LONG CRegKey::Create(HKEY hKeyParent, const char* keyName, REGSAM samDesired)
{
    return Reach(hKeyParent, keyName, samDesired, true);
}

LONG CRegKey::QueryValue(const char* valueName, DWORD* pdwType, void* pData, DWORD* pnBytes)
{
    RegValue value;
    if (const LONG e = Read(valueName, value); e != ERROR_SUCCESS)
        return e;
    if (pdwType)
        *pdwType = value.type;
    if (!pnBytes)
        return ERROR_SUCCESS;
    const auto size = static_cast<DWORD>(value.data.size());
    const bool fits = !pData || *pnBytes >= size;
    if (pData && fits)
        std::memcpy(pData, value.data.data(), size);
    *pnBytes = size;
    return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG CRegKey::QueryStringValue(const char* valueName, char* pszValue, DWORD* pnChars)
{
    const DWORD capacity = *pnChars;
    *pnChars = 0;
    RegValue value;
    if (const LONG e = Read(valueName, value); e != ERROR_SUCCESS)
        return e;
    if ((value.type != REG_SZ && value.type != REG_EXPAND_SZ) || (!value.data.empty() && value.data.back() != '\0'))
        return ERROR_INVALID_DATA;
    if (value.data.empty())
        value.data.push_back('\0');
    if (value.data.size() > capacity)
        return ERROR_MORE_DATA;
    std::memcpy(pszValue, value.data.data(), value.data.size());
    *pnChars = static_cast<DWORD>(value.data.size());
    return ERROR_SUCCESS;
}

LONG CRegKey::QueryDWORDValue(const char* valueName, DWORD& dwValue)
{
    RegValue value;
    if (const LONG e = Read(valueName, value); e != ERROR_SUCCESS)
        return e;
    if (value.data.size() > sizeof dwValue)
        return ERROR_MORE_DATA;
    // Shorter data would leave part of the number unset: not a number.
    if (value.type != REG_DWORD || value.data.size() != sizeof dwValue)
        return ERROR_INVALID_DATA;
    std::memcpy(&dwValue, value.data.data(), sizeof dwValue);
    return ERROR_SUCCESS;
}

LONG CRegKey::SetStringValue(const char* valueName, const char* pszValue)
{
    return SetValue(valueName, REG_SZ, pszValue, static_cast<DWORD>(std::strlen(pszValue) + 1));
}

LONG CRegKey::SetDWORDValue(const char* valueName, DWORD dwValue)
{
    return SetValue(valueName, REG_DWORD, &dwValue, sizeof dwValue);
}

} // namespace registry
