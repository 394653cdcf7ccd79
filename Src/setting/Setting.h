#pragma once

#include "RegKey.h"
#include "SettingParam.h"

#include <vector>

namespace setting {

// A group of parameters kept in one key under HKEY_CURRENT_USER. The key is
// opened (or, failing that, created) by the constructor and held until
// destruction; without a key every Load fails and every Save is lost.
// Derived classes register their parameters in m_params, base class first.
// The registry is touched only by Load and Save.
class CSetting
{
public:
    explicit CSetting(const char* keyPath);
    CSetting(const CSetting&) = delete;  // m_params points into the object
    CSetting& operator=(const CSetting&) = delete;

    virtual void SetDefaults() = 0;

    // Reads every parameter, also after one has failed; true when all loaded.
    bool Load();
    // Writes every parameter in order; failures are ignored.
    void Save();

protected:
    ~CSetting() = default;

    std::vector<CSettingParam*> m_params;
    registry::CRegKey m_key;
};

} // namespace setting
