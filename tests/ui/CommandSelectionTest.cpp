// Receiver type and command selection in the channel panels.

#include "WindowTestSupport.h"

#include <Resource.h>

#include <QTest>

#include <gtest/gtest.h>

using namespace windowtest;

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString EditText(const ui::CDialogEx& dlg, int id)
{
    std::string text;
    dlg.GetDlgItemText(id, text);
    return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

class CommandSelection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dlg = MakeWindow();
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }

    Stores stores;
    std::unique_ptr<COrvelConfiguratorDlg> dlg;
};

} // namespace

TEST_F(CommandSelection, ListsRightAfterStart)
{
    EXPECT_EQ(Items(*dlg, IDC_RECEIVER_TYPE), QStringList({"Shark", "Navis", "Navitel"}));
    EXPECT_EQ(Text(*dlg, IDC_RECEIVER_TYPE), "Shark");

    EXPECT_EQ(Items(*dlg, IDC_SNS_COMMAND),
              QStringList({U("Запрос GGA"), U("Запрос HDT"), U("Запрос RMC"), U("Сохранить настройки")}));
    EXPECT_EQ(Items(*dlg, IDC_KKS_COMMAND),
              QStringList({U("Помощь"), U("Состояние 1 порта"), U("Перезагрузка"), U("Сброс платы"),
                           U("Настройка частоты"), U("Настройка автомат"), U("Запрос настройки"),
                           U("Запрос состояния")}));
    EXPECT_TRUE(Items(*dlg, IDC_SON_COMMAND).isEmpty());

    for (int combo : {IDC_SNS_COMMAND, IDC_KKS_COMMAND, IDC_SON_COMMAND})
        EXPECT_EQ(Selection(*dlg, combo), -1) << combo;
    for (int edit : {IDC_SNS_COMMAND_EDIT, IDC_KKS_COMMAND_EDIT, IDC_SON_COMMAND_EDIT})
        EXPECT_EQ(EditText(*dlg, edit), "") << edit;
}

TEST_F(CommandSelection, ReceiverTypeRefillsTheCommandsAndKeepsTheTypedCommand)
{
    Type(*dlg, IDC_SNS_COMMAND_EDIT, "typed");
    PickItem(*dlg, IDC_SNS_COMMAND, 2);
    EXPECT_EQ(EditText(*dlg, IDC_SNS_COMMAND_EDIT), "log COM1 gprmc ontime 1\r\n");

    PickItem(*dlg, IDC_RECEIVER_TYPE, "Navis");
    const QStringList navis = Items(*dlg, IDC_SNS_COMMAND);
    ASSERT_EQ(navis.size(), 11);
    EXPECT_EQ(navis.front(), U("Настройка скорости порта выдачи v1"));
    EXPECT_EQ(navis.back(), U("Сбросить настройки"));
    EXPECT_EQ(Selection(*dlg, IDC_SNS_COMMAND), -1);
    EXPECT_EQ(EditText(*dlg, IDC_SNS_COMMAND_EDIT), "log COM1 gprmc ontime 1\r\n");

    // Back to the first type: its four commands again.
    PickItem(*dlg, IDC_RECEIVER_TYPE, "Shark");
    EXPECT_EQ(Items(*dlg, IDC_SNS_COMMAND).size(), 4);
}

TEST_F(CommandSelection, ChosenCommandReplacesTheEditTextWithItsLineEnding)
{
    PickItem(*dlg, IDC_RECEIVER_TYPE, "Navis");
    Type(*dlg, IDC_SNS_COMMAND_EDIT, "overwritten");
    PickItem(*dlg, IDC_SNS_COMMAND, U("Запрос RMC редко"));
    EXPECT_EQ(EditText(*dlg, IDC_SNS_COMMAND_EDIT), "$PORZB,RMC,10*08\r\n");

    PickItem(*dlg, IDC_KKS_COMMAND, U("Сброс платы"));
    const QString reset = EditText(*dlg, IDC_KKS_COMMAND_EDIT);
    EXPECT_TRUE(reset.startsWith("$PCSI,8,")) << reset.toStdString();
    EXPECT_TRUE(reset.endsWith(",E\r\n")) << reset.toStdString();
    // The other panels' edits are not touched.
    EXPECT_EQ(EditText(*dlg, IDC_SON_COMMAND_EDIT), "");
}

TEST_F(CommandSelection, AddCrcDoesNothing)
{
    PickItem(*dlg, IDC_KKS_COMMAND, 0);
    const QString before = EditText(*dlg, IDC_KKS_COMMAND_EDIT);
    Click(*dlg, IDC_KKS_ADD_CRC);
    Click(*dlg, IDC_SNS_ADD_CRC);
    EXPECT_EQ(EditText(*dlg, IDC_KKS_COMMAND_EDIT), before);
    EXPECT_EQ(EditText(*dlg, IDC_SNS_COMMAND_EDIT), "");
    EXPECT_TRUE(dlg->isVisible());
}
