#include "DialogEx.h"

#include "ControlFactory.h"
#include "LogPane.h"

#include "QtText.h"
#include <DlgItem.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstring>

namespace ui {

namespace {

Qt::WindowFlags WindowFlagsOf(DWORD style)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION)
        flags |= Qt::WindowTitleHint;
    if (style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    if (style & WS_MAXIMIZEBOX)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

QString Decode(const char* text)
{
    return text::ToQString(text);
}

QString TextOf(const QWidget* control)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (auto* pane = qobject_cast<const CLogPane*>(control))
        return pane->toPlainText();
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentIndex() >= 0 ? combo->currentText() : QString();
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(control))
        return group->title();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    return control ? control->windowTitle() : QString();
}

void SetTextOf(QWidget* control, const QString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else if (auto* pane = qobject_cast<CLogPane*>(control))
        pane->setPlainText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setCurrentIndex(combo->findText(text, Qt::MatchFixedString));
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
}

} // namespace

CDialogEx::CDialogEx(const DlgTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(dialogTemplate)
{
}

CDialogEx::~CDialogEx() = default;

bool CDialogEx::Create()
{
    if (m_created)
        return true;
    m_created = true;
    CreateControls();
    return OnInitDialog();
}

int CDialogEx::DoModal()
{
    Create();
    const int result = exec();
    DestroyWindow();
    return result;
}

bool CDialogEx::DestroyWindow()
{
    if (m_destroyed)
        return false;
    m_destroyed = true;
    hide();
    return true;
}

void CDialogEx::CreateControls()
{
    setWindowFlags(WindowFlagsOf(m_template.style));
    setWindowTitle(QString::fromUtf8(m_template.caption));
    setFont(DialogFont(m_template.fontFace, m_template.pointSize));
    m_baseUnits = BaseUnitsOf(font());
    resize(DluToPixelsX(m_template.cx, m_baseUnits), DluToPixelsY(m_template.cy, m_baseUnits));

    for (const DlgItemTemplate& item : m_template.items) {
        QWidget* control = CreateControl(item, this, m_baseUnits);
        const int id = item.id;
        if (auto* combo = qobject_cast<QComboBox*>(control))
            connect(combo, &QComboBox::activated, this, [this, id] { Dispatch(id, CBN_SELCHANGE); });
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            connect(button, &QAbstractButton::clicked, this, [this, id] { Dispatch(id, BN_CLICKED); });
        else if (qobject_cast<QLineEdit*>(control))
            control->installEventFilter(this);  // its Up and Down
    }
}

void CDialogEx::Dispatch(int id, int notifyCode)
{
    RunHandler(id, [&] { OnCommand(id, notifyCode); });
}

bool CDialogEx::OnInitDialog()
{
    return true;
}

bool CDialogEx::OnCommand(int, int)
{
    return false;
}

void CDialogEx::OnEnterKey(CWnd* focus)
{
    auto* button = qobject_cast<QPushButton*>(focus);
    if (button && button->isEnabled())
        button->click();
}

void CDialogEx::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = event->modifiers() == Qt::NoModifier
                       || (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (enter && plain) {
        event->accept();
        OnEnterKey(focusWidget());
        return;
    }
    QDialog::keyPressEvent(event);  // Escape ends the window
}

// Up and Down in a single-line edit go to the window first.
bool CDialogEx::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool upOrDown = key->key() == Qt::Key_Up || key->key() == Qt::Key_Down;
        if (upOrDown && key->modifiers() == Qt::NoModifier) {
            const int id = MfcExtControl::GetDlgItemId(static_cast<QWidget*>(watched));
            if (OnEditKey(id, key->key() == Qt::Key_Up ? EditKey::Up : EditKey::Down))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool CDialogEx::OnEditKey(int, EditKey)
{
    return false;
}

CWnd* CDialogEx::GetDlgItem(int id) const
{
    return MfcExtControl::GetDlgItem(this, id);
}

int CDialogEx::GetDlgItemText(int id, std::string& text) const
{
    text = text::FromQString(TextOf(GetDlgItem(id)));
    return static_cast<int>(text.size());
}

void CDialogEx::SetDlgItemText(int id, const char* text)
{
    SetTextOf(GetDlgItem(id), Decode(text));
}

void CDialogEx::CheckDlgButton(int id, UINT check)
{
    if (auto* box = qobject_cast<QCheckBox*>(GetDlgItem(id))) {
        box->setCheckState(check == BST_CHECKED         ? Qt::Checked
                           : check == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                        : Qt::Unchecked);
    }
}

UINT CDialogEx::IsDlgButtonChecked(int id) const
{
    if (auto* box = qobject_cast<const QCheckBox*>(GetDlgItem(id))) {
        switch (box->checkState()) {
        case Qt::Checked:
            return BST_CHECKED;
        case Qt::PartiallyChecked:
            return BST_INDETERMINATE;
        default:
            return BST_UNCHECKED;
        }
    }
    return BST_UNCHECKED;
}

} // namespace ui
