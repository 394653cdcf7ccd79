// The program's window as Windows shows it, under Wine: the real Win32
// dialog from resource 102 with the window's own logic on it, driven through
// window messages as an operator's keys and clicks drive it. The device is
// COM6 of scripts/wine-ports, played through files (scripts/wine-device).

#include "WindowWinTest.h"

#include <NmeaChecksum.h>
#include <ProgressWindow.h>
#include <SummaryWindow.h>

#include <commctrl.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace wintest;
using wintest::COLORREF;

// A lamp pulses: lit in `colour` now, dark again later by itself.
void ExpectPulse(HWND dialog, int lamp, COLORREF colour)
{
    EXPECT_EQ(LampBack(dialog, lamp), colour) << "lamp " << lamp;
    EXPECT_TRUE(RunUntil([&] { return LampBack(dialog, lamp) == kDark; })) << "lamp " << lamp << " stays lit";
}

// What the device sends is shown whole, its sentences checked; "Rx" pulses.
TEST_F(MainWindow, DeviceOutputIsShownWholeWithSentencesCheckedAndRxPulses)
{
    // The port list is read again as it drops down.
    const HWND ports = ::GetDlgItem(m_window, kPort);
    ::SendMessageW(ports, CB_RESETCONTENT, 0, 0);
    ::SendMessageW(ports, CB_SHOWDROPDOWN, TRUE, 0);
    ::SendMessageW(ports, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_NE(::SendMessageW(ports, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(Wide(m_device.com).c_str())), ui::CB_ERR);

    OpenDevice();
    const std::string gga = commands::WithNmeaChecksum("$GPGGA,120000.00,5545.0000,N,03737.0000,E,1,08,0.9,150.0,M,14.0,M,,");
    std::string broken = commands::WithNmeaChecksum("$GPHDT,123.4,T");
    broken[11] = '5';  // the heading changed on the way, its checksum not
    const std::string half = gga.substr(0, 30);
    const ui::CPaneModel& pane = m_pane->Model();

    m_device.Send(half);
    ASSERT_TRUE(RunUntil([&] { return pane.Text().Size() == half.size(); }));
    // The "Rx" pulse began with the bytes' turn.
    ExpectPulse(m_window, kRxLamp, kGreen);
    m_device.Send(gga.substr(30) + "\r\n" + broken + "\r\n" + Cp1251("Глубина 12 м") + "\r\n");
    ASSERT_TRUE(RunUntil([&] { return pane.Text().LineCount() == 4; }));

    const struct { std::string text; ui::CPaneModel::LineMark mark; } kLines[] = {
        {gga, ui::CPaneModel::LineMark::Valid},   // its two halves joined
        {broken, ui::CPaneModel::LineMark::Broken},
        {Cp1251("Глубина 12 м"), ui::CPaneModel::LineMark::None},
    };
    for (std::size_t line = 0; line < std::size(kLines); ++line) {
        EXPECT_EQ(PaneLine(pane, line), kLines[line].text) << "line " << line;
        EXPECT_EQ(pane.MarkOf(line), kLines[line].mark) << "line " << line;
    }
    EXPECT_EQ(pane.Sentences().seen, 2u);
    EXPECT_EQ(pane.Sentences().broken, 1u);
    EXPECT_TRUE(m_pane->FollowsEnd());
    EXPECT_EQ(LampBack(m_window, kRxErrLamp), kDark);

    // "Очистить" empties the pane and its counts.
    Click(m_window, kClear);
    EXPECT_TRUE(pane.Text().Empty());
    EXPECT_EQ(pane.Sentences().seen, 0u);

    // Close: the port lamp goes dark, the cancelled read pulses "Rx Err".
    Click(m_window, kClose);
    EXPECT_EQ(LampBack(m_window, kPortLamp), kDark);
    EXPECT_TRUE(Enabled(m_window, kOpen));
    EXPECT_FALSE(Enabled(m_window, kSend));
    ASSERT_TRUE(RunUntil([&] { return LampBack(m_window, kRxErrLamp) == kRed; }));
    ExpectPulse(m_window, kRxErrLamp, kRed);
}

// "Передать" sends the edit's text in Windows-1251 with CR LF; "Передать
// Файл" a file whole, in the background, the window usable meanwhile; "Tx"
// pulses for each.
TEST_F(MainWindow, CommandAndFileAreSentWholeInTheBackground)
{
    OpenDevice();
    Click(m_window, kSend);  // an empty edit: abandoned silently, nothing sent
    ::SetDlgItemTextW(m_window, kEdit, Wide("$PORZA,Привет").c_str());
    Click(m_window, kSend);
    const std::string command = Cp1251("$PORZA,Привет") + "\r\n";
    ASSERT_TRUE(RunUntil([&] { return m_device.Received().size() >= command.size(); }));
    EXPECT_EQ(m_device.Received(), command);
    ASSERT_TRUE(RunUntil([&] { return LampBack(m_window, kTxLamp) == kGreen; }));
    ExpectPulse(m_window, kTxLamp, kGreen);

    // A file larger than the line holds while the device takes nothing.
    std::string file(1 << 20, '\0');
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<char>(i * 7 + i / 251);
    const std::wstring path = TempFile("orvel-send-file.bin");
    std::ofstream(path.c_str(), std::ios::binary) << file;
    m_device.Hold(true);
    AnswerNextFileDialog(path);
    Click(m_window, kSendFile);

    // Sending: both send buttons greyed, a progress window titled with the
    // channel, and the window does what the operator asks.
    EXPECT_FALSE(Enabled(m_window, kSend));
    EXPECT_FALSE(Enabled(m_window, kSendFile));
    ASSERT_TRUE(RunUntil([] { return ::FindWindowW(L"OrvelProgressWindow", Wide("СНС").c_str()) != nullptr; }));
    m_pane->AppendReceived("before", 6);
    Click(m_window, kClear);
    EXPECT_TRUE(m_pane->Model().Text().Empty());
    ::SetDlgItemTextW(m_window, kEdit, L"typed while sending");
    wchar_t typed[64];
    ::GetDlgItemTextW(m_window, kEdit, typed, 64);
    EXPECT_EQ(std::wstring(typed), L"typed while sending");
    EXPECT_LT(m_device.Received().size(), command.size() + file.size());

    m_device.Hold(false);
    ASSERT_TRUE(RunUntil([&] { return Enabled(m_window, kSend); }));
    // The send has ended when the port has taken it all; the device's far
    // end writes it to its file a moment later.
    ASSERT_TRUE(RunUntil([&] { return m_device.Received().size() >= command.size() + file.size(); }));
    EXPECT_EQ(m_device.Received(), command + file);
    EXPECT_EQ(::FindWindowW(L"OrvelProgressWindow", nullptr), nullptr);
    ExpectPulse(m_window, kTxLamp, kGreen);
    EXPECT_EQ(LampBack(m_window, kTxErrLamp), kDark);

    // Escape at the progress window cancels a send: "Tx Err" pulses red.
    m_device.Hold(true);
    AnswerNextFileDialog(path);
    Click(m_window, kSendFile);
    HWND progress = nullptr;
    ASSERT_TRUE(RunUntil([&] { return (progress = ::FindWindowW(L"OrvelProgressWindow", nullptr)) != nullptr; }));
    const HWND cancel = ::GetDlgItem(progress, IDCANCEL);
    EXPECT_EQ(WindowText(cancel), Wide("Отмена"));
    EXPECT_NE(WindowText(::GetDlgItem(progress, 100)).find(Wide("из 1 048 576 байт")), std::wstring::npos);
    ::PostMessageW(cancel, WM_KEYDOWN, VK_ESCAPE, 1);
    ASSERT_TRUE(RunUntil([&] { return LampBack(m_window, kTxErrLamp) == kRed; }));
    EXPECT_TRUE(Enabled(m_window, kSend));
    m_device.Hold(false);
    ExpectPulse(m_window, kTxErrLamp, kRed);
    ::DeleteFileW(path.c_str());
}

// The pane's keys, mouse and clipboard, on what the device sent.
TEST_F(MainWindow, PaneKeysSelectAndCopyUnicodeTextAndTakeNotes)
{
    const std::string received = "alpha beta\r\n" + Cp1251("гамма") + "\r\n";
    m_pane->AppendReceived(received.data(), received.size());
    const HWND pane = m_pane->GetSafeHwnd();
    // In the edit's place: its rectangle, right after "Очистить" in the tab order.
    RECT expected{215, 9, 215 + 290, 9 + 130}, placed;
    ::MapDialogRect(m_window, &expected);
    ::GetWindowRect(pane, &placed);
    ::MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(::EqualRect(&expected, &placed));
    EXPECT_EQ(::GetNextDlgTabItem(m_window, ::GetDlgItem(m_window, kClear), FALSE), pane);
    EXPECT_EQ(::GetDlgCtrlID(pane), kLog);
    ::SetFocus(pane);

    struct Key { WPARAM key; bool ctrl, shift; };
    const auto press = [&](std::initializer_list<Key> keys) {
        for (const Key& k : keys) {
            BYTE state[256];
            ::GetKeyboardState(state);
            state[VK_CONTROL] = k.ctrl ? 0x80 : 0;
            state[VK_SHIFT] = k.shift ? 0x80 : 0;
            ::SetKeyboardState(state);
            ::SendMessageW(pane, WM_KEYDOWN, k.key, 0);
        }
        BYTE state[256];
        ::GetKeyboardState(state);
        state[VK_CONTROL] = state[VK_SHIFT] = 0;
        ::SetKeyboardState(state);
    };
    const auto clipboard = [&] {
        std::wstring text;
        if (::OpenClipboard(pane)) {
            if (const HANDLE memory = ::GetClipboardData(CF_UNICODETEXT)) {
                text = static_cast<const wchar_t*>(::GlobalLock(memory));
                ::GlobalUnlock(memory);
            }
            ::CloseClipboard();
        }
        return text;
    };

    const struct {
        const char* what;
        std::initializer_list<Key> keys;
        std::size_t anchor, caret;
        std::wstring copied;  // after Ctrl+C: Unicode, line breaks CR LF
    } kCases[] = {
        {"Ctrl+Home, Shift+End", {{VK_HOME, true, false}, {VK_END, false, true}}, 0, 10, L"alpha beta"},
        {"Ctrl+Right by word, Shift+Ctrl+Right", {{VK_HOME, true, false}, {VK_RIGHT, true, false}, {VK_RIGHT, true, true}}, 6, 10, L"beta"},
        {"Down, Shift+End", {{VK_HOME, true, false}, {VK_DOWN, false, false}, {VK_END, false, true}}, 11, 16, Wide("гамма")},
        {"Shift+Up", {{VK_UP, false, true}}, 11, 5, L" beta\r\n"},
        {"Ctrl+A", {{'A', true, false}}, 0, received.size() - 2, L"alpha beta\r\n" + Wide("гамма") + L"\r\n"},
    };
    for (const auto& c : kCases) {
        ::OpenClipboard(pane);
        ::EmptyClipboard();
        ::CloseClipboard();
        press(c.keys);
        EXPECT_EQ(m_pane->Model().Anchor(), c.anchor) << c.what;
        EXPECT_EQ(m_pane->Model().Caret(), c.caret) << c.what;
        press({{'C', true, false}});
        EXPECT_EQ(clipboard(), c.copied) << c.what;
    }

    // In hex, a copy is the lines' hex as the pane lays them out.
    m_pane->SetHex(true);
    press({{'A', true, false}, {'C', true, false}});
    std::wstring hex;
    for (const char16_t c : ui::CPaneLayout(m_pane->Model(), true).CopyText(0, m_pane->Model().Text().Size()))
        hex += c == u'\n' ? std::wstring(L"\r\n") : std::wstring(1, static_cast<wchar_t>(c));
    EXPECT_EQ(clipboard().substr(0, 15), L"61 6C 70 68 61 ");
    EXPECT_EQ(clipboard(), hex);
    m_pane->SetHex(false);

    // A double click selects the word under the pointer.
    ::SendMessageW(pane, WM_LBUTTONDBLCLK, 0, MAKELPARAM(8, 2));
    EXPECT_EQ(m_pane->Model().SelectionBegin(), 0u);
    EXPECT_EQ(m_pane->Model().SelectionEnd(), 5u);

    // A typed note at the end: characters, Enter; then a paste, CR LF as one break.
    press({{VK_END, true, false}});
    for (const wchar_t c : Wide("Заметка") + L"\r")
        ::SendMessageW(pane, WM_CHAR, c, 0);
    const std::wstring pasted = L"x\r\ny";
    if (::OpenClipboard(pane)) {
        ::EmptyClipboard();
        const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (pasted.size() + 1) * sizeof(wchar_t));
        std::copy(pasted.c_str(), pasted.c_str() + pasted.size() + 1, static_cast<wchar_t*>(::GlobalLock(memory)));
        ::GlobalUnlock(memory);
        ::SetClipboardData(CF_UNICODETEXT, memory);
        ::CloseClipboard();
    }
    press({{'V', true, false}});
    const ui::CPaneModel& model = m_pane->Model();
    EXPECT_EQ(model.Bytes(0, model.Text().Size()), "alpha beta\n" + Cp1251("гамма") + "\n" + Cp1251("Заметка") + "\nx\ny");
    // Backspace takes the last byte; the note's lines get no sentence mark.
    press({{VK_BACK, false, false}});
    EXPECT_EQ(model.Bytes(model.Text().Size() - 3, model.Text().Size()), "\nx\n");
    EXPECT_EQ(model.Sentences().seen, 0u);

    // Ctrl+S saves the pane as a record, in the background, CR LF line ends.
    const std::wstring path = TempFile("запись.log");
    ::DeleteFileW(path.c_str());
    AnswerNextFileDialog(path);
    press({{'S', true, false}});
    const std::string record = "alpha beta\r\n" + Cp1251("гамма") + "\r\n" + Cp1251("Заметка") + "\r\nx\r\n";
    const auto saved = [&] { return FileBytes(path); };
    EXPECT_TRUE(RunUntil([&] { return saved() == record; })) << saved();
    ::DeleteFileW(path.c_str());
}

// The close box ends the window, as Escape does.
TEST_F(MainWindow, TheCloseBoxEndsTheWindow)
{
    ::SendMessageW(m_window, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_FALSE(::IsWindow(m_window));
    EXPECT_TRUE(m_dialog->IsDestroyed());
}

// The summary window: rows as given, sorted by the heading clicked (again:
// the other way, numbers by their keys), red rows, put away by its close box.
TEST(SummaryWindow, SortsByTheHeadingClickedAndKeepsTheOrder)
{
    ui::CSummaryWindow window(nullptr, "Сводка: СНС", {"Предложение", "Принято"}, {false, true});
    window.Show();
    EXPECT_TRUE(window.IsShown());
    const auto row = [](const char* type, const char* count, double key, bool red = false) {
        return ui::CSummaryRow{{{type, 0}, {count, key}}, red};
    };
    window.SetRows({row("GPRMC", "9", 9), row("GPGGA", "10", 10, true), row("GPHDT", "2", 2)});
    const HWND list = ::FindWindowExW(::FindWindowW(L"OrvelSummaryWindow", nullptr), nullptr, WC_LISTVIEWW, nullptr);
    ASSERT_NE(list, nullptr);
    const auto click = [&](int column) {
        NMLISTVIEW header{};
        header.hdr = {list, 0, static_cast<UINT>(LVN_COLUMNCLICK)};
        header.iSubItem = column;
        ::SendMessageW(::GetParent(list), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    };
    const struct { int click; std::vector<std::string> rows; std::vector<bool> red; } kCases[] = {
        {-1, {"GPGGA\t10", "GPHDT\t2", "GPRMC\t9"}, {true, false, false}},   // as opened: by the first column
        {1, {"GPHDT\t2", "GPRMC\t9", "GPGGA\t10"}, {false, false, true}},    // by count, as numbers
        {1, {"GPGGA\t10", "GPRMC\t9", "GPHDT\t2"}, {true, false, false}},    // again: the other way
    };
    for (const auto& c : kCases) {
        if (c.click >= 0)
            click(c.click);
        EXPECT_EQ(window.ShownRows(), c.rows) << c.click;
        EXPECT_EQ(window.RedRows(), c.red) << c.click;
    }
    // Given again, the rows keep the order chosen.
    window.SetRows({row("GPHDT", "3", 3), row("GPGGA", "11", 11, true)});
    EXPECT_EQ(window.ShownRows(), (std::vector<std::string>{"GPGGA\t11", "GPHDT\t3"}));
    ::SendMessageW(::GetParent(list), WM_CLOSE, 0, 0);
    EXPECT_FALSE(window.IsShown());
}

// A progress window that has ended says so until "Закрыть", which only puts
// it away.
TEST(ProgressWindow, FinishedItIsClosedNotCancelled)
{
    int cancels = 0;
    ui::CProgressWindow window(nullptr, "Найти скорость: СНС", [&] { ++cancels; });
    window.Show("4800", 100);
    const HWND shown = ::FindWindowW(L"OrvelProgressWindow", Wide("Найти скорость: СНС").c_str());
    ASSERT_NE(shown, nullptr);
    ::SendMessageW(shown, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(cancels, 1);
    window.Finish("Скорость найдена: 4800");
    EXPECT_EQ(window.Text(), "Скорость найдена: 4800");
    EXPECT_EQ(WindowText(::GetDlgItem(shown, IDCANCEL)), Wide("Закрыть"));
    ::SendMessageW(shown, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(window.IsShown());
}

// Up and Down alone in a single-line edit go to the window first.
TEST(DialogEx, UpAndDownInALineEditGoToTheWindowFirst)
{
    struct CEditKeys : ui::CDialogEx
    {
        CEditKeys() : ui::CDialogEx(ui::MainDialogTemplate()) {}
        bool OnEditKey(int id, ui::EditKey key) override
        {
            seen.emplace_back(id, key);
            return id == kEdit;
        }
        std::vector<std::pair<int, ui::EditKey>> seen;
    } dialog;
    ASSERT_TRUE(dialog.Create());
    const HWND edit = ::GetDlgItem(dialog.GetSafeHwnd(), kEdit);
    const HWND other = ::GetDlgItem(dialog.GetSafeHwnd(), 1026);
    ::SetFocus(edit);
    PressKey(VK_UP);
    ::SetFocus(other);
    PressKey(VK_DOWN);
    ::SetFocus(dialog.GetSafeHwnd());
    PressKey(VK_DOWN);  // not an edit
    Pump();
    const std::vector<std::pair<int, ui::EditKey>> expected{{kEdit, ui::EditKey::Up}, {1026, ui::EditKey::Down}};
    EXPECT_EQ(dialog.seen, expected);
    dialog.DestroyWindow();
}

// Enter in the command edit presses "Передать" and never ends the window;
// Escape ends the modal run, closing the port first.
TEST_F(MainWindow, EnterSendsAndEscapeEndsTheModalRunWithThePortClosed)
{
    // Open, the program holds the port's pseudo-terminal (Wine does not
    // keep a COM port to one open, so that is where its closing shows).
    const int usersClosed = m_device.Users();
    ASSERT_GE(usersClosed, 1);
    OpenDevice();
    ASSERT_TRUE(RunUntil([&] { return m_device.Users() > usersClosed; }));
    ::SetDlgItemTextW(m_window, kEdit, L"PING");
    ::SetFocus(::GetDlgItem(m_window, kEdit));
    // The keys come while the modal loop runs: Enter first; once "PING" has
    // reached the device, Escape.
    static struct { const Device* device; HWND window; bool stillThereAfterEnter; } run;
    run = {&m_device, m_window, false};
    ::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
        ::KillTimer(nullptr, timer);
        PressKey(VK_RETURN);
        ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR timer, DWORD) {
            if (run.device->Received().find("PING\r\n") == std::string::npos)
                return;
            ::KillTimer(nullptr, timer);
            run.stillThereAfterEnter = ::IsWindow(run.window);
            PressKey(VK_ESCAPE);
        });
    });
    m_dialog->DoModal();

    EXPECT_TRUE(run.stillThereAfterEnter);
    EXPECT_FALSE(::IsWindow(m_window));
    // The port was let go: its pseudo-terminal is held as before it opened.
    EXPECT_TRUE(RunUntil([&] { return m_device.Users() == usersClosed; })) << m_device.Users() << " holders";
}

} // namespace
