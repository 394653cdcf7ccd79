#pragma once

// A dialog window built from a template, with the child-control operations
// of the platform's dialogs, so that handlers address controls by
// identifier. Texts crossing this interface are Windows-1251.
//
// Controls report to OnCommand: buttons and check boxes BN_CLICKED when the
// operator clicks them, drop-down lists CBN_SELCHANGE when the operator
// picks an item (never when the program selects one). A handler may abandon
// itself silently with AfxThrowUserException().
//
// The window ends by its close box or Escape. Enter never ends it: it goes
// to OnEnterKey.

#include "DialogCommands.h"
#include "DialogTemplate.h"
#include "DialogUnits.h"
#include "Wnd.h"

#include <QDialog>

#include <string>

namespace ui {

class CDialogEx : public QDialog
{
public:
    explicit CDialogEx(const DlgTemplate& dialogTemplate, QWidget* parent = nullptr);
    ~CDialogEx() override;

    CDialogEx(const CDialogEx&) = delete;
    CDialogEx& operator=(const CDialogEx&) = delete;

    // Builds the window and its controls from the template and runs
    // OnInitDialog; only the first call does anything. Not shown yet.
    bool Create();
    // Create, then run the window modally until it ends, then DestroyWindow.
    // Returns how it ended (QDialog::Accepted or Rejected).
    int DoModal();
    // Ends the window for good: hides it. A class that overrides this must
    // call it from its own destructor too, as the base cannot.
    virtual bool DestroyWindow();
    bool IsCreated() const { return m_created; }
    bool IsDestroyed() const { return m_destroyed; }

    // The window's own handle (itself, on this side).
    CWnd* GetSafeHwnd() const { return const_cast<CDialogEx*>(this); }
    // The control with this identifier, or nullptr.
    CWnd* GetDlgItem(int id) const;
    // Copies the control's text (an edit's text, a list's selected item, a
    // button's caption) and returns its length.
    int GetDlgItemText(int id, std::string& text) const;
    void SetDlgItemText(int id, const char* text);
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;

    const DialogBaseUnits& BaseUnits() const { return m_baseUnits; }
    const DlgTemplate& Template() const { return m_template; }

protected:
    // Runs once the controls exist, before the window is shown.
    virtual bool OnInitDialog();
    // A control's notification; false when the window has no handler for it.
    virtual bool OnCommand(int id, int notifyCode);
    // Enter was pressed; by default a focused push button is pressed.
    virtual void OnEnterKey(CWnd* focus);
    // Up or Down in a single-line edit; true when the window took the key.
    virtual bool OnEditKey(int id, EditKey key);

    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void Dispatch(int id, int notifyCode);

    const DlgTemplate& m_template;
    DialogBaseUnits m_baseUnits{};
    bool m_created = false;
    bool m_destroyed = false;
};

} // namespace ui
