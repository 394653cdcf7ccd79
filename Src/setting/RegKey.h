#pragma once

#include "Registry.h"

namespace registry {

// Owner of one open registry key, with the typed reads and writes the
// settings use. Closes its key when destroyed. Movable, not copyable.
class CRegKey
{
public:
    CRegKey() noexcept = default;
    explicit CRegKey(HKEY hKey) noexcept : m_hKey(hKey) {}
    CRegKey(CRegKey&& other) noexcept;
    CRegKey& operator=(CRegKey&& other) noexcept;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    ~CRegKey();

    operator HKEY() const noexcept { return m_hKey; }

    // Opens an existing key; on success any key held before is closed first.
    LONG Open(HKEY hKeyParent, const char* lpszKeyName, REGSAM samDesired = KEY_READ | KEY_WRITE) noexcept;

    // Opens the key, creating it (and missing parents) when absent.
    LONG Create(HKEY hKeyParent, const char* lpszKeyName, char* lpszClass = nullptr,
                DWORD dwOptions = REG_OPTION_NON_VOLATILE, REGSAM samDesired = KEY_READ | KEY_WRITE,
                LPSECURITY_ATTRIBUTES lpSecAttr = nullptr, DWORD* lpdwDisposition = nullptr) noexcept;

    // Closes the key if one is held.
    LONG Close() noexcept;

    // Takes over / gives up a handle without opening or closing anything.
    void Attach(HKEY hKey) noexcept;
    HKEY Detach() noexcept;

    // Raw read: type and data as RegQueryValueExA gives them.
    LONG QueryValue(const char* pszValueName, DWORD* pdwType, void* pData, ULONG* pnBytes) noexcept;

    // Text read. *pnChars is the buffer's size in characters in, and the
    // number of characters read (the terminating NUL included) out, 0 on
    // failure. Only REG_SZ and REG_EXPAND_SZ (not expanded) are text, other
    // types fail with ERROR_INVALID_DATA, and so does data that is not empty
    // and does not end with a NUL. Empty data gives the empty text.
    LONG QueryStringValue(const char* pszValueName, char* pszValue, ULONG* pnChars) noexcept;

    // Number read: the value must be a REG_DWORD of exactly 4 bytes, else
    // ERROR_INVALID_DATA (or ERROR_MORE_DATA for longer data). dwValue is
    // changed only on success.
    LONG QueryDWORDValue(const char* pszValueName, DWORD& dwValue) noexcept;

    // Raw write.
    LONG SetValue(const char* pszValueName, DWORD dwType, const void* pValue, ULONG nBytes) noexcept;

    // REG_SZ (or the given string type): the characters and one NUL byte.
    LONG SetStringValue(const char* pszValueName, const char* pszValue, DWORD dwType = REG_SZ) noexcept;

    // REG_DWORD, 4 bytes.
    LONG SetDWORDValue(const char* pszValueName, DWORD dwValue) noexcept;

    LONG DeleteValue(const char* pszValueName) noexcept;
    LONG DeleteSubKey(const char* lpszSubKey) noexcept;

    HKEY m_hKey = nullptr;
};

} // namespace registry
