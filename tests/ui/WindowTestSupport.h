#pragma once

// Helpers for tests of the main window: a private settings store and device
// map per test, store read-back, and the operator's actions on controls.

#include <ColorStatic.h>
#include <OrvelConfiguratorDlg.h>
#include <Registry.h>
#include <TempDir.h>

#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace windowtest {

// A fresh settings store in a temporary folder; the device map lists
// exactly `ports`.
class Stores
{
public:
    explicit Stores(const std::vector<std::string>& ports = {});
    ~Stores();

private:
    testsupport::TempDir m_dir;
};

// Values of HKCU\SOFTWARE\Lunder\Orvel4\<device>, or markers when missing
// or of the wrong type.
std::string StoredText(const char* device);
registry::DWORD StoredBaud(const char* device);
registry::DWORD StoredEnabled(const char* device);
void SeedDevice(const char* device, const std::string& portName, registry::DWORD baud, registry::DWORD enabled);

// The window, built and initialised, not shown.
std::unique_ptr<COrvelConfiguratorDlg> MakeWindow();

QString Text(const ui::CDialogEx& dlg, int id);  // Latin-1 view of the control's text
QStringList Items(const ui::CDialogEx& dlg, int comboId);
int Selection(const ui::CDialogEx& dlg, int comboId);
bool Enabled(const ui::CDialogEx& dlg, int id);
MfcExtControl::CColorStatic* Lamp(const ui::CDialogEx& dlg, int id);
QString PaneText(const ui::CDialogEx& dlg, int id);

// Runs the window's events until `condition` holds (true) or a generous
// ceiling passes (false).
bool ProcessUntil(const std::function<bool()>& condition,
                  std::chrono::milliseconds ceiling = std::chrono::seconds(60));

// The operator's actions: picking an item with the keyboard (which notifies
// the window as a choice does), clicking, typing.
void PickItem(ui::CDialogEx& dlg, int comboId, int index);
void PickItem(ui::CDialogEx& dlg, int comboId, const QString& text);
void Click(ui::CDialogEx& dlg, int id);
void Type(ui::CDialogEx& dlg, int id, const QString& text);
// The next file dialog gets `path` typed in and Open pressed; an empty path
// cancels it.
void AnswerNextFileDialog(const QString& path);

// A device sending a pattern as fast as its port takes it, from its own
// thread, until stopped; it never blocks on a port that is no longer read.
class Flooder
{
public:
    Flooder(int masterFd, std::string pattern);
    ~Flooder();
    void Stop();
    std::size_t Sent() const { return m_sent; }

private:
    int m_fd;
    std::string m_pattern;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_sent{0};
    std::thread m_thread;
};

} // namespace windowtest
