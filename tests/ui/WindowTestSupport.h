#pragma once

// Helpers for tests of the main window: a private settings store and device
// map per test, store read-back, and the operator's actions on controls.

#include <OrvelConfiguratorDlg.h>
#include <Registry.h>
#include <TempDir.h>

#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QWidget;

namespace windowtest {

// A fresh settings store in a temporary folder; the device map lists
// exactly the given port names (none: an empty map).
class Stores
{
public:
    explicit Stores(const std::vector<std::string>& ports = {});
    ~Stores();

    void SetPorts(const std::vector<std::string>& ports);
    const testsupport::TempDir& Dir() const { return m_dir; }

private:
    testsupport::TempDir m_dir;
};

// One device key under HKCU\SOFTWARE\Lunder\Orvel4 ("SnsPort", ...).
struct StoredValue
{
    bool present = false;
    registry::DWORD type = 0;
    std::string data;  // raw bytes
};
StoredValue ReadStored(const char* device, const char* valueName);
std::string StoredText(const char* device);    // "PortName" without its NUL
registry::DWORD StoredBaud(const char* device);
registry::DWORD StoredEnabled(const char* device);
int StoredValueCount(const char* device);
void SeedDevice(const char* device, const std::string& portName, registry::DWORD baud, registry::DWORD enabled);

// The window, built and initialised (Create), not shown.
std::unique_ptr<COrvelConfiguratorDlg> MakeWindow();

QString Text(const ui::CDialogEx& dlg, int id);
QStringList Items(const ui::CDialogEx& dlg, int comboId);
int Selection(const ui::CDialogEx& dlg, int comboId);
bool Enabled(const ui::CDialogEx& dlg, int id);

// The operator picks an item with the keyboard, as the list notifies it.
void PickItem(ui::CDialogEx& dlg, int comboId, int index);
void PickItem(ui::CDialogEx& dlg, int comboId, const QString& text);
// The operator clicks a button or check box.
void Click(ui::CDialogEx& dlg, int id);
// The operator types into a control that has the focus.
void Type(ui::CDialogEx& dlg, int id, const QString& text);

} // namespace windowtest
