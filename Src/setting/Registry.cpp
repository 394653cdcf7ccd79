#include "Registry.h"

#include "DeviceMap.h"
#include "KeyNode.h"
#include "MachineKeys.h"
#include "PortFolders.h"
#include "UserStore.h"

#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_map>
#include <utility>

// An open key handle: the node it reaches and the access it was opened with.
struct registry::HKEY__
{
    std::shared_ptr<registry::detail::KeyNode> node;
    registry::REGSAM access = 0;
};

namespace registry {

namespace {

using detail::KeyNode;
using detail::KeyStats;
using detail::UserStore;

constexpr REGSAM kDelete = 0x00010000;
constexpr REGSAM kWriteDac = 0x00040000;
constexpr REGSAM kWriteOwner = 0x00080000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | kDelete | kWriteDac | kWriteOwner;

REGSAM MapGenericRights(REGSAM access)
{
    if (access & kGenericRead)
        access |= KEY_READ;
    if (access & kGenericWrite)
        access |= KEY_WRITE;
    if (access & kGenericAll)
        access |= KEY_ALL_ACCESS;
    return access & ~(kGenericRead | kGenericWrite | kGenericAll);
}

// Where the device map's values come from.
struct DeviceMapSetting
{
    enum class Mode { Environment, Sources, Values, Missing };
    Mode mode = Mode::Environment;
    DeviceSources sources;
    std::vector<RegValue> values;
};

// Everything the layer keeps for the process, in one object so that it is
// torn down in one known order at exit.
struct State
{
    std::mutex mutex;
    std::unordered_map<const HKEY__*, std::shared_ptr<HKEY__>> handles;
    std::optional<std::string> userStoreFile;
    std::shared_ptr<UserStore> userStore;
    DeviceMapSetting deviceMap;
};

State& TheState()
{
    static State state;
    return state;
}

thread_local DWORD t_lastError = 0;

std::string DefaultUserStoreFile()
{
    return setting::UserConfigFolder() + "/hkcu.sqlite3";
}

std::shared_ptr<UserStore> CurrentUserStore()
{
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const std::string path = s.userStoreFile ? *s.userStoreFile : DefaultUserStoreFile();
    if (!s.userStore || s.userStore->Path() != path)
        s.userStore = UserStore::Open(path);
    return s.userStore;
}

LONG ReadDeviceMap(std::vector<RegValue>* values)
{
    DeviceMapSetting setting;
    {
        State& s = TheState();
        std::lock_guard<std::mutex> lock(s.mutex);
        setting = s.deviceMap;
    }
    switch (setting.mode) {
    case DeviceMapSetting::Mode::Missing:
        return ERROR_FILE_NOT_FOUND;
    case DeviceMapSetting::Mode::Values:
        if (values)
            *values = std::move(setting.values);
        return ERROR_SUCCESS;
    case DeviceMapSetting::Mode::Sources:
        break;
    case DeviceMapSetting::Mode::Environment:
        setting.sources.virtualPortFolder = setting::VirtualPortFolder();
        break;
    }
    if (values)
        *values = ScanSerialDevices(setting.sources);
    return ERROR_SUCCESS;
}

// The key a handle stands for.
struct Target
{
    std::shared_ptr<KeyNode> node;
    REGSAM access = 0;
};

LONG Resolve(HKEY hKey, Target& target)
{
    if (hKey == HKEY_CURRENT_USER) {
        std::shared_ptr<UserStore> store = CurrentUserStore();
        if (store->OpenError() != ERROR_SUCCESS)
            return store->OpenError();
        target = {store->Root(), KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    if (hKey == HKEY_LOCAL_MACHINE) {
        target = {detail::MakeMachineRoot(ReadDeviceMap), KEY_READ};
        return ERROR_SUCCESS;
    }
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const auto it = s.handles.find(hKey);
    if (hKey == nullptr || it == s.handles.end())
        return ERROR_INVALID_HANDLE;
    target = {it->second->node, it->second->access};
    return ERROR_SUCCESS;
}

HKEY NewHandle(std::unique_ptr<KeyNode> node, REGSAM access)
{
    auto handle = std::make_shared<HKEY__>();
    handle->node = std::move(node);
    handle->access = access;
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.handles.emplace(handle.get(), handle);
    return handle.get();
}

// The key behind a handle opened with `right`. KEY_SET_VALUE is refused
// on a key that cannot be written, whatever the handle was opened with.
LONG ResolveWith(HKEY hKey, REGSAM right, Target& target)
{
    if (const LONG e = Resolve(hKey, target); e != ERROR_SUCCESS)
        return e;
    if (!(target.access & right) || (right == KEY_SET_VALUE && target.node->ReadOnly()))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// Copies `data` out as the query and enumeration calls do.
LONG CopyData(const RegValue& value, DWORD* lpType, BYTE* lpData, DWORD* lpcbData)
{
    if (lpType)
        *lpType = value.type;
    if (!lpcbData)
        return ERROR_SUCCESS;
    const DWORD size = static_cast<DWORD>(value.data.size());
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size > 0)
            std::memcpy(lpData, value.data.data(), size);
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG OpenOrCreate(HKEY hKey, const char* lpSubKey, REGSAM samDesired, bool create, PHKEY phkResult,
                  bool& created)
{
    created = false;
    samDesired = MapGenericRights(samDesired);
    std::vector<std::string> path;
    if (const LONG e = detail::SplitKeyPath(lpSubKey, path); e != ERROR_SUCCESS)
        return e;
    for (const std::string& name : path) {
        if (name.size() > detail::kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
    }
    Target target;
    if (const LONG e = Resolve(hKey, target); e != ERROR_SUCCESS)
        return e;
    if (target.node->ReadOnly() && (samDesired & kWriteRights))
        return ERROR_ACCESS_DENIED;

    std::unique_ptr<KeyNode> node;
    if (path.empty()) {
        node = target.node->Duplicate();
    } else if (const LONG e = target.node->OpenSubKey(path, create, samDesired, node, created);
               e != ERROR_SUCCESS) {
        return e;
    }
    *phkResult = NewHandle(std::move(node), samDesired);
    return ERROR_SUCCESS;
}

} // namespace

RegValue RegValue::String(std::string name, const std::string& text)
{
    RegValue v;
    v.name = std::move(name);
    v.type = REG_SZ;
    v.data.assign(text.c_str(), text.size() + 1);
    return v;
}

RegValue RegValue::Dword(std::string name, DWORD value)
{
    RegValue v;
    v.name = std::move(name);
    v.type = REG_DWORD;
    v.data.assign(reinterpret_cast<const char*>(&value), sizeof value);
    return v;
}

void SetLastError(DWORD code)
{
    t_lastError = code;
}

DWORD GetLastError()
{
    return t_lastError;
}

namespace {

LONG RegOpenKeyExAImpl(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (ulOptions != 0)
        return ERROR_INVALID_PARAMETER;
    bool created = false;
    return OpenOrCreate(hKey, lpSubKey, samDesired, false, phkResult, created);
}

LONG RegCreateKeyExAImpl(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* /*lpClass*/, DWORD dwOptions,
                     REGSAM samDesired, const SECURITY_ATTRIBUTES* /*lpSecurityAttributes*/, PHKEY phkResult,
                     DWORD* lpdwDisposition)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (!lpSubKey || Reserved != 0 || (dwOptions & ~REG_OPTION_VOLATILE) != 0)
        return ERROR_INVALID_PARAMETER;
    bool created = false;
    const LONG e = OpenOrCreate(hKey, lpSubKey, samDesired, true, phkResult, created);
    if (e == ERROR_SUCCESS && lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return e;
}

LONG RegQueryValueExAImpl(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData)
{
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    Target target;
    if (const LONG e = ResolveWith(hKey, KEY_QUERY_VALUE, target); e != ERROR_SUCCESS)
        return e;
    RegValue value;
    if (const LONG e = target.node->QueryValue(lpValueName ? lpValueName : "", value); e != ERROR_SUCCESS)
        return e;
    return CopyData(value, lpType, lpData, lpcbData);
}

LONG RegSetValueExAImpl(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData)
{
    if (Reserved != 0 || (!lpData && cbData != 0))
        return ERROR_INVALID_PARAMETER;
    const std::string name = lpValueName ? lpValueName : "";
    if (name.size() > detail::kMaxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    Target target;
    if (const LONG e = ResolveWith(hKey, KEY_SET_VALUE, target); e != ERROR_SUCCESS)
        return e;
    RegValue value;
    value.name = name;
    value.type = dwType;
    if (cbData > 0)
        value.data.assign(reinterpret_cast<const char*>(lpData), cbData);
    return target.node->SetValue(value);
}

LONG RegEnumValueAImpl(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                   DWORD* lpType, BYTE* lpData, DWORD* lpcbData)
{
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    Target target;
    if (const LONG e = ResolveWith(hKey, KEY_QUERY_VALUE, target); e != ERROR_SUCCESS)
        return e;
    RegValue value;
    if (const LONG e = target.node->EnumValue(dwIndex, value); e != ERROR_SUCCESS)
        return e;
    if (value.name.size() + 1 > *lpcchValueName)
        return ERROR_MORE_DATA;
    std::memcpy(lpValueName, value.name.c_str(), value.name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(value.name.size());
    return CopyData(value, lpType, lpData, lpcbData);
}

LONG RegQueryInfoKeyAImpl(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                      DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                      DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                      FILETIME* lpftLastWriteTime)
{
    if (lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    Target target;
    if (const LONG e = ResolveWith(hKey, KEY_QUERY_VALUE, target); e != ERROR_SUCCESS)
        return e;
    KeyStats stats;
    if (const LONG e = target.node->Stats(stats); e != ERROR_SUCCESS)
        return e;
    if (lpClass) {
        if (*lpcchClass < 1)
            return ERROR_MORE_DATA;
        lpClass[0] = '\0';
    }
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpcSubKeys)
        *lpcSubKeys = stats.subKeys;
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = stats.maxSubKeyLen;
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = 0;
    if (lpcValues)
        *lpcValues = stats.values;
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = stats.maxValueNameLen;
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = stats.maxValueLen;
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) {
        lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(stats.lastWrite);
        lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(stats.lastWrite >> 32);
    }
    return ERROR_SUCCESS;
}

LONG RegDeleteValueAImpl(HKEY hKey, const char* lpValueName)
{
    Target target;
    if (const LONG e = ResolveWith(hKey, KEY_SET_VALUE, target); e != ERROR_SUCCESS)
        return e;
    return target.node->DeleteValue(lpValueName ? lpValueName : "");
}

LONG RegDeleteKeyAImpl(HKEY hKey, const char* lpSubKey)
{
    std::vector<std::string> path;
    if (const LONG e = detail::SplitKeyPath(lpSubKey, path); e != ERROR_SUCCESS)
        return e;
    if (path.empty())
        return ERROR_INVALID_PARAMETER;
    Target target;
    if (const LONG e = Resolve(hKey, target); e != ERROR_SUCCESS)
        return e;
    if (target.node->ReadOnly())
        return ERROR_ACCESS_DENIED;
    return target.node->DeleteSubKey(path);
}

LONG RegCloseKeyImpl(HKEY hKey)
{
    if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    std::shared_ptr<HKEY__> handle;  // released outside the lock
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const auto it = s.handles.find(hKey);
    if (hKey == nullptr || it == s.handles.end())
        return ERROR_INVALID_HANDLE;
    handle = std::move(it->second);
    s.handles.erase(it);
    return ERROR_SUCCESS;
}

// Every call answers with an error code, also when memory runs out.
template <class Call>
LONG Guarded(Call&& call) noexcept
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        return ERROR_REGISTRY_IO_FAILED;
    }
}

} // namespace

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    return Guarded([&] { return RegOpenKeyExAImpl(hKey, lpSubKey, ulOptions, samDesired, phkResult); });
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass, DWORD dwOptions,
                     REGSAM samDesired, const SECURITY_ATTRIBUTES* lpSecurityAttributes, PHKEY phkResult,
                     DWORD* lpdwDisposition)
{
    return Guarded([&] {
        return RegCreateKeyExAImpl(hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired, lpSecurityAttributes,
                                   phkResult, lpdwDisposition);
    });
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData)
{
    return Guarded([&] { return RegQueryValueExAImpl(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData); });
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData)
{
    return Guarded([&] { return RegSetValueExAImpl(hKey, lpValueName, Reserved, dwType, lpData, cbData); });
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                   DWORD* lpType, BYTE* lpData, DWORD* lpcbData)
{
    return Guarded([&] {
        return RegEnumValueAImpl(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData, lpcbData);
    });
}

LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                      DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                      DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                      FILETIME* lpftLastWriteTime)
{
    return Guarded([&] {
        return RegQueryInfoKeyAImpl(hKey, lpClass, lpcchClass, lpReserved, lpcSubKeys, lpcbMaxSubKeyLen,
                                    lpcbMaxClassLen, lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen,
                                    lpcbSecurityDescriptor, lpftLastWriteTime);
    });
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName)
{
    return Guarded([&] { return RegDeleteValueAImpl(hKey, lpValueName); });
}

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey)
{
    return Guarded([&] { return RegDeleteKeyAImpl(hKey, lpSubKey); });
}

LONG RegCloseKey(HKEY hKey)
{
    return Guarded([&] { return RegCloseKeyImpl(hKey); });
}

void SetUserStoreFile(const std::string& path)
{
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.userStoreFile = path;
    s.userStore.reset();
}

std::string UserStoreFile()
{
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.userStoreFile ? *s.userStoreFile : DefaultUserStoreFile();
}

void SetDeviceMapSources(const DeviceSources& sources)
{
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.deviceMap = DeviceMapSetting{DeviceMapSetting::Mode::Sources, sources, {}};
}

void SetDeviceMapValues(std::vector<RegValue> values)
{
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.deviceMap = DeviceMapSetting{DeviceMapSetting::Mode::Values, {}, std::move(values)};
}

void SetDeviceMapMissing()
{
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.deviceMap = DeviceMapSetting{DeviceMapSetting::Mode::Missing, {}, {}};
}

void ResetStores()
{
    State& s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.userStoreFile.reset();
    s.userStore.reset();
    s.deviceMap = DeviceMapSetting{};
}

namespace detail {

std::string FoldName(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && FoldName(a) == FoldName(b);
}

LONG SplitKeyPath(const char* path, std::vector<std::string>& names)
{
    names.clear();
    if (!path || !*path)
        return ERROR_SUCCESS;
    std::string text = path;
    if (text.front() == '\\')
        return ERROR_BAD_PATHNAME;
    if (text.back() == '\\')
        text.pop_back();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\\', start);
        std::string name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (name.empty())
            return ERROR_BAD_PATHNAME;
        names.push_back(std::move(name));
        if (end == std::string::npos)
            return ERROR_SUCCESS;
        start = end + 1;
    }
}

} // namespace detail

} // namespace registry
