#include "CommandCatalog.h"
#include "CommandSet.h"
#include "Cp1251.h"
#include "NmeaChecksum.h"

#include <gtest/gtest.h>

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

// Every set by name ("" for the beacon receiver's), entries in order.
const std::vector<std::pair<std::string, std::vector<Expected>>> kSets = {
    {"Shark",
     {{"Запрос GGA", "log COM1 gpgga ontime 1\r\n"},
      {"Запрос HDT", "log COM1 gphdt ontime 1\r\n"},
      {"Запрос RMC", "log COM1 gprmc ontime 1\r\n"},
      {"Сохранить настройки", "Saveconfig\r\n"}}},
    {"Navis", kNavis},
    {"Navitel",
     {{"Настройка скорости порта выдачи", "com com1 115200 n 8 1 n off on\r\n"},
      {"Запрос GGA часто", "log com1 gpgga ontime 1\r\n"},
      {"Запрос RMC часто", "log com1 gprmc ontime 1\r\n"},
      {"Запрос GST часто", "log com1 gpgst ontime 1\r\n"}}},
    {"",
     {{"Помощь", "$PCSI,0\r\n"},
      {"Состояние 1 порта", "$PCSI,1,1\r\n"},
      {"Перезагрузка", "$PCSI,6\r\n"},
      {"Сброс платы", "$PCSI,8,VOSKEL,E\r\n"},
      {"Настройка частоты", "$GPMSK,311.0,M,,A\r\n"},
      {"Настройка автомат", "$GPMSK,,A,,A\r\n"},
      {"Запрос настройки", "$GPCRQ,MSK\r\n"},
      {"Запрос состояния", "$GPCRQ,MSS\r\n"}}},
};

// Descriptions are stored as Windows-1251 bytes; read them back through the
// text unit, which decodes with the platform's converter.
QString Decoded(const std::string& description)
{
    return text::FromCp1251(description.data(), description.size());
}

} // namespace

// The catalogue lists "Shark", "Navis", "Navitel" in order, each index entry
// naming and pointing at its set; every set, the beacon receiver's included,
// holds its descriptions and commands (CR LF ended) byte for byte.
TEST(CommandCatalog, EverySetHoldsItsEntriesInOrderByteForByte)
{
    const CCommandCatalog catalog;
    const CCommandSet kks = MakeKksCommandSet();
    ASSERT_EQ(catalog.m_index.size(), 3u);
    ASSERT_EQ(catalog.m_sets.size(), 3u);
    const CCommandSet* const sets[] = {catalog.m_sets[0].get(), catalog.m_sets[1].get(),
                                       catalog.m_sets[2].get(), &kks};

    for (std::size_t s = 0; s < kSets.size(); ++s) {
        const std::string& name = kSets[s].first;
        const std::vector<Expected>& expected = kSets[s].second;
        SCOPED_TRACE("set \"" + name + "\"");
        if (s < catalog.m_index.size()) {
            EXPECT_EQ(catalog.m_index[s].first, name);
            EXPECT_EQ(catalog.m_index[s].second, sets[s]);
        }
        EXPECT_EQ(sets[s]->m_name, name);
        ASSERT_EQ(sets[s]->m_commands.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE("entry " + std::to_string(i + 1));
            EXPECT_EQ(Decoded(sets[s]->m_commands[i].m_description), QString::fromUtf8(expected[i].description));
            EXPECT_EQ(sets[s]->m_commands[i].m_command, expected[i].command);
        }
    }
}

// "Добавить CRC": the catalogue's sentences come out as they are (the
// receiver ignores a sentence whose checksum is wrong); a missing or wrong
// checksum is put right, before the line end; other text is left alone.
TEST(NmeaChecksum, CatalogueSentencesStayAndOthersArePutRight)
{
    for (const Expected& entry : kNavis)
        EXPECT_EQ(commands::WithNmeaChecksum(entry.command), entry.command);
    const struct
    {
        const char* text;
        const char* withChecksum;
    } cases[] = {
        {"$PCSI,8,VOSKEL,E\r\n", "$PCSI,8,VOSKEL,E*50\r\n"},
        {"$PORZB,RMC,10*FF\r\n", "$PORZB,RMC,10*08\r\n"},
        {"$PORZB,RMC,10*8 and more\n", "$PORZB,RMC,10*08\n"},
        {"$POCFG,W", "$POCFG,W*26"},
        {"!AIVDM,1,1,,A,13u,0*", "!AIVDM,1,1,,A,13u,0*51"},
        {"$\r\n", "$*00\r\n"},
        {"log COM1 gpgga ontime 1\r\n", "log COM1 gpgga ontime 1\r\n"},
        {" $POCFG,W", " $POCFG,W"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(commands::WithNmeaChecksum(c.text), c.withChecksum) << c.text;
}

// Fill hands each item's data to the index AddString returned for it.
TEST(CommandSet, FillListsDescriptionsInOrderWithPointersToTheCommands)
{
    std::vector<std::string> texts;
    std::vector<std::pair<int, std::uintptr_t>> itemData;
    const auto fill = [&](const CCommandSet& set) {
        set.Fill(
            [&](const char* text) {
                texts.emplace_back(text);
                return 10 * static_cast<int>(texts.size());
            },
            [&](int index, std::uintptr_t data) {
                itemData.emplace_back(index, data);
                return 0;
            });
    };
    fill(CCommandSet());
    EXPECT_TRUE(texts.empty() && itemData.empty()) << "an empty set calls neither";

    const CCommandCatalog catalog;
    const CCommandSet& navis = *catalog.m_index[1].second;
    fill(navis);
    ASSERT_EQ(texts.size(), 11u);
    ASSERT_EQ(itemData.size(), 11u);
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(Decoded(texts[i]), QString::fromUtf8(kNavis[i].description));
        EXPECT_EQ(itemData[i].first, 10 * static_cast<int>(i + 1));
    }
    const char* const fifth = reinterpret_cast<const char*>(itemData[4].second);
    EXPECT_STREQ(fifth, "$PORZB*55\r\n");
    EXPECT_EQ(fifth, navis.m_commands[4].m_command.c_str()) << "item data points into the set";
}
