#include "MachineKeys.h"

#include <algorithm>
#include <string>
#include <utility>

namespace registry::detail {

namespace {

// The keys on the way to the device map, by depth below the root.
const char* const kPath[] = {"HARDWARE", "DEVICEMAP", "SERIALCOMM"};
constexpr std::size_t kDeviceMapDepth = 3;

class MachineKeyNode final : public KeyNode
{
public:
    MachineKeyNode(DeviceMapSource source, std::size_t depth, std::vector<RegValue> values = {})
        : m_source(std::move(source)), m_depth(depth), m_values(std::move(values))
    {
    }

    LONG OpenSubKey(const std::vector<std::string>& path, bool create, REGSAM /*access*/,
                    std::unique_ptr<KeyNode>& result, bool& created) override
    {
        created = false;
        std::size_t depth = m_depth;
        for (const std::string& name : path) {
            if (depth >= kDeviceMapDepth || !SameName(name, kPath[depth]))
                return create ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
            ++depth;
        }
        if (depth < kDeviceMapDepth) {
            result = std::make_unique<MachineKeyNode>(m_source, depth);
            return ERROR_SUCCESS;
        }
        std::vector<RegValue> values;
        const LONG e = m_source(&values);
        if (e != ERROR_SUCCESS)
            return create && e == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : e;
        result = std::make_unique<MachineKeyNode>(m_source, depth, Unique(std::move(values)));
        return ERROR_SUCCESS;
    }

    std::unique_ptr<KeyNode> Duplicate() const override
    {
        return std::make_unique<MachineKeyNode>(m_source, m_depth, m_values);
    }

    LONG QueryValue(const std::string& name, RegValue& value) override
    {
        for (const RegValue& v : m_values) {
            if (SameName(v.name, name)) {
                value = v;
                return ERROR_SUCCESS;
            }
        }
        return ERROR_FILE_NOT_FOUND;
    }

    LONG EnumValue(DWORD index, RegValue& value) override
    {
        if (index >= m_values.size())
            return ERROR_NO_MORE_ITEMS;
        value = m_values[index];
        return ERROR_SUCCESS;
    }

    LONG Stats(KeyStats& stats) override
    {
        stats = KeyStats{};
        if (m_depth < kDeviceMapDepth) {
            const bool hasChild = m_depth + 1 < kDeviceMapDepth || m_source(nullptr) == ERROR_SUCCESS;
            stats.subKeys = hasChild ? 1 : 0;
            stats.maxSubKeyLen = hasChild ? static_cast<DWORD>(std::char_traits<char>::length(kPath[m_depth])) : 0;
        }
        stats.values = static_cast<DWORD>(m_values.size());
        for (const RegValue& v : m_values) {
            stats.maxValueNameLen = std::max(stats.maxValueNameLen, static_cast<DWORD>(v.name.size()));
            stats.maxValueLen = std::max(stats.maxValueLen, static_cast<DWORD>(v.data.size()));
        }
        return ERROR_SUCCESS;
    }

    LONG SetValue(const RegValue&) override { return ERROR_ACCESS_DENIED; }
    LONG DeleteValue(const std::string&) override { return ERROR_ACCESS_DENIED; }
    LONG DeleteSubKey(const std::vector<std::string>&) override { return ERROR_ACCESS_DENIED; }
    bool ReadOnly() const override { return true; }

private:
    // Value names are unique in a key: a later value with the name of an
    // earlier one replaces its type and data, keeping its place.
    static std::vector<RegValue> Unique(std::vector<RegValue> values)
    {
        std::vector<RegValue> unique;
        unique.reserve(values.size());
        for (RegValue& v : values) {
            auto same = std::find_if(unique.begin(), unique.end(),
                                     [&](const RegValue& u) { return SameName(u.name, v.name); });
            if (same == unique.end()) {
                unique.push_back(std::move(v));
            } else {
                same->type = v.type;
                same->data = std::move(v.data);
            }
        }
        return unique;
    }

    DeviceMapSource m_source;
    std::size_t m_depth;
    std::vector<RegValue> m_values;  // the snapshot, at the device map's depth
};

} // namespace

std::unique_ptr<KeyNode> MakeMachineRoot(DeviceMapSource source)
{
    return std::make_unique<MachineKeyNode>(std::move(source), 0);
}

} // namespace registry::detail
