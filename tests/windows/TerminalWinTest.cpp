// What operators expect of any serial terminal, on the Win32 window under
// Wine: lamps that say why, a device that comes back, what was sent shown,
// the command history, the records, and find in a pane.

#include "WindowWinTest.h"

#include <ColorStatic.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace wintest;
using wintest::COLORREF;
using Mark = ui::CPaneModel::LineMark;
using EventKind = ui::CPaneModel::Event::Kind;

bool Starts(const std::string& text, const std::string& start)
{
    return text.rfind(start, 0) == 0;
}

std::vector<EventKind> Events(const ui::CLogPane& pane)
{
    std::vector<EventKind> kinds;
    for (const auto& event : pane.Model().Events())
        kinds.push_back(event.kind);
    return kinds;
}

std::string PaneText(const ui::CLogPane& pane)
{
    return pane.Model().Bytes(0, pane.Model().Text().Size());
}

// The channel remembers a port that is not there any more.
class RememberedPortGone : public MainWindow
{
protected:
    void BeforeWindow() override
    {
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Lunder\\Orvel4\\SnsPort", 0, nullptr, 0, KEY_SET_VALUE,
                          nullptr, &key, nullptr);
        ::RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"COM20"), sizeof L"COM20");
        ::RegCloseKey(key);
    }
};

} // namespace

// The port lamp says its last event and why, from Windows' own error, and,
// open, the port and rate in effect; its tooltip shows it, line for line.
TEST_F(RememberedPortGone, ThePortLampSaysWhyAnOpenFailedAndWhatIsInEffect)
{
    Click(m_window, kEnable);
    Pick(m_window, kPort, "COM20");
    Click(m_window, kOpen);
    const auto tip = [&] { return Lamp(m_window, kPortLamp).Tip(); };
    EXPECT_TRUE(Starts(tip(), "Не удалось открыть: нет такого устройства")) << tip();

    OpenDevice(m_device.com, "4800");
    EXPECT_NE(tip().find("\nПорт: " + m_device.com + ", 4800 бод"), std::string::npos) << tip();
    EXPECT_EQ(Utf8(TooltipText(m_window, ::GetDlgItem(m_window, kPortLamp))), tip());
    Click(m_window, kClose);
    EXPECT_TRUE(Starts(tip(), "Закрыт ")) << tip();
    EXPECT_EQ(Events(*m_pane), (std::vector<EventKind>{EventKind::Opened, EventKind::Closed}));
}

// A device that goes away keeps its channel open, waiting: the port lamp red
// and steady, Close available, Send greyed. The same device back under its
// COM name is opened again by itself, and what it sends then is shown.
// Close ends the waiting: a device back after it is left alone.
TEST_F(MainWindow, APulledDeviceIsWaitedForAndOpenedAgainWhenItComesBack)
{
    const Cable cable = Cable::FromEnvironment();
    ASSERT_FALSE(cable.com.empty()) << "run under scripts/wine-ports";
    ASSERT_NO_FATAL_FAILURE(cable.Plug());
    MfcExtControl::CColorStatic& lamp = Lamp(m_window, kPortLamp);
    const auto tip = [&] { return lamp.Tip(); };
    ASSERT_NO_FATAL_FAILURE(OpenDevice(cable.com)) << tip();
    const auto echo = [&](const char* text) {  // COM9's far end sends back what it gets
        ::SetDlgItemTextW(m_window, kEdit, Wide(text).c_str());
        Click(m_window, kSend);
        return RunUntil([&] { return PaneText(*m_pane).find(std::string(text) + "\n") != std::string::npos; });
    };
    ASSERT_TRUE(echo("before"));

    ASSERT_NO_FATAL_FAILURE(cable.Pull());
    ASSERT_TRUE(RunUntil([&] { return Starts(tip(), "Связь потеряна"); })) << tip();
    EXPECT_TRUE(lamp.IsLit());
    EXPECT_EQ(LampBack(m_window, kPortLamp), kRed);
    EXPECT_EQ(lamp.PulseTimer(), 0u) << "steady, not a pulse";
    EXPECT_TRUE(Enabled(m_window, kClose));
    EXPECT_FALSE(Enabled(m_window, kSend));
    EXPECT_EQ(Events(*m_pane), (std::vector<EventKind>{EventKind::Opened, EventKind::Lost}));

    ASSERT_NO_FATAL_FAILURE(cable.Plug());
    ASSERT_TRUE(RunUntil([&] { return Starts(tip(), "Связь восстановлена"); })) << tip();
    EXPECT_EQ(LampBack(m_window, kPortLamp), kGreen);
    EXPECT_NE(tip().find("Порт: " + cable.com + ", 9600 бод"), std::string::npos) << tip();
    ASSERT_TRUE(RunUntil([&] { return Enabled(m_window, kSend); }));
    ASSERT_TRUE(echo("after"));
    EXPECT_EQ(Events(*m_pane), (std::vector<EventKind>{EventKind::Opened, EventKind::Lost, EventKind::Back}));

    ASSERT_NO_FATAL_FAILURE(cable.Pull());
    ASSERT_TRUE(RunUntil([&] { return Starts(tip(), "Связь потеряна"); })) << tip();
    Click(m_window, kClose);
    EXPECT_EQ(LampBack(m_window, kPortLamp), kDark);
    EXPECT_TRUE(Enabled(m_window, kOpen));
    ASSERT_NO_FATAL_FAILURE(cable.Plug());
    RunFor(std::chrono::milliseconds(1500));  // three looks of a watch, were one left
    EXPECT_EQ(LampBack(m_window, kPortLamp), kDark);
    EXPECT_EQ(Events(*m_pane).back(), EventKind::Closed);
}

// Shown, each command sent is a note of the pane's own, marked apart: not
// received text, not counted, not in the record, which holds the bytes
// received whole. Up and Down walk the channel's commands, most recent
// first, keeping what was typed, also in a window made afresh.
TEST_F(MainWindow, SentCommandsAreShownApartKeptOutOfTheRecordAndWalkedWithUpAndDown)
{
    OpenDevice();
    const HWND pane = m_pane->GetSafeHwnd();
    EXPECT_FALSE(InPaneMenu(pane, "Показывать переданное", false).checked);
    ASSERT_TRUE(InPaneMenu(pane, "Показывать переданное", true).enabled);
    EXPECT_TRUE(InPaneMenu(pane, "Показывать переданное", false).checked);
    EXPECT_TRUE(InPaneMenu(pane, "Найти скорость", false).enabled) << "the port is open";

    const std::string sentence = "$GPHDT,251.2,T*31\r\n";
    m_device.Send(sentence + "$GPH");
    ASSERT_TRUE(RunUntil([&] { return PaneText(*m_pane) == "$GPHDT,251.2,T*31\n$GPH"; }));
    std::string sent;
    for (const char* command : {"$PSRF,1*00", "b", "b", "c"}) {
        ::SetDlgItemTextW(m_window, kEdit, Wide(command).c_str());
        Click(m_window, kSend);
        sent += std::string(command) + "\r\n";
        ASSERT_TRUE(RunUntil([&] { return Enabled(m_window, kSend) && m_device.Received() == sent; })) << command;
    }
    m_device.Send(sentence.substr(4));
    ASSERT_TRUE(RunUntil([&] { return m_pane->Model().Sentences().seen == 2; }));
    EXPECT_EQ(PaneText(*m_pane), "$GPHDT,251.2,T*31\n$PSRF,1*00\nb\nb\nc\n$GPHDT,251.2,T*31\n");
    const Mark marks[] = {Mark::Valid, Mark::Sent, Mark::Sent, Mark::Sent, Mark::Sent, Mark::Valid};
    for (std::size_t line = 0; line < std::size(marks); ++line)
        EXPECT_EQ(m_pane->Model().MarkOf(line), marks[line]) << "line " << line;
    EXPECT_EQ(m_pane->Model().Sentences().broken, 0u) << "a note is no sentence received";
    // The pane's tooltip: the counts, and below them the window's note.
    m_pane->SetNote("Запись остановлена: диск заполнен");
    EXPECT_EQ(Utf8(TooltipText(pane, pane)), m_pane->Model().SentencesText() + "\nЗапись остановлена: диск заполнен");

    // The record: <device>-<stamp>.log with the bytes as received, and .times.
    Click(m_window, kClose);
    EXPECT_FALSE(InPaneMenu(pane, "Найти скорость", false).enabled) << "the port is closed";
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(m_records.RecordsFolder()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(Starts(files[0], "SnsPort-") && files[0].size() > 12) << files[0];
    EXPECT_EQ(files[0].substr(files[0].size() - 4), ".log");
    EXPECT_EQ(files[1], files[0].substr(0, files[0].size() - 4) + ".times");
    EXPECT_EQ(FileBytes(m_records.RecordsFolder() / files[0]), sentence + sentence);

    // "Открыть папку записей": Windows' file manager (Wine's) on the folder.
    const std::set<DWORD> before = Processes(L"explorer.exe");
    WithoutOutput([&] { EXPECT_TRUE(InPaneMenu(pane, "Открыть папку записей", true).enabled); });
    std::set<DWORD> started;
    EXPECT_TRUE(RunUntil([&] {
        started.clear();
        for (const DWORD process : Processes(L"explorer.exe"))
            if (!before.count(process))
                started.insert(process);
        return !started.empty();
    }));
    for (const DWORD process : started) {
        const HANDLE handle = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process);
        ::TerminateProcess(handle, 0);
        ::WaitForSingleObject(handle, INFINITE);
        ::CloseHandle(handle);
    }

    const struct { WPARAM key; const char* shown; } kWalk[] = {
        {VK_UP, "c"}, {VK_UP, "b"}, {VK_UP, "$PSRF,1*00"}, {VK_UP, "$PSRF,1*00"},
        {VK_DOWN, "b"}, {VK_DOWN, "c"}, {VK_DOWN, "typed"}, {VK_DOWN, "typed"},
    };
    ::SetDlgItemTextW(m_window, kEdit, L"typed");
    const HWND edit = ::GetDlgItem(m_window, kEdit);
    for (const auto& step : kWalk) {
        Press(edit, step.key);
        EXPECT_EQ(Utf8(WindowText(edit)), step.shown);
    }

    m_dialog.reset();
    m_dialog = std::make_unique<COrvelConfiguratorDlg>();
    ASSERT_TRUE(m_dialog->Create());
    Press(::GetDlgItem(m_dialog->GetSafeHwnd(), kEdit), VK_UP);
    EXPECT_EQ(Utf8(WindowText(::GetDlgItem(m_dialog->GetSafeHwnd(), kEdit))), "c");
}

// Ctrl+F opens the find bar under the pane, a selection within a line its
// text; F3 and Enter find the next match, with Shift the previous, from the
// selection, round the ends, letter case as asked; the match is selected.
// Escape closes the bar and leaves the window be.
TEST_F(MainWindow, TheFindBarFindsBothWaysWithAndWithoutCase)
{
    const std::string received = "ab cd\r\nxx AB\r\n";
    m_pane->AppendReceived(received.data(), received.size());
    const HWND pane = m_pane->GetSafeHwnd();
    RECT shut;
    ::GetWindowRect(pane, &shut);
    m_pane->SetSelection(3, 5);
    ::SetFocus(pane);
    Press(pane, 'F', true);
    const ui::CFindBar& bar = m_pane->FindBar();
    ASSERT_TRUE(bar.IsOpen());
    const HWND needle = ::GetFocus();
    EXPECT_EQ(::GetParent(needle), bar.Handle());
    EXPECT_EQ(Utf8(WindowText(needle)), "cd");
    RECT open, placed;
    ::GetWindowRect(pane, &open);
    ::GetWindowRect(bar.Handle(), &placed);
    EXPECT_LT(open.bottom, shut.bottom);
    EXPECT_EQ(placed.top, open.bottom);
    EXPECT_EQ(placed.bottom, shut.bottom);

    ::SetWindowTextW(needle, L"ab");
    const auto caseBox = ::FindWindowExW(bar.Handle(), nullptr, L"Button", Wide("Регистр").c_str());
    const struct {
        const char* what;
        std::function<void()> act;
        std::size_t anchor, caret;
        const char* status;
    } kSteps[] = {
        {"F3", [&] { Press(needle, VK_F3); }, 9, 11, ""},
        {"F3 round the end", [&] { Press(needle, VK_F3); }, 0, 2, "Найдено, с другого конца"},
        {"Enter", [&] { Press(needle, VK_RETURN); }, 9, 11, ""},
        {"Shift+Enter", [&] { Press(needle, VK_RETURN, false, true); }, 0, 2, ""},
        {"Shift+F3 round the start", [&] { Press(needle, VK_F3, false, true); }, 9, 11, "Найдено, с другого конца"},
        {"case: F3", [&] { ::SendMessageW(caseBox, BM_CLICK, 0, 0); Press(needle, VK_F3); }, 0, 2, "Найдено, с другого конца"},
        {"case: ▲ on the only one", [&] { ::SendMessageW(::FindWindowExW(bar.Handle(), nullptr, L"Button", Wide("▲").c_str()), BM_CLICK, 0, 0); }, 0, 2,
         "Найдено, с другого конца"},
        {"F3 in the pane", [&] { ::SetFocus(pane); Press(pane, VK_F3); }, 0, 2, "Найдено, с другого конца"},
        {"nothing", [&] { ::SetWindowTextW(needle, L"zz"); Press(needle, VK_RETURN); }, 0, 2, "Не найдено"},
    };
    for (const auto& step : kSteps) {
        step.act();
        ASSERT_TRUE(RunUntil([&] { return bar.Status() != "Поиск…"; })) << step.what;
        EXPECT_EQ(m_pane->Model().Anchor(), step.anchor) << step.what;
        EXPECT_EQ(m_pane->Model().Caret(), step.caret) << step.what;
        EXPECT_EQ(bar.Status(), step.status) << step.what;
    }

    // Escape, from any of the bar's controls, is the bar's.
    for (const HWND focus : {needle, caseBox}) {
        ASSERT_TRUE(InPaneMenu(pane, "Найти…", true).enabled);
        ASSERT_TRUE(bar.IsOpen());
        ::SetFocus(focus);
        Press(focus, VK_ESCAPE);
        EXPECT_FALSE(bar.IsOpen());
        EXPECT_TRUE(::IsWindow(m_window)) << "Escape in the bar never ends the window";
        EXPECT_EQ(::GetFocus(), pane);
        RECT back;
        ::GetWindowRect(pane, &back);
        EXPECT_TRUE(::EqualRect(&back, &shut)) << "the pane gets its rows back";
    }
}
