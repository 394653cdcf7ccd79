#include "RegKey.h"

#include <cstring>
#include <utility>

namespace registry {

CRegKey::CRegKey(CRegKey&& other) noexcept : m_hKey(other.Detach())
{
}

CRegKey& CRegKey::operator=(CRegKey&& other) noexcept
{
    if (this != &other) {
        Close();
        m_hKey = other.Detach();
    }
    return *this;
}

CRegKey::~CRegKey()
{
    Close();
}

LONG CRegKey::Open(HKEY hKeyParent, const char* lpszKeyName, REGSAM samDesired) noexcept
{
    HKEY hKey = nullptr;
    const LONG result = RegOpenKeyExA(hKeyParent, lpszKeyName, 0, samDesired, &hKey);
    if (result != ERROR_SUCCESS)
        return result;
    Close();
    m_hKey = hKey;
    return ERROR_SUCCESS;
}

LONG CRegKey::Create(HKEY hKeyParent, const char* lpszKeyName, char* lpszClass, DWORD dwOptions, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES lpSecAttr, DWORD* lpdwDisposition) noexcept
{
    HKEY hKey = nullptr;
    DWORD disposition = 0;
    const LONG result = RegCreateKeyExA(hKeyParent, lpszKeyName, 0, lpszClass, dwOptions, samDesired, lpSecAttr,
                                        &hKey, &disposition);
    if (lpdwDisposition)
        *lpdwDisposition = disposition;
    if (result != ERROR_SUCCESS)
        return result;
    Close();
    m_hKey = hKey;
    return ERROR_SUCCESS;
}

LONG CRegKey::Close() noexcept
{
    if (!m_hKey)
        return ERROR_SUCCESS;
    const LONG result = RegCloseKey(m_hKey);
    m_hKey = nullptr;
    return result;
}

void CRegKey::Attach(HKEY hKey) noexcept
{
    Close();
    m_hKey = hKey;
}

HKEY CRegKey::Detach() noexcept
{
    return std::exchange(m_hKey, nullptr);
}

LONG CRegKey::QueryValue(const char* pszValueName, DWORD* pdwType, void* pData, ULONG* pnBytes) noexcept
{
    return RegQueryValueExA(m_hKey, pszValueName, nullptr, pdwType, static_cast<BYTE*>(pData), pnBytes);
}

LONG CRegKey::QueryStringValue(const char* pszValueName, char* pszValue, ULONG* pnChars) noexcept
{
    if (!pnChars)
        return ERROR_INVALID_PARAMETER;
    DWORD bytes = *pnChars;
    DWORD type = REG_NONE;
    *pnChars = 0;
    const LONG result =
        RegQueryValueExA(m_hKey, pszValueName, nullptr, &type, reinterpret_cast<BYTE*>(pszValue), &bytes);
    if (result != ERROR_SUCCESS)
        return result;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    if (pszValue) {
        if (bytes == 0)
            pszValue[0] = '\0';
        else if (pszValue[bytes - 1] != '\0')
            return ERROR_INVALID_DATA;
    }
    *pnChars = bytes;
    return ERROR_SUCCESS;
}

LONG CRegKey::QueryDWORDValue(const char* pszValueName, DWORD& dwValue) noexcept
{
    DWORD value = 0;
    DWORD bytes = sizeof value;
    DWORD type = REG_NONE;
    const LONG result =
        RegQueryValueExA(m_hKey, pszValueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes);
    if (result != ERROR_SUCCESS)
        return result;
    // Shorter data would leave part of the number unset: not a number.
    if (type != REG_DWORD || bytes != sizeof value)
        return ERROR_INVALID_DATA;
    dwValue = value;
    return ERROR_SUCCESS;
}

LONG CRegKey::SetValue(const char* pszValueName, DWORD dwType, const void* pValue, ULONG nBytes) noexcept
{
    return RegSetValueExA(m_hKey, pszValueName, 0, dwType, static_cast<const BYTE*>(pValue), nBytes);
}

LONG CRegKey::SetStringValue(const char* pszValueName, const char* pszValue, DWORD dwType) noexcept
{
    if (!pszValue)
        return ERROR_INVALID_DATA;
    const auto bytes = static_cast<DWORD>(std::strlen(pszValue) + 1);
    return RegSetValueExA(m_hKey, pszValueName, 0, dwType, reinterpret_cast<const BYTE*>(pszValue), bytes);
}

LONG CRegKey::SetDWORDValue(const char* pszValueName, DWORD dwValue) noexcept
{
    return RegSetValueExA(m_hKey, pszValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                          sizeof dwValue);
}

LONG CRegKey::DeleteValue(const char* pszValueName) noexcept
{
    return RegDeleteValueA(m_hKey, pszValueName);
}

LONG CRegKey::DeleteSubKey(const char* lpszSubKey) noexcept
{
    return RegDeleteKeyA(m_hKey, lpszSubKey);
}

} // namespace registry
