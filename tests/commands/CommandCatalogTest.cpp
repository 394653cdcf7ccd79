#include "CommandCatalog.h"
#include "CommandSet.h"
#include "Cp1251.h"
#include "NmeaChecksum.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Each entry as the operator sees it (UTF-8) and as the device gets it.
using Entries = std::vector<std::pair<std::string, std::string>>;

// Every set by name ("" for the beacon receiver's), entries in order.
const std::vector<std::pair<std::string, Entries>> kSets = {
    {"Shark",
     {{"Запрос GGA", "log COM1 gpgga ontime 1\r\n"},
      {"Запрос HDT", "log COM1 gphdt ontime 1\r\n"},
      {"Запрос RMC", "log COM1 gprmc ontime 1\r\n"},
      {"Сохранить настройки", "Saveconfig\r\n"}}},
    {"Navis",
     {{"Настройка скорости порта выдачи v1", "$PORZA,1,115200,1*7D\r\n"},
      {"Настройка скорости порта выдачи v2", "$PNVGRZA,0,115200,1*6C\r\n"},
      {"Настройка скорости порта приема", "$PORZA,2,4800,1*75\r\n"},
      {"Прием диф поправок", "$PORZA,2,4800,2*76\r\n"},
      {"Очистка списка сообщений", "$PORZB*55\r\n"},
      {"Запрос GGA часто", "$PORZB,GGA,1*25\r\n"},
      {"Запрос HDT часто", "$PORZB,HDT,1,*10\r\n"},
      {"Запрос RMC часто", "$PORZB,RMC,1*38\r\n"},
      {"Запрос RMC редко", "$PORZB,RMC,10*08\r\n"},
      {"Сохранить настройки", "$POCFG,W*26\r\n"},
      {"Сбросить настройки", "$POCFG,E*34\r\n"}}},
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

// Each entry of `set`, its description decoded from Windows-1251. (The
// window's tests fill its lists from the sets.)
Entries Listed(const CCommandSet& set)
{
    Entries items;
    for (const CCommandEntry& entry : set.m_commands)
        items.emplace_back(text::Utf16ToUtf8(text::FromCp1251(entry.m_description)),
                           entry.m_command);
    return items;
}

} // namespace

// The catalogue lists "Shark", "Navis", "Navitel" in order, each index entry
// naming and pointing at its set; every set, the beacon receiver's included,
// holds its descriptions and commands (CR LF ended) byte for byte.
TEST(CommandCatalog, EverySetListsItsEntriesInOrderByteForByte)
{
    const CCommandCatalog catalog;
    const CCommandSet kks = MakeKksCommandSet();
    ASSERT_EQ(catalog.m_index.size(), 3u);
    ASSERT_EQ(catalog.m_sets.size(), 3u);
    for (std::size_t s = 0; s < kSets.size(); ++s) {
        SCOPED_TRACE("set \"" + kSets[s].first + "\"");
        const CCommandSet& set = s < 3 ? *catalog.m_sets[s] : kks;
        EXPECT_TRUE(s == 3 || catalog.m_index[s] == std::make_pair(kSets[s].first, catalog.m_sets[s].get()));
        EXPECT_EQ(set.m_name, kSets[s].first);
        EXPECT_EQ(Listed(set), kSets[s].second);
    }
}

// "Добавить CRC": the catalogue's sentences come out as they are (the
// receiver ignores a sentence whose checksum is wrong); a missing or wrong
// checksum is put right, before the line end; other text is left alone.
TEST(NmeaChecksum, CatalogueSentencesStayAndOthersArePutRight)
{
    for (const auto& entry : kSets[1].second)
        EXPECT_EQ(commands::WithNmeaChecksum(entry.second), entry.second);
    const std::pair<const char*, const char*> cases[] = {
        {"$PORZB,RMC,10*FF\r\n", "$PORZB,RMC,10*08\r\n"},
        {"$PORZB,RMC,10*8 and more\n", "$PORZB,RMC,10*08\n"},
        {"$POCFG,W", "$POCFG,W*26"},
        {"!AIVDM,1,1,,A,13u,0*", "!AIVDM,1,1,,A,13u,0*51"},
        {"$\r\n", "$*00\r\n"},
        {"log COM1 gpgga ontime 1\r\n", "log COM1 gpgga ontime 1\r\n"},
        {" $POCFG,W", " $POCFG,W"},
    };
    for (const auto& [text, withChecksum] : cases)
        EXPECT_EQ(commands::WithNmeaChecksum(text), withChecksum) << text;
}
