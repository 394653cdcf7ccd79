#pragma once

// Helpers for tests of the main window: a private settings store and device
// map per test, store read-back, and the operator's actions on controls.

#include <LogPane.h>
#include <OrvelConfiguratorDlg.h>
#include <RegistryHooks.h>
#include <TempDir.h>

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;

namespace windowtest {

// A fresh settings store in a temporary folder; the device map lists
// exactly `ports`.
class Stores
{
public:
    explicit Stores(const std::vector<std::string>& ports = {});
    ~Stores() { registry::ResetStores(); }

private:
    testsupport::TempDir m_dir;
};

// HKCU\SOFTWARE\Lunder\Orvel4\<device>: "PortName" (a marker when it is not
// stored text), "BaudRate" or "Enabled" (0xDEADBEEF when not a stored DWORD).
std::string StoredPortName(const char* device);
registry::DWORD StoredNumber(const char* device, const char* name);
void SeedDevice(const char* device, const std::string& portName, registry::DWORD baud, registry::DWORD enabled);

// The window, built and initialised, not shown.
std::unique_ptr<COrvelConfiguratorDlg> MakeWindow();
// Shows the window and waits until it is on the screen.
void Show(COrvelConfiguratorDlg& dlg);

// A shown window on a fresh store whose device map lists `ports`.
class WindowOnPorts : public ::testing::Test
{
protected:
    void Start(const std::vector<std::string>& ports);
    // The window made afresh on the same store, as at the next start.
    void Restart();

    std::unique_ptr<Stores> stores;
    std::unique_ptr<COrvelConfiguratorDlg> dlg;
};

// UTF-8 text (the tests' Cyrillic) as Qt holds it.
inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// The control `id`, as the class it is.
template <typename Control>
Control* Item(const ui::CDialogEx& dlg, int id)
{
    return qobject_cast<Control*>(dlg.GetDlgItem(id));
}
inline bool Enabled(const ui::CDialogEx& dlg, int id) { return dlg.GetDlgItem(id)->isEnabled(); }
inline QString PaneText(const ui::CDialogEx& dlg, int id) { return Item<ui::CLogPane>(dlg, id)->toPlainText(); }
QString Text(const ui::CDialogEx& dlg, int id);  // Latin-1 view of the control's Windows-1251 text
QStringList Items(const ui::CDialogEx& dlg, int comboId);

// Another program can open the port: the window has let go of it.
bool PortIsFree(const std::string& path);

// Runs the window's events until `condition` holds (true) or a generous
// ceiling passes (false).
bool ProcessUntil(const std::function<bool()>& condition);

// The operator's actions: picking an item with the keyboard (which notifies
// the window as a choice does), clicking, typing.
void PickItem(ui::CDialogEx& dlg, int comboId, const QString& text);
void Click(ui::CDialogEx& dlg, int id);
void Type(ui::CDialogEx& dlg, int id, const QString& text);
// Opens a pane's context menu as a right click does.
void OpenPaneMenu(ui::CDialogEx& dlg, int paneId, QMenu*& menu);
// Chooses the item `caption` of a pane's context menu.
void ChooseInPaneMenu(ui::CDialogEx& dlg, int paneId, const char* caption);

// The kinds of the events a pane has noted, in order.
std::vector<ui::CPaneModel::Event::Kind> EventKinds(const ui::CLogPane& pane);
inline bool Starts(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// Answers modal windows as they come up: `answer` is shown each and says
// when it has done its part. It gives up after half a minute, so that it
// never answers for a later test.
void WhenModal(std::function<bool(QWidget*)> answer);
// The next file dialog gets `path` typed in and accepted, replacing a file
// that is there without asking; an empty path cancels it. `proposed`, when
// given, gets the folder and name it proposed. Returns what tells that the
// dialog has been answered.
std::shared_ptr<bool> AnswerNextFileDialog(const std::string& path, QStringList* proposed = nullptr);

} // namespace windowtest
