#pragma once

// A dialog window built from a template, with the child-control operations
// of the platform's dialogs, so that handlers address controls by
// identifier. Texts crossing this interface are Windows-1251.
//
// On this side the window is the Win32 dialog of the resource the template
// names (res/OrvelConfigurator.rc holds template 102), made by the dialog
// manager; each multi-line edit of it is replaced by a log pane (LogPane.h).
//
// Controls report to OnCommand: buttons and check boxes BN_CLICKED when the
// operator clicks them, drop-down lists CBN_SELCHANGE when the operator
// picks an item (never when the program selects one). A handler may abandon
// itself silently with AfxThrowUserException(); any other exception is
// reported on standard error and goes no further.
//
// The window ends by its close box or Escape. Enter never ends it: it goes
// to OnEnterKey. Up and Down in a single-line edit go to OnEditKey first.

#include "Wnd.h"

#include "DialogCommands.h"
#include "DialogTemplate.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

// The class's own members, not the SDK's ANSI/wide macros.
#undef GetDlgItemText
#undef SetDlgItemText

namespace ui {

class CLogPane;

class CDialogEx
{
public:
    explicit CDialogEx(const DlgTemplate& dialogTemplate, CWnd* parent = nullptr);
    virtual ~CDialogEx();

    CDialogEx(const CDialogEx&) = delete;
    CDialogEx& operator=(const CDialogEx&) = delete;

    // Makes the window and its controls from the template's resource and
    // runs OnInitDialog; only the first call does anything. The window is
    // modeless until DoModal runs it.
    bool Create();
    // Create, then run the window modally until it ends, then DestroyWindow.
    // Returns how it ended (IDCANCEL).
    int DoModal();
    // Ends the window for good. A class that overrides this must call it
    // from its own destructor too, as the base cannot.
    virtual bool DestroyWindow();
    bool IsCreated() const { return m_created; }
    bool IsDestroyed() const { return m_destroyed; }

    // The window's handle; nullptr before Create and after DestroyWindow.
    CWnd* GetSafeHwnd() const { return m_window; }
    // The control with this identifier, or nullptr.
    CWnd* GetDlgItem(int id) const;
    // Copies the control's text (an edit's text, a list's selected item, a
    // button's caption) and returns its length.
    int GetDlgItemText(int id, std::string& text) const;
    void SetDlgItemText(int id, const char* text);
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;

    const DlgTemplate& Template() const { return m_template; }

    // What a message loop of the window's thread does first with each
    // message: the keyboard's dialog navigation (Tab, Enter, Escape) for
    // whichever of the program's windows it is meant for. True when the
    // message was handled.
    static bool PreTranslateMessage(MSG& message);

protected:
    // Runs once the controls exist, before the window is shown.
    virtual bool OnInitDialog();
    // A control's notification; false when the window has no handler for it.
    virtual bool OnCommand(int id, int notifyCode);
    // Enter was pressed; by default a focused push button is pressed.
    virtual void OnEnterKey(CWnd* focus);
    // Up or Down in a single-line edit; true when the window took the key.
    virtual bool OnEditKey(int id, EditKey key);

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool TakeEditKey(const MSG& message);
    void ReplaceLogEdits();
    void End(int result);

    const DlgTemplate& m_template;
    CWnd* m_parent;
    HWND m_window = nullptr;
    bool m_created = false;
    bool m_destroyed = false;
    bool m_modal = false;
    bool m_ended = false;
    int m_result = IDCANCEL;
    std::exception_ptr m_initFailure;
    // The panes outlive their windows, as long as the dialog object lives.
    std::vector<std::unique_ptr<CLogPane>> m_panes;
};

} // namespace ui
