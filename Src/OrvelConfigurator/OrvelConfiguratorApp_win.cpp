// The settings root on Windows, where the program is its own framework: the
// key is kept for the window layer's own state, under
// HKEY_CURRENT_USER\Software\<key>, as CWinApp::SetRegistryKey keeps it.

#include "OrvelConfiguratorApp.h"

void COrvelConfiguratorApp::SetRegistryKey(const std::string& key)
{
    m_registryKey = key;
}
