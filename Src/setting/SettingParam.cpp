#include "SettingParam.h"

#include <cstdio>
#include <cstring>

namespace setting {

using namespace registry;  // ERROR_SUCCESS is a macro on Windows

CSettingParam::CSettingParam(const char* name) : m_name(name ? name : "")
{
}

CStrSettingParam::CStrSettingParam(const char* name) : CSettingParam(name)
{
}

void CStrSettingParam::SetValue(const char* value)
{
    m_value = value ? value : "";
}

bool CStrSettingParam::Load(registry::CRegKey& key)
{
    // Read in place; the string keeps a terminator after the buffer.
    m_value.resize(kBufferChars, '\0');
    DWORD chars = kBufferChars;
    const bool read = key.QueryStringValue(m_name.c_str(), m_value.data(), &chars) == ERROR_SUCCESS;
    m_value.resize(std::strlen(m_value.c_str()));
    // A text that fills the whole buffer, terminator included, is too long.
    return read && chars < kBufferChars;
}

void CStrSettingParam::Save(registry::CRegKey& key)
{
    key.SetStringValue(m_name.c_str(), m_value.c_str());
}

CDwordSettingParam::CDwordSettingParam(const char* name) : CSettingParam(name)
{
}

namespace {

std::string SignedText(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return text;
}

} // namespace

void CDwordSettingParam::SetValue(DWORD value)
{
    m_dwValue = value;
    m_value = SignedText(value);
}

bool CDwordSettingParam::Load(registry::CRegKey& key)
{
    if (key.QueryDWORDValue(m_name.c_str(), m_dwValue) != ERROR_SUCCESS) {
        m_value.clear();
        return false;
    }
    m_value = SignedText(m_dwValue);
    return true;
}

void CDwordSettingParam::Save(registry::CRegKey& key)
{
    key.SetDWORDValue(m_name.c_str(), m_dwValue);
}

} // namespace setting
