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

// A list control as Fill sees it: items appended in order.
struct FakeList
{
    std::vector<std::string> texts;
    std::vector<std::pair<int, std::uintptr_t>> itemData;

    void FillFrom(const CCommandSet& set)
    {
        set.Fill(
            [this](const char* text) {
                texts.emplace_back(text);
                return static_cast<int>(texts.size()) - 1;
            },
            [this](int index, std::uintptr_t data) {
                itemData.emplace_back(index, data);
                return 0;
            });
    }
};

const char* AsText(std::uintptr_t data)
{
    return reinterpret_cast<const char*>(data);
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

TEST(CommandCatalog, DescriptionsAreStoredInWindows1251)
{
    const CCommandSet kks = MakeKksCommandSet();
    // "Помощь" in the Cyrillic code page: one byte per letter.
    EXPECT_EQ(kks.m_commands[0].m_description, "\xCF\xEE\xEC\xEE\xF9\xFC");
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

TEST(CommandCatalog, EveryCommandIsAsciiEndingInCrLf)
{
    const CCommandCatalog catalog;
    const CCommandSet kks = MakeKksCommandSet();
    std::vector<const CCommandSet*> sets{&kks};
    for (const auto& named : catalog.m_index)
        sets.push_back(named.second);

    for (const CCommandSet* set : sets) {
        for (const CCommandEntry& entry : set->m_commands) {
            SCOPED_TRACE(entry.m_command);
            ASSERT_GE(entry.m_command.size(), 3u);
            EXPECT_EQ(entry.m_command.substr(entry.m_command.size() - 2), "\r\n");
            for (char c : entry.m_command.substr(0, entry.m_command.size() - 2))
                EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << int(static_cast<unsigned char>(c));
        }
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
    FakeList list;
    list.FillFrom(navis);

    ASSERT_EQ(list.texts.size(), 11u);
    ASSERT_EQ(list.itemData.size(), 11u);
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(Decoded(list.texts[i]), QString::fromUtf8(kNavis[i].description));
        EXPECT_EQ(list.itemData[i].first, static_cast<int>(i));
    }
    EXPECT_STREQ(AsText(list.itemData[4].second), "$PORZB*55\r\n");
    EXPECT_EQ(AsText(list.itemData[4].second), navis.m_commands[4].m_command.c_str())
        << "item data points into the set, not at a copy";
}

TEST(CommandSet, FillHandsTheReturnedIndexOnUnchecked)
{
    const CCommandSet kks = MakeKksCommandSet();
    std::vector<int> indices;
    // A list control that refuses every item (the platform's CB_ERR).
    kks.Fill([](const char*) { return -1; },
             [&](int index, std::uintptr_t) {
                 indices.push_back(index);
                 return 0;
             });
    EXPECT_EQ(indices, std::vector<int>(8, -1));
}

TEST(CommandSet, SaveSettingsDiffersBetweenReceiverTypes)
{
    const CCommandCatalog catalog;
    const std::string save = text::ToCp1251(QString::fromUtf8("Сохранить настройки"));
    auto commandFor = [&](const CCommandSet& set) {
        for (const CCommandEntry& entry : set.m_commands)
            if (entry.m_description == save)
                return entry.m_command;
        return std::string();
    };
    EXPECT_EQ(commandFor(*catalog.m_index[0].second), "Saveconfig\r\n");
    EXPECT_EQ(commandFor(*catalog.m_index[1].second), "$POCFG,W*26\r\n");
}
