// What the main window shows once started: the panels filled from the
// settings store and the ports present, the command lists, and the layout.

#include "WindowTestSupport.h"

#include <ColorStatic.h>
#include <DlgItem.h>
#include <MainWindowTable.h>
#include <RegKey.h>
#include <Resource.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <unistd.h>

using namespace windowtest;

TEST(WindowStart, SavedValuesSelectTheirEntriesAndAreWrittenBack)
{
    Stores stores({"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyS1", "/run/ports/Beacon", "/run/ports/alpha"});
    SeedDevice("SnsPort", "/dev/ttyS1", 1, 0);         // exact name, before its longer twin; "1" after 110
    SeedDevice("KksPort", "/RUN/PORTS/B", 110, 7);     // prefix in another case; 110 after the wrap
    SeedDevice("SonPort", "/dev/ttyUSB7", 250000, 0);  // neither offered: the port kept, the first rate
    registry::CRegKey son;  // an "Enabled" that cannot be read: its default alone
    ASSERT_EQ(son.Open(registry::HKEY_CURRENT_USER, "SOFTWARE\\Lunder\\Orvel4\\SonPort"), registry::ERROR_SUCCESS);
    ASSERT_EQ(son.SetStringValue("Enabled", "0"), registry::ERROR_SUCCESS);
    auto dlg = MakeWindow();

    EXPECT_EQ(Items(*dlg, IDC_SNS_PORT),
              QStringList({"/dev/ttyS1", "/dev/ttyS10", "/dev/ttyS2", "/run/ports/alpha", "/run/ports/Beacon"}));
    // The rate "1" is looked for after 110, so it finds 1200.
    const std::pair<int, const char*> shown[] = {{IDC_SNS_PORT, "/dev/ttyS1"}, {IDC_KKS_PORT, "/run/ports/Beacon"},
                                                 {IDC_SON_PORT, "/dev/ttyUSB7"}, {IDC_SNS_BAUD, "1200"},
                                                 {IDC_KKS_BAUD, "110"},          {IDC_SON_BAUD, "110"}};
    for (const auto& [id, text] : shown)
        EXPECT_EQ(Text(*dlg, id), text) << id;

    EXPECT_EQ(dlg->IsDlgButtonChecked(IDC_SNS_ENABLE), ui::BST_UNCHECKED);
    EXPECT_FALSE(Enabled(*dlg, IDC_SNS_OPEN));
    EXPECT_EQ(StoredNumber("SnsPort", "Enabled"), 0u);
    EXPECT_EQ(dlg->IsDlgButtonChecked(IDC_KKS_ENABLE), ui::BST_CHECKED);
    EXPECT_TRUE(Enabled(*dlg, IDC_KKS_OPEN));
    EXPECT_EQ(StoredNumber("KksPort", "Enabled"), 1u);
    EXPECT_EQ(dlg->IsDlgButtonChecked(IDC_SON_ENABLE), ui::BST_CHECKED);
    EXPECT_EQ(StoredNumber("SonPort", "Enabled"), 1u);
    // Only Open stores the port and rate the panel shows; the start-up save
    // keeps those that loaded beside a value that did not.
    EXPECT_EQ(StoredPortName("SonPort"), "/dev/ttyUSB7");
    EXPECT_EQ(StoredNumber("SonPort", "BaudRate"), 250000u);
}

// The remembered port is found under any of its names before any name that
// merely begins with it; one not present stays listed and selected, so that
// Open fails on it instead of opening another device, and it stays stored.
TEST(WindowStart, TheRememberedPortIsFoundUnderAnyNameAndAnAbsentOneStaysSelected)
{
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir.File("serial/by-id"));
    const std::string adapter = dir.File("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
    const std::string second = dir.File("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0-alias");
    ASSERT_EQ(::symlink("../../ttyUSB1", adapter.c_str()), 0);
    ASSERT_EQ(::symlink("../../ttyUSB1", second.c_str()), 0);
    struct Case
    {
        const char* what;
        std::vector<std::string> ports;
        std::string saved;
        QStringList items;  // as listed, sorted
        QString selected;   // empty: nothing
    };
    const QString a = U(adapter.c_str());
    const Case cases[] = {
        {"the same device under its by-id name before a longer kernel name", {"/dev/ttyUSB10", adapter},
         "/dev/ttyUSB1", {"/dev/ttyUSB10", a}, a},
        {"another by-id name of the same device", {"/dev/ttyUSB10", adapter}, second, {"/dev/ttyUSB10", a}, a},
        {"a name that begins with it, when the device is not there", {"COM10", "COM2"}, "COM1", {"COM10", "COM2"},
         "COM10"},
        {"absent: kept, listed with the others", {"/dev/ttyS0", "/dev/ttyS1"}, "/dev/ttyUSB7",
         {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB7"}, "/dev/ttyUSB7"},
        {"no ports at all: the remembered one alone", {}, "/dev/ttyUSB7", {"/dev/ttyUSB7"}, "/dev/ttyUSB7"},
        {"nothing remembered: nothing chosen", {"/dev/ttyS0"}, "", {"/dev/ttyS0"}, ""},
        {"nothing remembered, no ports", {}, "", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Stores stores(c.ports);
        SeedDevice("SnsPort", c.saved, 9600, 1);
        auto dlg = MakeWindow();
        EXPECT_EQ(Items(*dlg, IDC_SNS_PORT), c.items);
        EXPECT_EQ(Text(*dlg, IDC_SNS_PORT), c.selected);
        EXPECT_EQ(Item<QComboBox>(*dlg, IDC_SNS_PORT)->currentIndex() >= 0, !c.selected.isEmpty());
        Click(*dlg, IDC_SNS_OPEN);
        EXPECT_TRUE(Enabled(*dlg, IDC_SNS_OPEN)) << "opened nothing";
        EXPECT_EQ(StoredPortName("SnsPort"), c.selected.toStdString()) << "Open stores what the panel shows";
        EXPECT_EQ(Item<MfcExtControl::CColorStatic>(*dlg, IDC_SNS_LAMP_PORT)->IsLit(), !c.selected.isEmpty())
            << "a failed attempt shows";
    }
}

// Each command list holds its set from the catalogue (whose entries the
// catalogue's tests check), in the catalogue's order, nothing chosen; the
// receiver type swaps the first panel's set and keeps what was typed.
TEST(WindowStart, CommandListsFollowTheReceiverTypeAndACommandFillsTheEdit)
{
    Stores stores;
    auto dlg = MakeWindow();
    ASSERT_NO_FATAL_FAILURE(Show(*dlg));
    EXPECT_EQ(Items(*dlg, IDC_RECEIVER_TYPE), QStringList({"Shark", "Navis", "Navitel"}));
    EXPECT_EQ(Text(*dlg, IDC_RECEIVER_TYPE), "Shark");
    Type(*dlg, IDC_SNS_COMMAND_EDIT, "typed");
    // A list as "count: first | last", and nothing chosen.
    const auto outline = [&](int id) {
        const QStringList items = Items(*dlg, id);
        const QString ends = items.value(0) + " | " + items.value(items.size() - 1);
        return (QString::number(items.size()) + ": " + ends).toStdString();
    };
    const std::tuple<const char*, int, const char*> lists[] = {
        {"Shark", IDC_SNS_COMMAND, "4: Запрос GGA | Сохранить настройки"},
        {"Shark", IDC_KKS_COMMAND, "8: Помощь | Запрос состояния"},
        {"Shark", IDC_SON_COMMAND, "0:  | "},
        {"Navitel", IDC_SNS_COMMAND, "4: Настройка скорости порта выдачи | Запрос GST часто"},
        {"Navis", IDC_SNS_COMMAND, "11: Настройка скорости порта выдачи v1 | Сбросить настройки"}};
    for (const auto& [type, id, items] : lists) {
        PickItem(*dlg, IDC_RECEIVER_TYPE, type);
        EXPECT_EQ(outline(id), items) << type;
        EXPECT_EQ(Text(*dlg, id), "") << type;
    }
    EXPECT_EQ(Text(*dlg, IDC_SNS_COMMAND_EDIT), "typed");

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
    // Device, port, rate; its panel's port list, rate list and enable box.
    const std::tuple<const char*, const char*, registry::DWORD, int, int, int> channels[] = {
        {"SnsPort", "COM3", 115200, IDC_SNS_PORT, IDC_SNS_BAUD, IDC_SNS_ENABLE},
        {"KksPort", "COM4", 4800, IDC_KKS_PORT, IDC_KKS_BAUD, IDC_KKS_ENABLE},
        {"SonPort", "COM1", 115200, IDC_SON_PORT, IDC_SON_BAUD, IDC_SON_ENABLE}};
    for (const auto& [device, port, rate, portId, baudId, enableId] : channels) {
        SCOPED_TRACE(device);
        EXPECT_EQ(StoredPortName(device), port);
        EXPECT_EQ(StoredNumber(device, "BaudRate"), rate);
        EXPECT_EQ(StoredNumber(device, "Enabled"), 1u);
        EXPECT_EQ(Text(*dlg, baudId), QString::number(rate));
        EXPECT_EQ(Items(*dlg, portId), QStringList({port})) << "no ports: the remembered one alone";
        EXPECT_EQ(Text(*dlg, portId), port);
        EXPECT_EQ(dlg->IsDlgButtonChecked(enableId), ui::BST_CHECKED);
    }
    // Every caption of the window's table (whose "CHC" and "KKC" lamps are
    // Latin, its group box "СНС" Cyrillic), the group boxes' in its order.
    QStringList groups, tableGroups;
    for (const windowtable::Control& c : windowtable::kControls) {
        if (c.id == -1) {
            tableGroups << U(c.caption);
        } else if (*c.caption) {
            EXPECT_EQ(dlg->GetDlgItem(c.id)->property("text").toString().toStdString(), c.caption) << c.id;
        }
    }
    for (const QGroupBox* group : dlg->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
        groups << group->title();
    EXPECT_EQ(groups, tableGroups);
    EXPECT_EQ(dlg->windowTitle(), windowtable::kWindow.caption);
    for (int id : {IDC_SNS_BAUD, IDC_KKS_BAUD, IDC_SON_BAUD})
        EXPECT_EQ(Items(*dlg, id), QStringList({"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                                                "38400", "56000", "57600", "115200", "128000", "256000"})) << id;

    ASSERT_NO_FATAL_FAILURE(Show(*dlg));
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

// Each drop-down of a port list reads the ports present again. The selected
// port stays selected, once, under the name it is listed under now; gone, it
// stays listed until another is picked. A name longer than its box stays
// tellable: the full name is the box's tooltip, and the dropped list is wide
// enough to show it whole.
TEST(WindowStart, PortListsAreReadAgainAtEachDropDownAndShowLongNamesWhole)
{
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir.File("serial/by-id"));
    const std::string adapter = dir.File("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
    ASSERT_EQ(::symlink("../../ttyUSB0", adapter.c_str()), 0);
    Stores stores({"/dev/ttyS0", "/dev/ttyUSB0"});
    SeedDevice("SnsPort", "/dev/ttyUSB0", 9600, 1);
    auto dlg = MakeWindow();
    ASSERT_NO_FATAL_FAILURE(Show(*dlg));
    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT), "/dev/ttyUSB0");
    auto* combo = Item<QComboBox>(*dlg, IDC_SNS_PORT);

    // The adapter is now listed under its by-id name.
    registry::SetDeviceMapValues({registry::RegValue::String("a", "/dev/ttyS0"),
                                  registry::RegValue::String("b", adapter)});
    combo->showPopup();
    combo->hidePopup();
    EXPECT_EQ(Items(*dlg, IDC_SNS_PORT), QStringList({"/dev/ttyS0", U(adapter.c_str())}));
    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT).toStdString(), adapter);
    const int nameWidth = combo->fontMetrics().horizontalAdvance(U(adapter.c_str()));
    EXPECT_EQ(combo->toolTip().toStdString(), adapter);
    ASSERT_GT(nameWidth, combo->width()) << "the name must not fit the box";

    // The adapter is pulled while its channel uses it, and another comes.
    registry::SetDeviceMapValues({registry::RegValue::String("a", "/dev/ttyS0"),
                                  registry::RegValue::String("b", "/dev/ttyACM0")});
    combo->showPopup();
    EXPECT_GE(combo->view()->width(), nameWidth);
    combo->hidePopup();
    EXPECT_EQ(Items(*dlg, IDC_SNS_PORT), QStringList({"/dev/ttyACM0", "/dev/ttyS0", U(adapter.c_str())}));
    EXPECT_EQ(Text(*dlg, IDC_SNS_PORT).toStdString(), adapter);
    EXPECT_EQ(Items(*dlg, IDC_KKS_PORT), QStringList({"/dev/ttyS0", "/dev/ttyUSB0", "COM4"}))
        << "each list is read at its own drop-down";
    PickItem(*dlg, IDC_SNS_PORT, "/dev/ttyACM0");
    combo->showPopup();
    combo->hidePopup();
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
