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

} // namespace

TEST(CommandSelection, ListsRightAfterStart)
{
    Stores stores;
    auto dlg = MakeWindow();
    EXPECT_EQ(Items(*dlg, IDC_RECEIVER_TYPE), QStringList({"Shark", "Navis", "Navitel"}));
    EXPECT_EQ(Selection(*dlg, IDC_RECEIVER_TYPE), 0);
    EXPECT_EQ(Items(*dlg, IDC_SNS_COMMAND),
              QStringList({U("Запрос GGA"), U("Запрос HDT"), U("Запрос RMC"), U("Сохранить настройки")}));
    const QStringList beacon = Items(*dlg, IDC_KKS_COMMAND);
    ASSERT_EQ(beacon.size(), 8);
    EXPECT_EQ(beacon.front(), U("Помощь"));
    EXPECT_EQ(beacon.back(), U("Запрос состояния"));
    EXPECT_TRUE(Items(*dlg, IDC_SON_COMMAND).isEmpty());
    for (int id : {IDC_SNS_COMMAND, IDC_KKS_COMMAND, IDC_SON_COMMAND})
        EXPECT_EQ(Selection(*dlg, id), -1) << id;
    for (int id : {IDC_SNS_COMMAND_EDIT, IDC_KKS_COMMAND_EDIT, IDC_SON_COMMAND_EDIT})
        EXPECT_EQ(Text(*dlg, id), "") << id;
}

TEST(CommandSelection, TypeRefillsTheCommandsAndACommandFillsTheEdit)
{
    Stores stores;
    auto dlg = MakeWindow();
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));

    Type(*dlg, IDC_SNS_COMMAND_EDIT, "typed");
    PickItem(*dlg, IDC_RECEIVER_TYPE, "Navis");
    const QStringList navis = Items(*dlg, IDC_SNS_COMMAND);
    ASSERT_EQ(navis.size(), 11);
    EXPECT_EQ(navis.front(), U("Настройка скорости порта выдачи v1"));
    EXPECT_EQ(Selection(*dlg, IDC_SNS_COMMAND), -1);
    EXPECT_EQ(Text(*dlg, IDC_SNS_COMMAND_EDIT), "typed");  // kept on a type change

    PickItem(*dlg, IDC_SNS_COMMAND, U("Запрос RMC редко"));
    EXPECT_EQ(Text(*dlg, IDC_SNS_COMMAND_EDIT), "$PORZB,RMC,10*08\r\n");
    PickItem(*dlg, IDC_KKS_COMMAND, U("Сброс платы"));
    EXPECT_TRUE(Text(*dlg, IDC_KKS_COMMAND_EDIT).startsWith("$PCSI,8,"));
    EXPECT_TRUE(Text(*dlg, IDC_KKS_COMMAND_EDIT).endsWith(",E\r\n"));

    // "Добавить CRC" has no action.
    Click(*dlg, IDC_KKS_ADD_CRC);
    EXPECT_TRUE(Text(*dlg, IDC_KKS_COMMAND_EDIT).endsWith(",E\r\n"));

    PickItem(*dlg, IDC_RECEIVER_TYPE, "Shark");
    EXPECT_EQ(Items(*dlg, IDC_SNS_COMMAND).size(), 4);
}
