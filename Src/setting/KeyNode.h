#pragma once

// Inside of the registry layer: what an open key is, whichever store holds it.

#include "Registry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace registry::detail {

struct KeyStats
{
    DWORD subKeys = 0;
    DWORD maxSubKeyLen = 0;     // characters, no terminator
    DWORD values = 0;
    DWORD maxValueNameLen = 0;  // characters, no terminator
    DWORD maxValueLen = 0;      // bytes
    std::uint64_t lastWrite = 0;  // FILETIME units, 0 when not kept
};

// One open key of one store. Names passed in are as the caller spelled
// them; the node compares them case-insensitively.
class KeyNode
{
public:
    virtual ~KeyNode() = default;

    // Opens the sub-key at `path` (already split, not empty), creating the
    // missing keys on the way when `create` is set.
    virtual LONG OpenSubKey(const std::vector<std::string>& path, bool create, REGSAM access,
                            std::unique_ptr<KeyNode>& result, bool& created) = 0;
    // A second node on the same key (a new handle of it).
    virtual std::unique_ptr<KeyNode> Duplicate() const = 0;

    virtual LONG QueryValue(const std::string& name, RegValue& value) = 0;
    virtual LONG EnumValue(DWORD index, RegValue& value) = 0;
    virtual LONG Stats(KeyStats& stats) = 0;
    virtual LONG SetValue(const RegValue& value) = 0;
    virtual LONG DeleteValue(const std::string& name) = 0;
    virtual LONG DeleteSubKey(const std::vector<std::string>& path) = 0;

    // A key of a store that refuses every change.
    virtual bool ReadOnly() const = 0;
};

// ASCII case folding of names.
std::string FoldName(const std::string& name);
bool SameName(const std::string& a, const std::string& b);

// Splits a key path at backslashes. A single trailing backslash is allowed;
// a leading one or an empty name inside is ERROR_BAD_PATHNAME. A null or
// empty path gives an empty list.
LONG SplitKeyPath(const char* path, std::vector<std::string>& names);

// Largest key name and value name lengths the stores accept.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

} // namespace registry::detail
