#include "CommandCatalog.h"

using commands::Ansi;
using commands::CommandRow;

namespace {

// Plain text commands; the port is written "COM1".
constexpr CommandRow kSharkCommands[] = {
    {Ansi("Запрос GGA"), "log COM1 gpgga ontime 1\r\n"},
    {Ansi("Запрос HDT"), "log COM1 gphdt ontime 1\r\n"},
    {Ansi("Запрос RMC"), "log COM1 gprmc ontime 1\r\n"},
    {Ansi("Сохранить настройки"), "Saveconfig\r\n"},
};

// NMEA 0183 proprietary sentences; each checksum is part of the fixed text.
constexpr CommandRow kNavisCommands[] = {
    {Ansi("Настройка скорости порта выдачи v1"), "$PORZA,1,115200,1*7D\r\n"},
    {Ansi("Настройка скорости порта выдачи v2"), "$PNVGRZA,0,115200,1*6C\r\n"},
    {Ansi("Настройка скорости порта приема"), "$PORZA,2,4800,1*75\r\n"},
    {Ansi("Прием диф поправок"), "$PORZA,2,4800,2*76\r\n"},
    {Ansi("Очистка списка сообщений"), "$PORZB*55\r\n"},
    {Ansi("Запрос GGA часто"), "$PORZB,GGA,1*25\r\n"},
    {Ansi("Запрос HDT часто"), "$PORZB,HDT,1,*10\r\n"},
    {Ansi("Запрос RMC часто"), "$PORZB,RMC,1*38\r\n"},
    {Ansi("Запрос RMC редко"), "$PORZB,RMC,10*08\r\n"},
    {Ansi("Сохранить настройки"), "$POCFG,W*26\r\n"},
    {Ansi("Сбросить настройки"), "$POCFG,E*34\r\n"},
};

// Plain text commands; the port is written "com1".
constexpr CommandRow kNavitelCommands[] = {
    {Ansi("Настройка скорости порта выдачи"), "com com1 115200 n 8 1 n off on\r\n"},
    {Ansi("Запрос GGA часто"), "log com1 gpgga ontime 1\r\n"},
    {Ansi("Запрос RMC часто"), "log com1 gprmc ontime 1\r\n"},
    {Ansi("Запрос GST часто"), "log com1 gpgst ontime 1\r\n"},
};

} // namespace

CCommandCatalog::CCommandCatalog()
{
    m_sets.push_back(std::make_unique<CCommandSet>("Shark", kSharkCommands));
    m_sets.push_back(std::make_unique<CCommandSet>("Navis", kNavisCommands));
    m_sets.push_back(std::make_unique<CCommandSet>("Navitel", kNavitelCommands));

    m_index.reserve(m_sets.size());
    for (const std::unique_ptr<CCommandSet>& set : m_sets)
        m_index.emplace_back(set->m_name, set.get());
}

CCommandCatalog::~CCommandCatalog() = default;
