// Start-up proper, the same on every platform: the window it runs is each
// platform's COrvelConfiguratorDlg.

#include "OrvelConfiguratorApp.h"

#include <KeyPath.h>
#include <OrvelConfiguratorDlg.h>

bool COrvelConfiguratorApp::InitInstance()
{
    ConfigureLogging();
    SetRegistryKey(setting::MakeAppKeyPath());
    {
        COrvelConfiguratorDlg dlg;
        dlg.DoModal();
    }
    return false;
}
