#pragma once

#include "RegKey.h"

#include <string>

namespace setting {

// One named value of a settings group, read from and written to the
// group's open registry key. Parameters are members of their group and
// are never deleted through this base.
class CSettingParam
{
public:
    explicit CSettingParam(const char* name);

    // Reads the value named m_name; true when it was there and well formed.
    virtual bool Load(registry::CRegKey& key) = 0;
    // Writes the value named m_name; a failed write goes unnoticed.
    virtual void Save(registry::CRegKey& key) = 0;

    const std::string m_name;  // registry value name
    std::string m_value;       // the value as text

protected:
    ~CSettingParam() = default;
};

// A text value, stored as REG_SZ.
class CStrSettingParam : public CSettingParam
{
public:
    // Texts are read through a buffer of this many characters; a stored
    // text must be shorter than that, terminating NUL included.
    static constexpr registry::DWORD kBufferChars = 260;

    explicit CStrSettingParam(const char* name);

    void SetValue(const char* value);  // null: the empty text

    bool Load(registry::CRegKey& key) override;
    void Save(registry::CRegKey& key) override;
};

// A 32-bit number, stored as REG_DWORD. m_value follows it as "%d" text, so
// 4294967295 reads "-1"; a failed Load empties m_value and leaves m_dwValue
// as it was.
class CDwordSettingParam : public CSettingParam
{
public:
    explicit CDwordSettingParam(const char* name);

    void SetValue(registry::DWORD value);

    bool Load(registry::CRegKey& key) override;
    void Save(registry::CRegKey& key) override;

    registry::DWORD m_dwValue = 0;
};

} // namespace setting
