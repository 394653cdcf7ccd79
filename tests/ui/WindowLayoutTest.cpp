// The window built from template 102: controls, captions, places, tab order
// and the keys that end (or must not end) it.

#include "WindowTestSupport.h"

#include <ColorStatic.h>
#include <ControlFactory.h>
#include <DialogTemplate.h>
#include <DialogUnits.h>
#include <DlgItem.h>
#include <Resource.h>

#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <set>

using namespace windowtest;

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

TEST(WindowTemplate, HoldsEveryControlOnceInTemplateOrder)
{
    const ui::DlgTemplate& t = ui::MainDialogTemplate();
    EXPECT_EQ(t.id, IDD_ORVELCONFIGURATOR_DIALOG);
    EXPECT_EQ(t.cx, 515);
    EXPECT_EQ(t.cy, 466);
    ASSERT_EQ(t.items.size(), 3u * 18u + 1u);

    std::set<int> ids;
    for (const ui::DlgItemTemplate& item : t.items) {
        if (item.id != IDC_STATIC) {
            EXPECT_TRUE(ids.insert(item.id).second) << "duplicate id " << item.id;
        }
    }
    EXPECT_EQ(ids.size(), 3u * 17u + 1u);

    // Channel 0 has its lamps after its log, the others right after the box;
    // the receiver type comes last.
    EXPECT_EQ(t.items[12].id, IDC_SNS_LOG);
    EXPECT_EQ(t.items[13].id, IDC_SNS_LAMP_PORT);
    EXPECT_EQ(t.items[18 + 2].id, IDC_KKS_LAMP_PORT);
    EXPECT_EQ(t.items[36 + 2].id, IDC_SON_LAMP_PORT);
    EXPECT_EQ(t.items.back().id, IDC_RECEIVER_TYPE);
    // Only the port lists sort.
    for (const ui::DlgItemTemplate& item : t.items) {
        const bool port = item.id == IDC_SNS_PORT || item.id == IDC_KKS_PORT || item.id == IDC_SON_PORT;
        EXPECT_EQ((item.style & ui::CBS_SORT) != 0, port) << item.id;
    }
}

TEST(WindowLayout, CaptionsAreExactlyAsWritten)
{
    Stores stores;
    auto dlg = MakeWindow();
    EXPECT_EQ(dlg->windowTitle(), "OrvelConfigurator");

    QStringList groups;
    for (QGroupBox* box : dlg->findChildren<QGroupBox*>())
        groups << box->title();
    EXPECT_EQ(groups, QStringList({U("СНС"), "KKC", U("Эхолот")}));
    // The group caption is Cyrillic, the lamp caption Latin.
    EXPECT_EQ(groups[0].at(0).unicode(), 0x0421);
    EXPECT_EQ(Text(*dlg, IDC_SNS_LAMP_PORT), "CHC");
    EXPECT_EQ(Text(*dlg, IDC_KKS_LAMP_PORT), "KKC");
    EXPECT_EQ(Text(*dlg, IDC_SON_LAMP_PORT), "KKC");

    std::string caption;
    dlg->GetDlgItemText(IDC_KKS_SEND_FILE, caption);
    EXPECT_EQ(caption, "\xCF\xE5\xF0\xE5\xE4\xE0\xF2\xFC \xD4\xE0\xE9\xEB");  // "Передать Файл" in Windows-1251
    dlg->GetDlgItemText(IDC_SON_ENABLE, caption);
    EXPECT_EQ(caption, "\xC4\xEE\xF1\xF2\xF3\xEF\xE5\xED");  // "Доступен"
}

TEST(WindowLayout, LampsTakeOverTheirStaticControls)
{
    Stores stores;
    auto dlg = MakeWindow();
    const int lamps[] = {IDC_SNS_LAMP_PORT, IDC_SNS_LAMP_TX_ERR, IDC_KKS_LAMP_RX, IDC_SON_LAMP_RX_ERR};
    for (int id : lamps) {
        auto* lamp = qobject_cast<MfcExtControl::CColorStatic*>(dlg->GetDlgItem(id));
        ASSERT_NE(lamp, nullptr) << id;
        EXPECT_FALSE(lamp->IsLit()) << id;
        EXPECT_EQ(lamp->parentWidget(), dlg.get());
    }
    EXPECT_EQ(Text(*dlg, IDC_SON_LAMP_RX_ERR), "Rx Err");
}

TEST(WindowLayout, ControlsSitAtTheirTemplateRectanglesAndStayOnResize)
{
    Stores stores;
    auto dlg = MakeWindow();
    const ui::DialogBaseUnits& units = dlg->BaseUnits();
    EXPECT_EQ(dlg->size(), QSize(ui::DluToPixelsX(515, units), ui::DluToPixelsY(466, units)));

    auto expected = [&](const ui::DlgItemTemplate& item) {
        return ui::MapDialogRect(item.x, item.y, item.cx, item.cy, units);
    };
    auto check = [&] {
        for (const ui::DlgItemTemplate& item : ui::MainDialogTemplate().items) {
            if (item.id == IDC_STATIC)
                continue;
            QWidget* control = dlg->GetDlgItem(item.id);
            ASSERT_NE(control, nullptr) << item.id;
            const QRect want = expected(item);
            if (qobject_cast<QComboBox*>(control)) {
                // A list's template height is its dropped list.
                EXPECT_EQ(control->geometry().topLeft(), want.topLeft()) << item.id;
                EXPECT_EQ(control->width(), want.width()) << item.id;
                EXPECT_LT(control->height(), want.height()) << item.id;
            } else {
                EXPECT_EQ(control->geometry(), want) << item.id;
            }
        }
    };
    check();
    dlg->show();
    dlg->resize(dlg->width() / 2, dlg->height() / 2);
    QCoreApplication::processEvents();
    check();
    dlg->resize(dlg->width() * 3, dlg->height() * 3);
    QCoreApplication::processEvents();
    check();
}

TEST(WindowLayout, DialogUnitsFollowTheFontSize)
{
    const QFont small = ui::DialogFont("MS Shell Dlg", 8);
    QFont large = small;
    large.setPointSize(16);
    const ui::DialogBaseUnits s = ui::BaseUnitsOf(small);
    const ui::DialogBaseUnits l = ui::BaseUnitsOf(large);
    ASSERT_GT(s.cx, 0);
    ASSERT_GT(s.cy, 0);
    EXPECT_NEAR(l.cx, 2 * s.cx, 2);
    EXPECT_NEAR(l.cy, 2 * s.cy, 3);
    // The whole window scales with them.
    EXPECT_NEAR(ui::DluToPixelsX(515, l), 2 * ui::DluToPixelsX(515, s), 2 * 515 / 4 + 1);
    EXPECT_EQ(small.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
}

TEST(WindowLayout, TabOrderFollowsTheTemplate)
{
    Stores stores;
    auto dlg = MakeWindow();
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));

    std::vector<int> expected;
    for (const ui::DlgItemTemplate& item : ui::MainDialogTemplate().items) {
        if (item.style & ui::WS_TABSTOP)
            expected.push_back(item.id);
    }
    std::vector<int> seen;
    QWidget* w = dlg->GetDlgItem(expected.front());
    for (std::size_t n = 0; n < expected.size() && w; ++n) {
        seen.push_back(MfcExtControl::GetDlgItemId(w));
        do {
            w = w->nextInFocusChain();
        } while (w != dlg.get() && !(w->focusPolicy() & Qt::TabFocus));
    }
    EXPECT_EQ(seen, expected);
}

TEST(WindowKeys, EnterNeverEndsTheWindowAndEscapeDoes)
{
    Stores stores;
    COrvelConfiguratorDlg dlg;
    bool stillOpenAfterEnter = false;
    QString logAfterEnter;
    QTimer::singleShot(0, &dlg, [&] {
        if (QTest::qWaitForWindowExposed(&dlg)) {
            QWidget* edit = dlg.GetDlgItem(IDC_SNS_COMMAND_EDIT);
            edit->setFocus();
            QTest::keyClicks(edit, "abcd");
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
            QWidget* checkBox = dlg.GetDlgItem(IDC_KKS_ENABLE);
            checkBox->setFocus();
            QTest::keyClick(checkBox, Qt::Key_Return);
            auto* log = qobject_cast<QPlainTextEdit*>(dlg.GetDlgItem(IDC_SON_LOG));
            log->setFocus();
            QTest::keyClicks(log, "x");
            QTest::keyClick(log, Qt::Key_Return);
            QTest::keyClicks(log, "y");
            logAfterEnter = log->toPlainText();
            stillOpenAfterEnter = dlg.isVisible();
            QTest::keyClick(edit, Qt::Key_Escape);
        }
        dlg.reject();  // ends the run if a step above failed
    });
    const int result = dlg.DoModal();
    EXPECT_TRUE(stillOpenAfterEnter);
    EXPECT_EQ(logAfterEnter, "x\ny");
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.IsDestroyed());
    // The command edit keeps what was typed; the box was not toggled.
    EXPECT_EQ(Text(dlg, IDC_SNS_COMMAND_EDIT), "abcd");
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_KKS_ENABLE), ui::BST_CHECKED);
}
