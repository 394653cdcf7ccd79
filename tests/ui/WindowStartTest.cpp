// What the main window shows once started: the panels filled from the
// settings store and the ports present, the command lists, and the layout.

#include "WindowTestSupport.h"

#include <DlgItem.h>
#include <Resource.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace windowtest;

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

TEST(WindowStart, SavedValuesSelectTheirEntriesAndAreWrittenBack)
{
    Stores stores({"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyS1", "/run/ports/Beacon", "/run/ports/alpha"});
    SeedDevice("SnsPort", "/dev/ttyS1", 1, 0);         // exact name, before its longer twin; "1" after 110
    SeedDevice("KksPort", "/RUN/PORTS/B", 110, 7);     // prefix in another case; 110 after the wrap
    SeedDevice("SonPort", "/dev/ttyUSB7", 250000, 1);  // neither offered: the first entries
    auto dlg = MakeWindow();

    EXPECT_EQ(Items(*dlg, IDC_SON_PORT),
              QStringList({"/dev/ttyS1", "/dev/ttyS10", "/dev/ttyS2", "/run/ports/alpha", "/run/ports/Beacon"}));
    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT), "/dev/ttyS1");
    EXPECT_EQ(Text(*dlg, IDC_KKS_PORT), "/run/ports/Beacon");
    EXPECT_EQ(Text(*dlg, IDC_SON_PORT), "/dev/ttyS1");
    EXPECT_EQ(Text(*dlg, IDC_SNS_BAUD), "1200");  // the search starts after 110
    EXPECT_EQ(Text(*dlg, IDC_KKS_BAUD), "110");
    EXPECT_EQ(Text(*dlg, IDC_SON_BAUD), "110");

    EXPECT_EQ(dlg->IsDlgButtonChecked(IDC_SNS_ENABLE), ui::BST_UNCHECKED);
    EXPECT_FALSE(Enabled(*dlg, IDC_SNS_OPEN));
    EXPECT_EQ(StoredNumber("SnsPort", "Enabled"), 0u);
    EXPECT_EQ(dlg->IsDlgButtonChecked(IDC_KKS_ENABLE), ui::BST_CHECKED);
    EXPECT_TRUE(Enabled(*dlg, IDC_KKS_OPEN));
    EXPECT_EQ(StoredNumber("KksPort", "Enabled"), 1u);
    // Only Open stores the port and rate the panel shows.
    EXPECT_EQ(StoredPortName("SonPort"), "/dev/ttyUSB7");
    EXPECT_EQ(StoredNumber("SonPort", "BaudRate"), 250000u);
}

TEST(WindowStart, CommandListsFollowTheReceiverTypeAndACommandFillsTheEdit)
{
    Stores stores;
    auto dlg = MakeWindow();
    EXPECT_EQ(Items(*dlg, IDC_RECEIVER_TYPE), QStringList({"Shark", "Navis", "Navitel"}));
    EXPECT_EQ(Text(*dlg, IDC_RECEIVER_TYPE), "Shark");
    EXPECT_EQ(Items(*dlg, IDC_SNS_COMMAND),
              QStringList({U("Запрос GGA"), U("Запрос HDT"), U("Запрос RMC"), U("Сохранить настройки")}));
    const QStringList beacon = Items(*dlg, IDC_KKS_COMMAND);
    ASSERT_EQ(beacon.size(), 8);
    EXPECT_EQ(beacon.front(), U("Помощь"));
    EXPECT_EQ(beacon.back(), U("Запрос состояния"));
    EXPECT_TRUE(Items(*dlg, IDC_SON_COMMAND).isEmpty());
    for (int id : {IDC_SNS_COMMAND, IDC_KKS_COMMAND, IDC_SON_COMMAND})
        EXPECT_EQ(Text(*dlg, id), "") << id;

    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    Type(*dlg, IDC_SNS_COMMAND_EDIT, "typed");
    PickItem(*dlg, IDC_RECEIVER_TYPE, "Navis");
    const QStringList navis = Items(*dlg, IDC_SNS_COMMAND);
    ASSERT_EQ(navis.size(), 11);
    EXPECT_EQ(navis.front(), U("Настройка скорости порта выдачи v1"));
    EXPECT_EQ(Text(*dlg, IDC_SNS_COMMAND), "");
    EXPECT_EQ(Text(*dlg, IDC_SNS_COMMAND_EDIT), "typed");  // kept on a type change

    PickItem(*dlg, IDC_SNS_COMMAND, U("Запрос RMC редко"));
    EXPECT_EQ(Text(*dlg, IDC_SNS_COMMAND_EDIT), "$PORZB,RMC,10*08\r\n");
    PickItem(*dlg, IDC_KKS_COMMAND, U("Сброс платы"));
    EXPECT_TRUE(Text(*dlg, IDC_KKS_COMMAND_EDIT).startsWith("$PCSI,8,"));
    Click(*dlg, IDC_KKS_ADD_CRC);  // the sentence gets its checksum, before its line end
    EXPECT_TRUE(Text(*dlg, IDC_KKS_COMMAND_EDIT).endsWith(",E*50\r\n"));
}

// An empty store: the defaults are shown and stored before the window shows.
// What the operator reads and tabs through, as the window's description
// gives it: captions (which are Latin and which Cyrillic), the baud rates
// every panel offers, and the tab order.
TEST(WindowStart, DefaultsCaptionsBaudRatesAndTabOrder)
{
    Stores stores;
    auto dlg = MakeWindow();
    ASSERT_FALSE(dlg->isVisible());
    const struct
    {
        const char* device;
        const char* port;
        registry::DWORD rate;
        int portId, baudId, enableId;
    } channels[] = {{"SnsPort", "COM3", 115200, IDC_SNS_PORT, IDC_SNS_BAUD, IDC_SNS_ENABLE},
                    {"KksPort", "COM4", 4800, IDC_KKS_PORT, IDC_KKS_BAUD, IDC_KKS_ENABLE},
                    {"SonPort", "COM1", 115200, IDC_SON_PORT, IDC_SON_BAUD, IDC_SON_ENABLE}};
    for (const auto& c : channels) {
        SCOPED_TRACE(c.device);
        EXPECT_EQ(StoredPortName(c.device), c.port);
        EXPECT_EQ(StoredNumber(c.device, "BaudRate"), c.rate);
        EXPECT_EQ(StoredNumber(c.device, "Enabled"), 1u);
        EXPECT_EQ(Text(*dlg, c.baudId), QString::number(c.rate));
        EXPECT_TRUE(Items(*dlg, c.portId).isEmpty());
        EXPECT_EQ(dlg->IsDlgButtonChecked(c.enableId), ui::BST_CHECKED);
    }
    const struct
    {
        int id;
        const char* caption;  // UTF-8
    } captions[] = {
        {1000, "Доступен"}, {1003, "Открыть"}, {1004, "Закрыть"}, {1007, "Добавить CRC"}, {1008, "Передать"},
        {1009, "Передать Файл"}, {1010, "Очистить"}, {1013, "Rx"}, {1014, "Rx Err"}, {1015, "Tx"}, {1016, "Tx Err"},
        {1012, "\x43\x48\x43"},  // "CHC", Latin
        {1032, "\x4B\x4B\x43"},  // "KKC", Latin
        {1038, "\x4B\x4B\x43"},
        {1037, "Доступен"}, {1052, "Очистить"}, {1042, "Tx Err"},
    };
    for (const auto& c : captions)
        EXPECT_EQ(dlg->GetDlgItem(c.id)->property("text").toString(), U(c.caption)) << c.id;
    QStringList groups;
    for (const QGroupBox* group : dlg->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
        groups << group->title();
    EXPECT_EQ(groups, QStringList({U("\u0421\u041D\u0421"), U("KKC"), U("Эхолот")}));  // Cyrillic, Latin
    EXPECT_EQ(dlg->windowTitle(), "OrvelConfigurator");
    for (int id : {IDC_SNS_BAUD, IDC_KKS_BAUD, IDC_SON_BAUD}) {
        EXPECT_EQ(Items(*dlg, id), QStringList({"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                                                "38400", "56000", "57600", "115200", "128000", "256000"}));
    }

    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    std::vector<int> order;
    QWidget* w = dlg->GetDlgItem(1000);
    do {
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            order.push_back(MfcExtControl::GetDlgItemId(w));
        w = w->nextInFocusChain();
    } while (w != dlg->GetDlgItem(1000) && order.size() < 100);
    // The template order: each panel's enable box, lists, buttons, command
    // edit and log (its lamps take no focus); the receiver type last. Ready:
    // Open active; Close, Send and Send File greyed, taking no focus.
    EXPECT_EQ(order, std::vector<int>({1000, 1001, 1002, 1003, 1005, 1006, 1007, 1010, 1011,
                                       1020, 1021, 1022, 1023, 1025, 1026, 1027, 1030, 1031,
                                       1037, 1043, 1044, 1045, 1047, 1048, 1049, 1052, 1053, 1017}));
}

// A port name longer than its box stays tellable: the full name is the box's
// tooltip, and the dropped list is wide enough to show it whole.
TEST(WindowStart, LongPortNamesFitTheDroppedList)
{
    const QString longName = U("/run/user/1000/orvel-ports/devsim-gnss-behind-a-long-folder-name");
    Stores stores({longName.toStdString(), "/dev/ttyS0"});
    auto dlg = MakeWindow();
    auto* combo = qobject_cast<QComboBox*>(dlg->GetDlgItem(IDC_SNS_PORT));
    PickItem(*dlg, IDC_SNS_PORT, longName);
    EXPECT_EQ(combo->toolTip(), longName);
    ASSERT_GT(combo->fontMetrics().horizontalAdvance(longName), combo->width()) << "the name must not fit the box";
    dlg->show();
    combo->showPopup();
    EXPECT_GE(combo->view()->width(), combo->fontMetrics().horizontalAdvance(longName));
    combo->hidePopup();
}

// Each drop-down of a port list reads the ports present again. The selected
// port stays selected; gone, it stays listed until another is picked. A
// device remembered under its kernel name is found under its persistent
// name.
TEST(WindowStart, PortListsAreReadAgainAtEachDropDown)
{
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir.File("serial/by-id"));
    const std::string adapter = dir.File("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
    ASSERT_EQ(::symlink("../../ttyUSB0", adapter.c_str()), 0);
    Stores stores({"/dev/ttyS0", adapter});
    SeedDevice("SnsPort", "/dev/ttyUSB0", 9600, 1);
    auto dlg = MakeWindow();
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT).toStdString(), adapter);

    auto* combo = qobject_cast<QComboBox*>(dlg->GetDlgItem(IDC_SNS_PORT));
    const auto dropDown = [combo] {
        combo->showPopup();
        combo->hidePopup();
    };
    // The adapter is pulled while its channel uses it, and another comes.
    registry::SetDeviceMapValues({registry::RegValue::String("a", "/dev/ttyS0"),
                                  registry::RegValue::String("b", "/dev/ttyACM0")});
    dropDown();
    EXPECT_EQ(Items(*dlg, IDC_SNS_PORT), QStringList({"/dev/ttyACM0", "/dev/ttyS0", U(adapter.c_str())}));
    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT).toStdString(), adapter);
    EXPECT_EQ(Items(*dlg, IDC_KKS_PORT), QStringList({"/dev/ttyS0", U(adapter.c_str())}))
        << "each list is read at its own drop-down";
    PickItem(*dlg, IDC_SNS_PORT, "/dev/ttyACM0");
    dropDown();
    EXPECT_EQ(Items(*dlg, IDC_SNS_PORT), QStringList({"/dev/ttyACM0", "/dev/ttyS0"}));
    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT), "/dev/ttyACM0");

    // Tab leaves a log pane along the tab order, typing nothing into it.
    QWidget* pane = dlg->GetDlgItem(IDC_SNS_LOG);
    pane->setFocus();
    QTest::keyClick(pane, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dlg->GetDlgItem(IDC_KKS_ENABLE));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), dlg->GetDlgItem(IDC_SNS_CLEAR));
    EXPECT_EQ(PaneText(*dlg, IDC_SNS_LOG), "");
}
