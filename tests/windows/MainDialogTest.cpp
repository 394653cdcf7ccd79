// The program's resources as Windows uses them, linked into this test from
// res/OrvelConfigurator.rc: the real dialog made from template 102 (with a
// dialog procedure that does nothing) read back control by control through
// the Win32 API against the window's table written out by hand; the version
// information, the manifest's effects and the icon.

#include "WindowWinTest.h"

#include <MainWindowTable.h>
#include <OrvelConfiguratorApp.h>

#include <commctrl.h>

#include <cwctype>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

using wintest::Wide;
using wintest::WindowText;

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = std::towupper(c);
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

DWORD Style(HWND window) { return static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)); }
DWORD ExStyle(HWND window) { return static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE)); }

INT_PTR CALLBACK DoNothing(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct DestroyWindowDeleter
{
    void operator()(HWND window) const { ::DestroyWindow(window); }
};
using Dialog = std::unique_ptr<std::remove_pointer_t<HWND>, DestroyWindowDeleter>;

// Template 102 from this executable's resources, as the program makes it.
Dialog MakeMainDialog()
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    return Dialog(::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(102), nullptr, DoNothing, 0));
}

// A control: class, style, extended style, id, caption, x, y, width, height
// in pixels (a combo box's height is its dropped list's).
using Control = std::tuple<std::wstring, DWORD, DWORD, int, std::wstring, LONG, LONG, LONG, LONG>;

// How much of a combo box's height CB_GETDROPPEDCONTROLRECT leaves out: on
// Windows nothing (it spans the closed box and its list), on Wine the closed
// box (it gives the list's height from the box's top). Measured on a combo
// box of known height, made and given the dialog's font as the dialog
// manager makes its controls.
LONG DroppedRectShortfall(HWND dialog)
{
    const LONG height = 300;
    const HWND probe = ::CreateWindowExW(WS_EX_NOPARENTNOTIFY, L"ComboBox", L"", WS_CHILD | CBS_DROPDOWNLIST | WS_VSCROLL,
                                         0, 0, 100, height, dialog, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(probe, WM_SETFONT, ::SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    RECT box, dropped;
    ::GetWindowRect(probe, &box);
    ::SendMessageW(probe, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    ::DestroyWindow(probe);
    return height - (dropped.bottom - box.top);
}

// The table's row as the dialog manager makes it from the template: every
// control without parent notifications; an edit's border drawn as a sunken
// client edge; the rectangle in the dialog's own units mapped to pixels.
Control AsMade(HWND dialog, const windowtable::Control& c, LONG droppedShortfall)
{
    DWORD style = c.style;
    DWORD exStyle = c.exStyle | WS_EX_NOPARENTNOTIFY;
    if (Upper(Wide(c.windowClass)) == L"EDIT" && (style & WS_BORDER)) {
        style &= ~WS_BORDER;
        exStyle |= WS_EX_CLIENTEDGE;
    }
    RECT r{c.x, c.y, c.cx, c.cy};  // each mapped on its own, as the controls are placed
    ::MapDialogRect(dialog, &r);
    if (Upper(Wide(c.windowClass)) == L"COMBOBOX")
        r.bottom -= droppedShortfall;
    return {Upper(Wide(c.windowClass)), style, exStyle, c.id, Wide(c.caption), r.left, r.top, r.right, r.bottom};
}

// A combo box hands its vertical scroll bar to its drop-down list, which
// shows it once it holds more than it can show.
bool ListScrolls(HWND combo)
{
    for (int i = 0; i < 60; ++i)
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"item"));
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    const bool scrolls = ::GetComboBoxInfo(combo, &info) && (Style(info.hwndList) & WS_VSCROLL);
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    return scrolls;
}

Control ReadBack(HWND dialog, HWND control)
{
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    const std::wstring windowClass = Upper(ClassName(control));
    DWORD style = Style(control);
    LONG height = r.bottom - r.top;
    if (windowClass == L"COMBOBOX") {
        RECT dropped;
        ::SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
        ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&dropped), 2);
        height = dropped.bottom - r.top;
        if (ListScrolls(control))
            style |= WS_VSCROLL;
    }
    return {windowClass, style, ExStyle(control), ::GetDlgCtrlID(control), WindowText(control),
            r.left, r.top, r.right - r.left, height};
}

} // namespace

// Every control of the table, in creation order, with its class, styles,
// id, caption as Unicode, and place; and the tab order that follows.
TEST(MainDialog, ControlsAreTheWindowsTableInCreationOrder)
{
    const Dialog dialog = MakeMainDialog();
    ASSERT_TRUE(dialog) << "CreateDialogParamW: error " << ::GetLastError();
    std::vector<HWND> children;
    for (HWND w = ::GetWindow(dialog.get(), GW_CHILD); w && children.size() < 100; w = ::GetWindow(w, GW_HWNDNEXT))
        children.push_back(w);
    ASSERT_EQ(children.size(), std::size(windowtable::kControls));
    const LONG droppedShortfall = DroppedRectShortfall(dialog.get());
    for (std::size_t i = 0; i < children.size(); ++i)
        EXPECT_EQ(ReadBack(dialog.get(), children[i]),
                  AsMade(dialog.get(), windowtable::kControls[i], droppedShortfall))
            << "control #" << i;

    // Tab goes through the tab stops in that order and comes round again.
    std::vector<int> expected, tabbed;
    for (const windowtable::Control& c : windowtable::kControls)
        if (c.style & windowtable::kTabStop)
            expected.push_back(c.id);
    const HWND first = ::GetNextDlgTabItem(dialog.get(), nullptr, FALSE);
    HWND w = first;
    do {
        tabbed.push_back(::GetDlgCtrlID(w));
        w = ::GetNextDlgTabItem(dialog.get(), w, FALSE);
    } while (w && w != first && tabbed.size() < 100);
    EXPECT_EQ(tabbed, expected);
}

// The window: its styles (besides what the system adds to any top-level
// dialog), caption, font and size. The null display is 1024x768, smaller
// than the window: there the system caps its height at the largest a window
// may have, and only then may the client area be less than the template's.
TEST(MainDialog, WindowHasTheTemplatesStylesCaptionFontAndSize)
{
    const Dialog dialog = MakeMainDialog();
    ASSERT_TRUE(dialog);
    const windowtable::Window& t = windowtable::kWindow;
    EXPECT_EQ(Style(dialog.get()) & ~(WS_CLIPSIBLINGS | DS_3DLOOK), t.style);
    EXPECT_EQ(ExStyle(dialog.get()) & ~(WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT), t.exStyle);
    EXPECT_EQ(WindowText(dialog.get()), Wide(t.caption));
    EXPECT_EQ(::GetMenu(dialog.get()), nullptr);

    LOGFONTW font{};
    ASSERT_TRUE(::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog.get(), WM_GETFONT, 0, 0)),
                             sizeof font, &font));
    EXPECT_EQ(std::wstring(font.lfFaceName), Wide(t.fontFace));
    const HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -::MulDiv(t.pointSize, ::GetDeviceCaps(screen, LOGPIXELSY), 72));
    ::ReleaseDC(nullptr, screen);

    RECT size{0, 0, t.cx, t.cy}, client, window;
    ::MapDialogRect(dialog.get(), &size);
    ::GetClientRect(dialog.get(), &client);
    ::GetWindowRect(dialog.get(), &window);
    EXPECT_EQ(client.right, size.right);
    if (window.bottom - window.top < ::GetSystemMetrics(SM_CYMAXTRACK))
        EXPECT_EQ(client.bottom, size.bottom);
    else
        EXPECT_LT(client.bottom, size.bottom);
}

// The version information Explorer and the installer read: "1.0.130.0"
// both as numbers and as text, the program's description.
TEST(Resources, VersionInformation)
{
    wchar_t path[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    std::vector<char> info(::GetFileVersionInfoSizeW(path, nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()));
    const auto query = [&](const std::wstring& what) -> void* {
        void* value = nullptr;
        UINT size = 0;
        return ::VerQueryValueW(info.data(), what.c_str(), &value, &size) && size > 0 ? value : nullptr;
    };
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
    ASSERT_NE(fixed, nullptr);
    const auto dotted = [](DWORD high, DWORD low) {
        return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low))
               + "." + std::to_string(LOWORD(low));
    };
    EXPECT_EQ(dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS), kAppVersion);
    EXPECT_EQ(dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS), kAppVersion);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation"));
    ASSERT_NE(translation, nullptr);
    wchar_t block[64];
    swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    const auto text = [&](const wchar_t* name) {
        const auto* value = static_cast<const wchar_t*>(query(block + std::wstring(name)));
        return std::wstring(value ? value : L"(none)");
    };
    EXPECT_EQ(text(L"FileDescription"), Wide(kAppDescription));
    EXPECT_EQ(text(L"FileVersion"), Wide(kAppVersion));
    EXPECT_EQ(text(L"ProductVersion"), Wide(kAppVersion));
    EXPECT_EQ(text(L"OriginalFilename"), L"OrvelConfigurator.exe");
}

// The manifest at work: the process is DPI-aware, its window classes come
// from common controls 6 (loaded from the side-by-side store), and it asks
// for no more than the invoker's rights.
TEST(Resources, ManifestMakesTheProcessDpiAwareOnCommonControls6AsInvoker)
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    ASSERT_TRUE(::InitCommonControlsEx(&controls));
    // Wine makes every process DPI-aware: the setting Windows acts on, read
    // from the process's activation context as Windows reads it.
    wchar_t dpiAware[16] = {};
    SIZE_T length = 0;
    EXPECT_TRUE(::QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                                       L"dpiAware", dpiAware, 16, &length));
    EXPECT_EQ(std::wstring(dpiAware), L"true");
    ACTCTX_SECTION_KEYED_DATA redirected{};
    redirected.cbSize = sizeof redirected;
    EXPECT_TRUE(::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_WINDOW_CLASS_REDIRECTION,
                                           L"Button", &redirected));
    wchar_t loaded[MAX_PATH] = {};
    ::GetModuleFileNameW(::GetModuleHandleW(L"comctl32.dll"), loaded, MAX_PATH);
    EXPECT_NE(Upper(loaded).find(L"\\WINSXS\\AMD64_MICROSOFT.WINDOWS.COMMON-CONTROLS_6595B64144CCF1DF_6.0."),
              std::wstring::npos) << loaded;

    // Elevation is Windows' own business (Wine has none): the request itself.
    const HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(nullptr, found))),
                               ::SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
}

// The icon: one group with 16, 32, 48 and 256 pixels, the largest loadable.
TEST(Resources, IconHasItsFourSizes)
{
#pragma pack(push, 2)
    struct GroupEntry { BYTE width, height, colours, reserved; WORD planes, bitCount; DWORD bytes; WORD id; };
    struct Group { WORD reserved, type, count; GroupEntry entries[1]; };
#pragma pack(pop)
    const HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(128), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(found, nullptr);
    const auto* group = static_cast<const Group*>(::LockResource(::LoadResource(nullptr, found)));
    std::vector<int> sizes;
    for (WORD i = 0; i < group->count; ++i)
        sizes.push_back(group->entries[i].width == 0 ? 256 : group->entries[i].width);  // 0 stands for 256
    EXPECT_EQ(sizes, std::vector<int>({16, 32, 48, 256}));
    const HICON large = static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128), IMAGE_ICON, 256, 256, 0));
    EXPECT_NE(large, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(large, &info));
    BITMAP colour{};
    ::GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 256);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(large);
}
