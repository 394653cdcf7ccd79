#include "Setting.h"

namespace setting {

CSetting::CSetting(const char* keyPath)
{
    using namespace registry;
    if (m_key.Open(HKEY_CURRENT_USER, keyPath, KEY_READ | KEY_WRITE) != ERROR_SUCCESS) {
        // Without a key the group still works in memory: loads fail, saves are lost.
        m_key.Create(HKEY_CURRENT_USER, keyPath, KEY_READ | KEY_WRITE);
    }
}

bool CSetting::Load()
{
    bool loaded = true;
    for (CSettingParam* param : m_params)
        loaded = param->Load(m_key) && loaded;  // every parameter is read
    return loaded;
}

void CSetting::Save()
{
    for (CSettingParam* param : m_params)
        param->Save(m_key);
}

} // namespace setting
