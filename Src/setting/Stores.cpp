#include "Stores.h"

#include "PortFolders.h"
#include "RegistryHooks.h"

#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace registry {

namespace {

// Reads the device map; empty: the environment's.
using DeviceMapReader = std::function<LONG(std::vector<RegValue>& values)>;

struct State
{
    std::mutex mutex;
    std::optional<std::string> userStoreFile;
    std::shared_ptr<detail::KeyTree> userTree;
    DeviceMapReader deviceMap;
    std::optional<DeviceSources> deviceSources;  // what deviceMap scans, when it scans
};

State& TheState()
{
    static State state;
    return state;
}

std::string StoreFileOf(const State& s)
{
    return s.userStoreFile ? *s.userStoreFile : setting::UserConfigFolder() + "/hkcu.sqlite3";
}

void SetDeviceMap(DeviceMapReader reader, std::optional<DeviceSources> sources = std::nullopt)
{
    State& s = TheState();
    const std::lock_guard<std::mutex> lock(s.mutex);
    s.deviceMap = std::move(reader);
    s.deviceSources = std::move(sources);
}

DeviceSources EnvironmentSources()
{
    DeviceSources environment;
    environment.virtualPortFolder = setting::VirtualPortFolder();
    return environment;
}

thread_local DWORD t_lastError = 0;

} // namespace

void SetLastError(DWORD code)
{
    t_lastError = code;
}

DWORD GetLastError()
{
    return t_lastError;
}

void SetUserStoreFile(const std::string& path)
{
    State& s = TheState();
    const std::lock_guard<std::mutex> lock(s.mutex);
    s.userStoreFile = path;
    s.userTree.reset();
}

std::string UserStoreFile()
{
    State& s = TheState();
    const std::lock_guard<std::mutex> lock(s.mutex);
    return StoreFileOf(s);
}

void SetDeviceMapSources(const DeviceSources& sources)
{
    SetDeviceMap(
        [sources](std::vector<RegValue>& values) {
            values = ScanSerialDevices(sources);
            return ERROR_SUCCESS;
        },
        sources);
}

DeviceSources DeviceMapSources()
{
    State& s = TheState();
    {
        const std::lock_guard<std::mutex> lock(s.mutex);
        if (s.deviceSources)
            return *s.deviceSources;
    }
    return EnvironmentSources();
}

void SetDeviceMapValues(std::vector<RegValue> values)
{
    SetDeviceMap([values = std::move(values)](std::vector<RegValue>& out) {
        out = values;
        return ERROR_SUCCESS;
    });
}

void SetDeviceMapMissing()
{
    SetDeviceMap([](std::vector<RegValue>&) { return ERROR_FILE_NOT_FOUND; });
}

void ResetStores()
{
    SetDeviceMap(nullptr);
    State& s = TheState();
    const std::lock_guard<std::mutex> lock(s.mutex);
    s.userStoreFile.reset();
    s.userTree.reset();
}

namespace detail {

std::shared_ptr<KeyTree> UserKeyTree()
{
    State& s = TheState();
    const std::lock_guard<std::mutex> lock(s.mutex);
    const std::string path = StoreFileOf(s);
    if (!s.userTree || s.userTree->Path() != path)
        s.userTree = std::make_shared<KeyTree>(path);
    return s.userTree;
}

LONG ReadDeviceMap(std::vector<RegValue>& values)
{
    DeviceMapReader read;
    {
        State& s = TheState();
        const std::lock_guard<std::mutex> lock(s.mutex);
        read = s.deviceMap;
    }
    if (read)
        return read(values);
    values = ScanSerialDevices(EnvironmentSources());
    return ERROR_SUCCESS;
}

} // namespace detail

} // namespace registry
