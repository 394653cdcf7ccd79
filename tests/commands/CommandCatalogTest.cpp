#include "CommandCatalog.h"
#include "CommandSet.h"
#include "Cp1251.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

// A command as the operator sees it (UTF-8) and as the device gets it.
struct Expected
{
    const char* description;
    const char* command;
};

const std::vector<Expected> kShark = {
    {"Запрос GGA", "log COM1 gpgga ontime 1\r\n"},
    {"Запрос HDT", "log COM1 gphdt ontime 1\r\n"},
    {"Запрос RMC", "log COM1 gprmc ontime 1\r\n"},
    {"Сохранить настройки", "Saveconfig\r\n"},
};

const std::vector<Expected> kNavis = {
    {"Настройка скорости порта выдачи v1", "$PORZA,1,115200,1*7D\r\n"},
    {"Настройка скорости порта выдачи v2", "$PNVGRZA,0,115200,1*6C\r\n"},
    {"Настройка скорости порта приема", "$PORZA,2,4800,1*75\r\n"},
    {"Прием диф поправок", "$PORZA,2,4800,2*76\r\n"},
    {"Очистка списка сообщений", "$PORZB*55\r\n"},
    {"Запрос GGA часто", "$PORZB,GGA,1*25\r\n"},
    {"Запрос HDT часто", "$PORZB,HDT,1,*10\r\n"},
    {"Запрос RMC часто", "$PORZB,RMC,1*38\r\n"},
    {"Запрос RMC редко", "$PORZB,RMC,10*08\r\n"},
    {"Сохранить настройки", "$POCFG,W*26\r\n"},
    {"Сбросить настройки", "$POCFG,E*34\r\n"},
};

const std::vector<Expected> kNavitel = {
    {"Настройка скорости порта выдачи", "com com1 115200 n 8 1 n off on\r\n"},
    {"Запрос GGA часто", "log com1 gpgga ontime 1\r\n"},
    {"Запрос RMC часто", "log com1 gprmc ontime 1\r\n"},
    {"Запрос GST часто", "log com1 gpgst ontime 1\r\n"},
};

const std::vector<Expected> kKks = {
    {"Помощь", "$PCSI,0\r\n"},
    {"Состояние 1 порта", "$PCSI,1,1\r\n"},
    {"Перезагрузка", "$PCSI,6\r\n"},
    {"Сброс платы", "$PCSI,8,VOSKEL,E\r\n"},
    {"Настройка частоты", "$GPMSK,311.0,M,,A\r\n"},
    {"Настройка автомат", "$GPMSK,,A,,A\r\n"},
    {"Запрос настройки", "$GPCRQ,MSK\r\n"},
    {"Запрос состояния", "$GPCRQ,MSS\r\n"},
};

// Descriptions are stored as Windows-1251 bytes; read them back through the
// text unit, which decodes with the platform's converter.
QString Decoded(const std::string& description)
{
    return text::FromCp1251(description.data(), description.size());
}

void ExpectSetHolds(const CCommandSet& set, const std::vector<Expected>& expected)
{
    ASSERT_EQ(set.m_commands.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i + 1));
        EXPECT_EQ(Decoded(set.m_commands[i].m_description), QString::fromUtf8(expected[i].description));
        EXPECT_EQ(set.m_commands[i].m_command, expected[i].command);
    }
}

} // namespace

TEST(CommandCatalog, ListsTheThreeReceiverTypesInOrder)
{
    const CCommandCatalog catalog;

    ASSERT_EQ(catalog.m_index.size(), 3u);
    ASSERT_EQ(catalog.m_sets.size(), 3u);
    const char* const names[] = {"Shark", "Navis", "Navitel"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(catalog.m_index[i].first, names[i]);
        EXPECT_EQ(catalog.m_index[i].second, catalog.m_sets[i].get());
        EXPECT_EQ(catalog.m_index[i].second->m_name, names[i]);
    }
}

TEST(CommandCatalog, EverySetHoldsItsDescriptionsAndCommandsByteForByte)
{
    const CCommandCatalog catalog;
    {
        SCOPED_TRACE("Shark");
        ExpectSetHolds(*catalog.m_index[0].second, kShark);
    }
    {
        SCOPED_TRACE("Navis");
        ExpectSetHolds(*catalog.m_index[1].second, kNavis);
    }
    {
        SCOPED_TRACE("Navitel");
        ExpectSetHolds(*catalog.m_index[2].second, kNavitel);
    }

    const CCommandSet kks = MakeKksCommandSet();
    EXPECT_TRUE(kks.m_name.empty());
    SCOPED_TRACE("beacon receiver");
    ExpectSetHolds(kks, kKks);
}

TEST(CommandCatalog, EveryNavisChecksumIsTheXorBetweenDollarAndStar)
{
    const CCommandCatalog catalog;
    for (const CCommandEntry& entry : catalog.m_index[1].second->m_commands) {
        const std::string& command = entry.m_command;
        SCOPED_TRACE(command);
        ASSERT_EQ(command.front(), '$');
        const std::size_t star = command.find('*');
        ASSERT_NE(star, std::string::npos);
        unsigned sum = 0;
        for (std::size_t i = 1; i < star; ++i)
            sum ^= static_cast<unsigned char>(command[i]);
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02X", sum);
        EXPECT_EQ(command.substr(star + 1), std::string(expected) + "\r\n");
    }
}

TEST(CommandSet, FillOnAnEmptySetCallsNeitherCallable)
{
    const CCommandSet sonCommands;
    int calls = 0;
    sonCommands.Fill(
        [&](const char*) {
            ++calls;
            return 0;
        },
        [&](int, std::uintptr_t) {
            ++calls;
            return 0;
        });
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(sonCommands.m_name.empty());
}

TEST(CommandSet, FillListsDescriptionsInOrderWithPointersToTheCommands)
{
    const CCommandCatalog catalog;
    const CCommandSet& navis = *catalog.m_index[1].second;
    std::vector<std::string> texts;
    std::vector<std::pair<int, std::uintptr_t>> itemData;
    navis.Fill(
        [&](const char* text) {
            texts.emplace_back(text);
            return static_cast<int>(texts.size()) - 1;
        },
        [&](int index, std::uintptr_t data) {
            itemData.emplace_back(index, data);
            return 0;
        });

    ASSERT_EQ(texts.size(), 11u);
    ASSERT_EQ(itemData.size(), 11u);
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(Decoded(texts[i]), QString::fromUtf8(kNavis[i].description));
        EXPECT_EQ(itemData[i].first, static_cast<int>(i));
    }
    const char* const fifth = reinterpret_cast<const char*>(itemData[4].second);
    EXPECT_STREQ(fifth, "$PORZB*55\r\n");
    EXPECT_EQ(fifth, navis.m_commands[4].m_command.c_str()) << "item data points into the set";
}
