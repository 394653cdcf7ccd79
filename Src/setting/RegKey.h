#pragma once

#include "RegTypes.h"

#include <cstdint>
#include <memory>
#include <type_traits>

namespace registry {

namespace detail {
class KeyTree;
}

// One open key of the per-user store, with the typed reads and writes the
// settings use. On Windows the store is the registry itself (RegKey_win.cpp);
// elsewhere a file that stands in for it (RegKey_linux.cpp), where every
// change is on disk when the call returns. Either way several running
// copies of the program may share the store. Errors come back as the
// platform's error numbers; a key that is not open answers
// ERROR_INVALID_HANDLE.
class CRegKey
{
public:
    // Opens the existing key at `keyName` (backslash-separated; see
    // KeyTree::OpenKey for the paths the file store takes); a key held
    // before is given up only on success. In the file store every key can
    // be read and written, whatever access is asked for; the registry grants
    // what is asked for.
    LONG Open(HKEY hKeyParent, const char* keyName, REGSAM samDesired = KEY_READ | KEY_WRITE);

    // Opens the key, creating it and its missing parents when absent.
    LONG Create(HKEY hKeyParent, const char* keyName, REGSAM samDesired = KEY_READ | KEY_WRITE);

    LONG Close();

    // Raw read: the type and the data. *pnBytes is the buffer's size in and
    // the data's size out; a buffer too small is left alone and answers
    // ERROR_MORE_DATA. Any of the three pointers may be null.
    LONG QueryValue(const char* valueName, DWORD* pdwType, void* pData, DWORD* pnBytes);

    // Text read. *pnChars is the buffer's size in characters in, and the
    // number of characters read (the terminating NUL included) out, 0 on
    // failure. Only REG_SZ and REG_EXPAND_SZ (not expanded) are text, other
    // types fail with ERROR_INVALID_DATA, and so does data that is not empty
    // and does not end with a NUL. Empty data gives the empty text.
    LONG QueryStringValue(const char* valueName, char* pszValue, DWORD* pnChars);

    // Number read: the value must be a REG_DWORD of exactly 4 bytes, else
    // ERROR_INVALID_DATA (or ERROR_MORE_DATA for longer data). dwValue is
    // changed only on success.
    LONG QueryDWORDValue(const char* valueName, DWORD& dwValue);

    // Raw write: nBytes of pValue, stored as they are with type dwType.
    LONG SetValue(const char* valueName, DWORD dwType, const void* pValue, DWORD nBytes);

    // REG_SZ: the characters and one NUL byte.
    LONG SetStringValue(const char* valueName, const char* pszValue);

    // REG_DWORD, 4 bytes.
    LONG SetDWORDValue(const char* valueName, DWORD dwValue);

private:
    // Platform parts (RegKey_win.cpp, RegKey_linux.cpp): open or create
    // the key, read one value whole.
    LONG Reach(HKEY hKeyParent, const char* keyName, REGSAM samDesired, bool create);
    LONG Read(const char* valueName, RegValue& value);

#ifdef _WIN32
    struct KeyCloser
    {
        void operator()(HKEY key) const { ::RegCloseKey(key); }
    };
    std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser> m_key;  // null while no key is open
#else
    std::shared_ptr<detail::KeyTree> m_tree;  // null while no key is open
    std::int64_t m_key = 0;
#endif
};

} // namespace registry
