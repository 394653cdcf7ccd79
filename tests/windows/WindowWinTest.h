#pragma once

// What the Win32 window's tests under Wine share: the window run as its
// modal loop runs it, the devices of scripts/wine-ports, the operator's
// keys, clicks and menu choices as window messages, and what the lamps and
// tooltips show.

#include <LogPane.h>
#include <OrvelConfiguratorDlg.h>

#include <ColorStatic.h>
#include <TempDir.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace wintest {

using testsupport::FileBytes;

using MfcExtControl::COLORREF;
using MfcExtControl::RGB;

constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
extern const COLORREF kDark;

// Channel 0's controls.
enum : int {
    kEnable = 1000, kPort = 1001, kBaud = 1002, kOpen = 1003, kClose = 1004, kEdit = 1006,
    kSend = 1008, kSendFile = 1009, kClear = 1010, kLog = 1011,
    kPortLamp = 1012, kRxLamp = 1013, kRxErrLamp = 1014, kTxLamp = 1015, kTxErrLamp = 1016,
};

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::string Cp1251(const std::string& utf8);
std::wstring WindowText(HWND window);
// `name` in the temporary folder.
std::wstring TempFile(const std::string& name);

// Runs one queued message, as the program's modal loop runs it.
bool RunOne();
void Pump();
// Runs the window until `condition` holds, looking after every message, so
// that a state one message makes and a later one ends is seen. The ceiling
// only keeps a broken test from hanging.
bool RunUntil(const std::function<bool()>& condition);
// Runs the window for a while, for what must not happen meanwhile.
void RunFor(std::chrono::milliseconds time);

// The device at the far end of COM6, played through files.
struct Device
{
    std::string com;
    std::string folder;  // Z:/...
    std::size_t since = 0;  // what it received before this test

    static Device FromEnvironment();
    std::string File(const char* name) const { return folder + "/" + name; }
    void Send(const std::string& bytes) const;
    // What it received since the test began.
    std::string Received() const;
    void BeginTest() { since += Received().size(); }
    // Descriptors of the port's pseudo-terminal open anywhere.
    int Users() const;
    // While held, the device takes nothing.
    void Hold(bool hold) const;
};

// COM9, whose cable the tests pull and plug in again: the device goes away,
// and comes back under the same name.
struct Cable
{
    std::string com;
    std::string pull, plug;  // Z:/... files

    static Cable FromEnvironment();
    void Pull() const;
    // Plugged in, and ready to be opened.
    void Plug() const;
};

// The lamp's colours as its parent's WM_CTLCOLORSTATIC paints it.
COLORREF LampBack(HWND dialog, int id);
MfcExtControl::CColorStatic& Lamp(HWND dialog, int id);
// The tip the tooltip control of `tool` (its notifications to `owner`) shows.
std::wstring TooltipText(HWND owner, HWND tool);

void Click(HWND dialog, int id);
// Picks the item of that text as the operator does, with its notification.
void Pick(HWND dialog, int id, const std::string& utf8);
bool Enabled(HWND dialog, int id);
// A key pressed at `window` through the queue, with Ctrl and Shift as given.
void Press(HWND window, WPARAM key, bool ctrl = false, bool shift = false);
// A key pressed and let go at the focused control, through the queue, left
// for the loop that runs then.
void PressKey(WPARAM key);

std::string PaneLine(const ui::CPaneModel& pane, std::size_t line);

// An item of a pane's context menu as it was offered; with `choose`, chosen
// (when it is enabled) as the operator chooses it with the keyboard.
struct MenuItem
{
    bool found = false, enabled = false, checked = false;
};
MenuItem InPaneMenu(HWND pane, const char* caption, bool choose);

// The Windows processes of that program's name now running.
std::set<DWORD> Processes(const wchar_t* program);
// Runs `what` with the standard handles on NUL: a program it starts keeps
// nothing of the test's output open.
void WithoutOutput(const std::function<void()>& what);

// Answers the next file dialog of the thread with `path`, as the operator
// would type it and press OK.
void AnswerNextFileDialog(const std::wstring& path);

// The window's watch records go to a folder of the test's own, made before
// the window and removed after it.
class CRecordsOfTheirOwn
{
public:
    CRecordsOfTheirOwn();
    ~CRecordsOfTheirOwn();
    // %LOCALAPPDATA%\OrvelConfigurator\records
    std::filesystem::path RecordsFolder() const { return m_folder / "OrvelConfigurator" / "records"; }

private:
    std::filesystem::path m_folder;
};

// The program's window on the dialog of the linked resources, its settings
// fresh on the real registry.
class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Before the window is made (settings the window starts with).
    virtual void BeforeWindow() {}

    // Enable channel 0 and open it on `com` (COM6 by default).
    void OpenDevice(const std::string& com = {}, const std::string& baud = "9600");

    Device m_device = Device::FromEnvironment();
    CRecordsOfTheirOwn m_records;
    std::unique_ptr<COrvelConfiguratorDlg> m_dialog;
    HWND m_window = nullptr;
    ui::CLogPane* m_pane = nullptr;
};

} // namespace wintest
