#pragma once

// A small registry of our own, giving the settings and the serial port
// discovery the Win32 registry calls they are written against.
//
//   HKEY_CURRENT_USER   one SQLite database per user (see UserStoreFile()).
//                       Every change is committed durably before the call
//                       returns; several running copies of the program may
//                       share the file.
//   HKEY_LOCAL_MACHINE  read only. It holds HARDWARE\DEVICEMAP\SERIALCOMM,
//                       one REG_SZ value per serial port present, taken as a
//                       snapshot when that key is opened (see DeviceMap.h for
//                       where the ports come from).
//
// Key and value names compare case-insensitively, folding ASCII letters only
// (names in other code page characters compare byte for byte). A key path
// is a backslash-separated list of names; a trailing backslash is allowed,
// a leading one or an empty name inside the path is ERROR_BAD_PATHNAME.
// Values keep the order in which they were first set; setting an existing
// value keeps its place in the enumeration.
//
// All functions are safe to call from any thread. Errors are returned as
// the platform's error numbers; none of them throws.

#include <cstdint>
#include <string>
#include <vector>

namespace registry {

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BYTE = std::uint8_t;
using REGSAM = DWORD;

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;

struct FILETIME
{
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct SECURITY_ATTRIBUTES
{
    DWORD nLength;
    void* lpSecurityDescriptor;
    int bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Predefined root keys. They need no opening and closing them does nothing.
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001u});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002u});

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM READ_CONTROL = 0x00020000;
constexpr REGSAM KEY_READ = READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;   // 0x20019
constexpr REGSAM KEY_WRITE = READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;                     // 0x20006
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Options and dispositions of RegCreateKeyExA.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Value types. Any other number is kept too, with its data as raw bytes.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Error codes, with the platform's numbers.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;    // the store cannot be read
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;  // the store cannot be written (disk, lock held too long)
constexpr LONG ERROR_KEY_DELETED = 1018;         // the open key was deleted meanwhile

// The calling thread's last-error code.
void SetLastError(DWORD code);
DWORD GetLastError();

// Opens an existing key. hKey is a root or an open key, lpSubKey relative to
// it (null or empty: hKey itself, as a new handle). ulOptions must be 0.
// On failure *phkResult is null. Keys of HKEY_LOCAL_MACHINE refuse any write
// access with ERROR_ACCESS_DENIED.
LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);

// Opens a key, creating it and every missing parent first. lpClass,
// dwOptions and lpSecurityAttributes are accepted and not kept. The
// disposition, when asked for, tells whether the key was new.
LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass, DWORD dwOptions,
                     REGSAM samDesired, const SECURITY_ATTRIBUTES* lpSecurityAttributes, PHKEY phkResult,
                     DWORD* lpdwDisposition);

// Reads a value (null or empty name: the key's default value). Any of
// lpType, lpData, lpcbData may be null; lpData needs lpcbData. *lpcbData is
// the buffer size in, the data size out. A buffer too small fails with
// ERROR_MORE_DATA, reports the size needed and leaves the buffer alone.
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);

// Writes a value: cbData bytes of lpData stored as given, with type dwType.
// Needs a key opened with KEY_SET_VALUE.
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);

// The value at dwIndex (0 upward, in the key's value order). *lpcchValueName
// is the name buffer's size in characters, terminator included, in; the
// name's length without it, out. A name that does not fit fails with
// ERROR_MORE_DATA; past the last value: ERROR_NO_MORE_ITEMS. Type and data
// are optional and behave as in RegQueryValueExA.
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                   DWORD* lpType, BYTE* lpData, DWORD* lpcbData);

// Statistics of a key; every out-pointer may be null. Name lengths are in
// characters without the terminator, data sizes in bytes. Keys have no
// class (empty), no security descriptor (0), and the last write time of
// the key's values (FILETIME, 100 ns units since 1601), 0 where not kept.
LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                      DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                      DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                      FILETIME* lpftLastWriteTime);

// Removes one value.
LONG RegDeleteValueA(HKEY hKey, const char* lpValueName);

// Removes a key that has no sub-keys (values go with it); a key with
// sub-keys fails with ERROR_ACCESS_DENIED. Handles still open on the
// removed key then fail with ERROR_KEY_DELETED.
LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey);

// Closes a handle; ERROR_INVALID_HANDLE when it is not an open handle.
LONG RegCloseKey(HKEY hKey);

// ---------------------------------------------------------------------------
// Where the stores live. The defaults come from the environment when first
// needed, so a program started with XDG_CONFIG_HOME and XDG_RUNTIME_DIR set
// uses those folders; tests point the stores elsewhere with the functions
// below. Handles opened before a change keep reading the store they were
// opened on; opens after it see the new one.

// A typed value of the device map.
struct RegValue
{
    std::string name;
    DWORD type = REG_NONE;
    std::string data;  // raw bytes

    // REG_SZ holding text and one terminating NUL byte.
    static RegValue String(std::string name, const std::string& text);
    // REG_DWORD, 4 bytes in host order.
    static RegValue Dword(std::string name, DWORD value);
};

// The database file behind HKEY_CURRENT_USER. Default:
// setting::UserConfigFolder() + "/hkcu.sqlite3". The folder is created
// (0700) and the file too (0600) when first opened. A file that is damaged
// or not a database is renamed to "<file>.damaged-<YYYYmmdd-HHMMSS>" (with
// "-<n>" added if that name is taken), one line goes to stderr, and a fresh
// store is started in its place.
void SetUserStoreFile(const std::string& path);
std::string UserStoreFile();

// The device map reads the ports present from these sources instead of
// /sys, /dev/serial/by-id and setting::VirtualPortFolder(). See DeviceMap.h
// for the rules.
struct DeviceSources;
void SetDeviceMapSources(const DeviceSources& sources);

// The device map holds exactly these values, in this order (a later value
// with the name of an earlier one replaces its data).
void SetDeviceMapValues(std::vector<RegValue> values);

// HARDWARE\DEVICEMAP\SERIALCOMM does not exist (a machine that never had a
// serial port); opening it fails with ERROR_FILE_NOT_FOUND.
void SetDeviceMapMissing();

// Back to the defaults from the environment for both stores. The user
// store's database is closed once no handle uses it any more.
void ResetStores();

} // namespace registry
