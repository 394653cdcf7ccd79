#include "WindowWinTest.h"

#include <Cp1251.h>
#include <WinePort.h>

#include <commctrl.h>
#include <dlgs.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace wintest {

const COLORREF kDark = static_cast<COLORREF>(::GetSysColor(COLOR_BTNFACE));

std::wstring Wide(const std::string& utf8)
{
    const std::u16string text = text::Utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string Utf8(const std::wstring& wide)
{
    return text::Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::string Cp1251(const std::string& utf8)
{
    return text::Utf8ToCp1251(utf8);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

std::wstring TempFile(const std::string& name)
{
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    return folder + Wide(name);
}

bool RunOne()
{
    MSG message;
    if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (!ui::CDialogEx::PreTranslateMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

void Pump()
{
    while (RunOne()) {
    }
}

bool RunUntil(const std::function<bool()>& condition)
{
    const auto ceiling = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > ceiling)
            return false;
        if (!RunOne())
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

void RunFor(std::chrono::milliseconds time)
{
    const auto end = std::chrono::steady_clock::now() + time;
    RunUntil([&] { return std::chrono::steady_clock::now() >= end; });
}

namespace {

bool Exists(const std::string& path)
{
    return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Asks the far end's keeper for something by a file, and waits until it has
// done it and taken the file away.
void Ask(const std::string& file)
{
    std::ofstream(file) << "";
    ASSERT_TRUE(RunUntil([&] { return !Exists(file); })) << file;
}

} // namespace

Device Device::FromEnvironment()
{
    const auto [com, folder] = testsupport::WinePort("ORVEL_WINE_DEVICE");
    return {com, folder};
}

void Device::Send(const std::string& bytes) const
{
    std::ofstream(File("feed"), std::ios::binary | std::ios::app) << bytes;
}

std::string Device::Received() const
{
    std::ifstream file(File("sent"), std::ios::binary);
    file.seekg(static_cast<std::streamoff>(since));
    return std::string(std::istreambuf_iterator<char>(file), {});
}

int Device::Users() const
{
    int users = -1;
    std::ifstream(File("users")) >> users;
    return users;
}

void Device::Hold(bool hold) const
{
    if (hold)
        std::ofstream(File("hold")) << "";
    else
        std::remove(File("hold").c_str());
}

Cable Cable::FromEnvironment()
{
    const auto [com, pull] = testsupport::WinePort("ORVEL_WINE_PULL");
    return {com, pull, testsupport::WinePort("ORVEL_WINE_PLUG").second};
}

void Cable::Pull() const
{
    Ask(pull);
}

void Cable::Plug() const
{
    Ask(plug);
}

COLORREF LampBack(HWND dialog, int id)
{
    const HDC dc = ::CreateCompatibleDC(nullptr);
    ::SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
    const COLORREF back = ::GetBkColor(dc);
    ::DeleteDC(dc);
    return back;
}

MfcExtControl::CColorStatic& Lamp(HWND dialog, int id)
{
    return *MfcExtControl::CColorStatic::FromHandle(::GetDlgItem(dialog, id));
}

std::wstring TooltipText(HWND owner, HWND tool)
{
    struct Search
    {
        HWND owner, tool;
        std::wstring text;
    } search{owner, tool, {}};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            wchar_t name[32] = {};
            ::GetClassNameW(window, name, 32);
            if (::lstrcmpiW(name, TOOLTIPS_CLASSW) != 0)
                return TRUE;
            std::wstring text(1024, L'\0');
            TTTOOLINFOW tool{};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.hwnd = s.owner;
            tool.uId = reinterpret_cast<UINT_PTR>(s.tool);
            tool.lpszText = text.data();
            if (!::SendMessageW(window, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)))
                return TRUE;  // not this tooltip's tool
            tool.lpszText = text.data();
            ::SendMessageW(window, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
            s.text = text.c_str();
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.text;
}

void Click(HWND dialog, int id)
{
    ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void Pick(HWND dialog, int id, const std::string& utf8)
{
    const HWND combo = ::GetDlgItem(dialog, id);
    const LRESULT index = ::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(Wide(utf8).c_str()));
    ASSERT_NE(index, ui::CB_ERR) << utf8;
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, ui::CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

bool Enabled(HWND dialog, int id)
{
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

void Press(HWND window, WPARAM key, bool ctrl, bool shift)
{
    BYTE state[256];
    ::GetKeyboardState(state);
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    state[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(state);
    ::PostMessageW(window, WM_KEYDOWN, key, 1);
    ::PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    Pump();
    state[VK_CONTROL] = state[VK_SHIFT] = 0;
    ::SetKeyboardState(state);
}

void PressKey(WPARAM key)
{
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
    ::PostMessageW(::GetFocus(), WM_KEYUP, key, 0xC0000001);
}

std::string PaneLine(const ui::CPaneModel& pane, std::size_t line)
{
    return pane.Bytes(pane.Text().LineStart(line), pane.Text().LineEnd(line));
}

namespace {

// The menu being looked for, and what was found of it, for the timer that
// runs inside the menu's own loop.
struct MenuQuest
{
    std::wstring caption;
    bool choose = false;
    MenuItem item;
} g_quest;

void CALLBACK LookInMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    const HWND popup = ::FindWindowW(L"#32768", nullptr);
    const auto menu = popup ? reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0)) : nullptr;
    if (!menu)
        return;  // not up yet
    ::KillTimer(nullptr, timer);
    int moves = 0;  // Down presses from no selection to the item
    for (int i = 0; i < ::GetMenuItemCount(menu) && !g_quest.item.found; ++i) {
        const UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state & MF_SEPARATOR)
            continue;
        ++moves;
        wchar_t text[128] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        const std::wstring caption(text, std::wcscspn(text, L"\t"));
        if (caption == g_quest.caption)
            g_quest.item = {true, !(state & (MF_GRAYED | MF_DISABLED)), (state & MF_CHECKED) != 0};
    }
    const bool choose = g_quest.choose && g_quest.item.enabled;
    for (int i = 0; choose && i < moves; ++i)
        ::PostMessageW(popup, WM_KEYDOWN, VK_DOWN, 1);
    ::PostMessageW(popup, WM_KEYDOWN, choose ? VK_RETURN : VK_ESCAPE, 1);
}

} // namespace

MenuItem InPaneMenu(HWND pane, const char* caption, bool choose)
{
    g_quest = {Wide(caption), choose, {}};
    ::SetTimer(nullptr, 0, 20, LookInMenu);
    RECT client;
    ::GetClientRect(pane, &client);
    POINT at{client.right / 2, client.bottom / 2};
    ::ClientToScreen(pane, &at);
    // Runs the menu's loop until the item is chosen or the menu dismissed.
    ::SendMessageW(pane, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(pane), MAKELPARAM(at.x, at.y));
    return g_quest.item;
}

std::set<DWORD> Processes(const wchar_t* program)
{
    std::set<DWORD> found;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
        if (::lstrcmpiW(entry.szExeFile, program) == 0)
            found.insert(entry.th32ProcessID);
    ::CloseHandle(snapshot);
    return found;
}

void WithoutOutput(const std::function<void()>& what)
{
    const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE kept[3];
    const HANDLE nul = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    for (int i = 0; i < 3; ++i) {
        kept[i] = ::GetStdHandle(kinds[i]);
        ::SetStdHandle(kinds[i], nul);
    }
    what();
    for (int i = 0; i < 3; ++i)
        ::SetStdHandle(kinds[i], kept[i]);
    ::CloseHandle(nul);
}

namespace {

std::wstring g_answer;

void CALLBACK AnswerFileDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    const HWND dialog = ::FindWindowW(L"#32770", nullptr);
    if (!dialog || ::GetDlgItem(dialog, kSendFile))
        return;  // not up yet (or the main window itself)
    ::KillTimer(nullptr, timer);
    for (const int nameField : {cmb13, edt1})
        if (const HWND field = ::GetDlgItem(dialog, nameField))
            ::SetWindowTextW(field, g_answer.c_str());
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

} // namespace

void AnswerNextFileDialog(const std::wstring& path)
{
    g_answer = path;
    ::SetTimer(nullptr, 0, 50, AnswerFileDialog);
}

CRecordsOfTheirOwn::CRecordsOfTheirOwn()
{
    m_folder = TempFile("orvel-records-" + std::to_string(::GetCurrentProcessId()));
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);  // a killed run's, whose process had the same number
    std::filesystem::create_directories(m_folder);
    _wputenv_s(L"LOCALAPPDATA", m_folder.wstring().c_str());
}

CRecordsOfTheirOwn::~CRecordsOfTheirOwn()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

void MainWindow::SetUp()
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Lunder\\Orvel4");
    ASSERT_FALSE(m_device.com.empty()) << "run under scripts/wine-ports";
    m_device.Hold(false);
    m_device.BeginTest();
    BeforeWindow();
    m_dialog = std::make_unique<COrvelConfiguratorDlg>();
    ASSERT_TRUE(m_dialog->Create());
    m_window = m_dialog->GetSafeHwnd();
    m_pane = ui::LogPaneOf(::GetDlgItem(m_window, kLog));
    ASSERT_NE(m_pane, nullptr);
}

void MainWindow::TearDown()
{
    m_device.Hold(false);
    m_dialog.reset();
    Pump();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Lunder\\Orvel4");
}

void MainWindow::OpenDevice(const std::string& com, const std::string& baud)
{
    if (::IsDlgButtonChecked(m_window, kEnable) != ui::BST_CHECKED)
        Click(m_window, kEnable);
    Pick(m_window, kPort, com.empty() ? m_device.com : com);
    Pick(m_window, kBaud, baud);
    Click(m_window, kOpen);
    ASSERT_EQ(LampBack(m_window, kPortLamp), kGreen);
    ASSERT_TRUE(Enabled(m_window, kClose));
}

} // namespace wintest
