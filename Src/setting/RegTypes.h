#pragma once

// The registry's value types, sizes and error codes, with the platform's
// numbers, shared by the settings, the store and the port discovery. On
// Windows they are the SDK's own; elsewhere the same names and numbers are
// defined here for the store that stands in for the registry.

#include <cstdint>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace registry {

#ifdef _WIN32
// The real registry: its types and functions. Its constants (HKEY_*, KEY_*,
// REG_*, ERROR_*) are the SDK's macros, so they are written unqualified.
using ::BYTE;
using ::DWORD;
using ::HKEY;
using ::LONG;
using ::REGSAM;
using ::ULONG;
using ::GetLastError;
using ::SetLastError;
#else
using DWORD = std::uint32_t;
using ULONG = DWORD;  // the same number, as some callers spell sizes
using LONG = std::int32_t;
using BYTE = std::uint8_t;
using REGSAM = DWORD;

// The one root the settings live under: the per-user store.
enum HKEY : std::uintptr_t { HKEY_CURRENT_USER = 0x80000001u };

// Access rights a key is opened with.
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;

// Value types. Any other number is kept too, with its data as raw bytes.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;       // the key is not open
constexpr LONG ERROR_INVALID_DATA = 13;        // not a value of the type asked for
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_MORE_DATA = 234;          // the data does not fit the buffer
constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;  // the store cannot be read
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;  // the store cannot be written (disk, lock held too long)
#endif

// One typed value: its name and its data as raw bytes.
struct RegValue
{
    std::string name;
    DWORD type = REG_NONE;
    std::string data;

    // REG_SZ: the text and one terminating NUL byte.
    static RegValue String(std::string name, const std::string& text)
    {
        return {std::move(name), REG_SZ, std::string(text.c_str(), text.size() + 1)};
    }
    // REG_DWORD: 4 bytes in host order.
    static RegValue Dword(std::string name, DWORD value)
    {
        return {std::move(name), REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value)};
    }
};

// Names of keys and values compare case-insensitively, folding ASCII
// letters only: names in other code page characters compare byte for byte.
inline std::string FoldName(std::string name)
{
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

#ifndef _WIN32
// The calling thread's last-error code (EnumerateSerialPorts sets it).
void SetLastError(DWORD code);
DWORD GetLastError();
#endif

} // namespace registry
