// The window built from template 102: captions, places, tab order, and the
// keys that end (or must not end) it.

#include "WindowTestSupport.h"

#include <DialogTemplate.h>
#include <DialogUnits.h>
#include <DlgItem.h>
#include <Resource.h>

#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace windowtest;

TEST(WindowLayout, CaptionsAreExactlyAsWrittenAndLampsTakeTheirPlaces)
{
    Stores stores;
    auto dlg = MakeWindow();
    EXPECT_EQ(dlg->windowTitle(), "OrvelConfigurator");
    QStringList groups;
    for (QGroupBox* box : dlg->findChildren<QGroupBox*>())
        groups << box->title();
    EXPECT_EQ(groups, QStringList({QString::fromUtf8("СНС"), "KKC", QString::fromUtf8("Эхолот")}));
    EXPECT_EQ(groups[0].at(0).unicode(), 0x0421);  // Cyrillic, where the lamp's "CHC" is Latin

    const int lamps[] = {IDC_SNS_LAMP_PORT, IDC_KKS_LAMP_PORT, IDC_SON_LAMP_PORT, IDC_SON_LAMP_RX_ERR};
    const char* const captions[] = {"CHC", "KKC", "KKC", "Rx Err"};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(Lamp(*dlg, lamps[i]), nullptr) << lamps[i];
        EXPECT_EQ(Text(*dlg, lamps[i]), captions[i]);
        EXPECT_FALSE(Lamp(*dlg, lamps[i])->IsLit());
    }
    // Texts cross the control layer as Windows-1251.
    EXPECT_EQ(Text(*dlg, IDC_SON_ENABLE), QString::fromLatin1("\xC4\xEE\xF1\xF2\xF3\xEF\xE5\xED"));  // "Доступен"
}

TEST(WindowLayout, ControlsSitAtTheirTemplateRectanglesAndStayOnResize)
{
    Stores stores;
    auto dlg = MakeWindow();
    const ui::DialogBaseUnits& units = dlg->BaseUnits();
    EXPECT_EQ(dlg->size(), QSize(ui::DluToPixelsX(515, units), ui::DluToPixelsY(466, units)));
    auto check = [&] {
        for (const ui::DlgItemTemplate& item : ui::MainDialogTemplate().items) {
            if (item.id == IDC_STATIC)
                continue;
            QWidget* control = dlg->GetDlgItem(item.id);
            ASSERT_NE(control, nullptr) << item.id;
            const QRect want = ui::MapDialogRect(item.x, item.y, item.cx, item.cy, units);
            if (qobject_cast<QComboBox*>(control)) {  // the template's height is the dropped list
                EXPECT_EQ(control->geometry().topLeft(), want.topLeft()) << item.id;
                EXPECT_EQ(control->width(), want.width()) << item.id;
            } else {
                EXPECT_EQ(control->geometry(), want) << item.id;
            }
        }
    };
    check();
    dlg->show();
    dlg->resize(dlg->width() / 2, dlg->height() * 2);
    QCoreApplication::processEvents();
    check();
}

TEST(WindowLayout, TabOrderFollowsTheTemplate)
{
    Stores stores;
    auto dlg = MakeWindow();
    std::vector<int> expected;
    for (const ui::DlgItemTemplate& item : ui::MainDialogTemplate().items) {
        if (item.style & ui::WS_TABSTOP)
            expected.push_back(item.id);
    }
    std::vector<int> seen;
    QWidget* w = dlg->GetDlgItem(expected.front());
    while (w && seen.size() < expected.size()) {
        seen.push_back(MfcExtControl::GetDlgItemId(w));
        do
            w = w->nextInFocusChain();
        while (w != dlg.get() && !(w->focusPolicy() & Qt::TabFocus));
    }
    EXPECT_EQ(seen, expected);
}

TEST(WindowKeys, EnterNeverEndsTheWindowAndEscapeDoes)
{
    Stores stores;
    COrvelConfiguratorDlg dlg;
    bool openAfterEnter = false;
    QTimer::singleShot(0, &dlg, [&] {
        QWidget* edit = dlg.GetDlgItem(IDC_SNS_COMMAND_EDIT);
        edit->setFocus();
        QTest::keyClicks(edit, "abcd");
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(dlg.GetDlgItem(IDC_KKS_ENABLE), Qt::Key_Return);
        QWidget* log = dlg.GetDlgItem(IDC_SON_LOG);
        QTest::keyClicks(log, "x");
        QTest::keyClick(log, Qt::Key_Return);  // a line break in the pane
        QTest::keyClicks(log, "y");
        openAfterEnter = dlg.isVisible();
        QTest::keyClick(edit, Qt::Key_Escape);
        dlg.reject();  // ends the run if the key did not
    });
    EXPECT_EQ(dlg.DoModal(), QDialog::Rejected);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_TRUE(dlg.IsDestroyed());
    EXPECT_EQ(PaneText(dlg, IDC_SON_LOG), "x\ny");
    EXPECT_EQ(Text(dlg, IDC_SNS_COMMAND_EDIT), "abcd");
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_KKS_ENABLE), ui::BST_CHECKED);
}
