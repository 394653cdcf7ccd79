#include "Dialogs.h"

#include "Layer.h"

#include <commdlg.h>
#include <shellapi.h>

namespace ui {

namespace {

constexpr DWORD kPathRoom = 32768;  // the longest path Windows takes, in characters

bool Ask(OPENFILENAMEW& question, bool save, std::string& path)
{
    std::wstring name(kPathRoom, L'\0');
    if (question.lpstrFile)
        name.replace(0, std::wcslen(question.lpstrFile), question.lpstrFile);
    question.lStructSize = sizeof question;
    question.lpstrFile = name.data();
    question.nMaxFile = kPathRoom;
    question.Flags |= OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!(save ? ::GetSaveFileNameW(&question) : ::GetOpenFileNameW(&question)))
        return false;
    name.resize(std::wcslen(name.c_str()));
    path = Utf8FromWide(name);
    return true;
}

} // namespace

bool AskOpenFile(CWnd* parent, std::string& path)
{
    OPENFILENAMEW question{};
    question.hwndOwner = parent;
    question.Flags = OFN_FILEMUSTEXIST;
    return Ask(question, false, path);
}

bool AskSaveFile(CWnd* parent, const SaveFileQuestion& question, std::string& path)
{
    // "name (pattern)\0pattern\0" for each filter, and one more NUL at the end.
    std::wstring filters;
    for (const auto& [name, pattern] : question.filters) {
        filters += WideFromUtf8(name + " (" + pattern + ")") + L'\0';
        filters += WideFromUtf8(pattern) + L'\0';
    }
    const std::wstring title = WideFromUtf8(question.title);
    const std::wstring folder = WideFromUtf8(question.folder);
    const std::wstring name = WideFromUtf8(question.name);
    OPENFILENAMEW ask{};
    ask.hwndOwner = parent;
    ask.lpstrFilter = filters.empty() ? nullptr : filters.c_str();
    ask.nFilterIndex = 1;
    ask.lpstrTitle = title.c_str();
    ask.lpstrInitialDir = folder.c_str();
    ask.lpstrFile = const_cast<wchar_t*>(name.c_str());
    ask.Flags = OFN_OVERWRITEPROMPT;
    return Ask(ask, true, path);
}

void OpenFolder(const std::string& folder)
{
    ::ShellExecuteW(nullptr, L"open", WideFromUtf8(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowWarning(CWnd* parent, const std::string& title, const std::string& text)
{
    ::MessageBoxW(parent, WideFromUtf8(text).c_str(), WideFromUtf8(title).c_str(), MB_OK | MB_ICONWARNING);
}

} // namespace ui
