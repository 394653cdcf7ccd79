#include "CommandSet.h"

#include <utility>

using commands::Ansi;
using commands::CommandRow;

void CCommandSet::Add(const char* description, const char* command)
{
    m_commands.emplace_back(description, command);
}

void CCommandSet::Fill(AddStringFn addString, SetItemDataFn setItemData) const
{
    for (const CCommandEntry& entry : m_commands) {
        const int index = addString(entry.m_description.c_str());
        setItemData(index, reinterpret_cast<std::uintptr_t>(entry.m_command.c_str()));
    }
}

namespace {

// The beacon receiver's sentences carry no checksum.
constexpr CommandRow kKksCommands[] = {
    {Ansi("Помощь"), "$PCSI,0\r\n"},
    {Ansi("Состояние 1 порта"), "$PCSI,1,1\r\n"},
    {Ansi("Перезагрузка"), "$PCSI,6\r\n"},
    {Ansi("Сброс платы"), "$PCSI,8,VOSKEL,E\r\n"},
    {Ansi("Настройка частоты"), "$GPMSK,311.0,M,,A\r\n"},
    {Ansi("Настройка автомат"), "$GPMSK,,A,,A\r\n"},
    {Ansi("Запрос настройки"), "$GPCRQ,MSK\r\n"},
    {Ansi("Запрос состояния"), "$GPCRQ,MSS\r\n"},
};

} // namespace

CCommandSet MakeKksCommandSet()
{
    return CCommandSet("", kKksCommands);
}
