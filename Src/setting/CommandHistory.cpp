#include "CommandHistory.h"

#include "KeyPath.h"

#include <algorithm>

namespace setting {

using namespace registry;  // the registry's constants are macros on Windows

namespace {

const char kValueName[] = "Commands";

// REG_MULTI_SZ, not in RegTypes.h: only the history keeps a list.
constexpr DWORD kMultiString = 7;

} // namespace

CCommandHistory::CCommandHistory(const char* deviceKeyName)
{
    const std::string path = MakeSoftwareKeyPath(("History\\" + std::string(deviceKeyName)).c_str());
    m_key.Create(HKEY_CURRENT_USER, path.c_str());
    Load();
}

void CCommandHistory::Add(const std::string& command)
{
    EndWalk();
    if (command.empty() || (!m_commands.empty() && m_commands.front() == command))
        return;
    m_commands.insert(m_commands.begin(), command);
    if (m_commands.size() > kMaxCommands)
        m_commands.resize(kMaxCommands);
    Save();
}

std::optional<std::string> CCommandHistory::Older(const std::string& editText)
{
    KeepTyped(editText);
    if (m_position + 1 >= static_cast<long>(m_commands.size()))
        return std::nullopt;
    ++m_position;
    m_shown = m_commands[static_cast<std::size_t>(m_position)];
    return m_shown;
}

std::optional<std::string> CCommandHistory::Newer(const std::string& editText)
{
    if (m_position < 0)
        return std::nullopt;
    KeepTyped(editText);
    --m_position;
    m_shown = m_position < 0 ? m_typed : m_commands[static_cast<std::size_t>(m_position)];
    return m_shown;
}

void CCommandHistory::EndWalk()
{
    m_position = -1;
    m_typed.clear();
    m_shown.clear();
}

void CCommandHistory::KeepTyped(const std::string& editText)
{
    if (m_position < 0 || editText != m_shown)
        m_typed = editText;
}

// What the store holds, under the rules Add keeps: no empty command, none
// twice in a row, at most kMaxCommands. Anything else there (another type,
// no value) is an empty history.
void CCommandHistory::Load()
{
    DWORD type = 0;
    DWORD size = 0;
    if (m_key.QueryValue(kValueName, &type, nullptr, &size) != ERROR_SUCCESS || type != kMultiString)
        return;
    std::string data(size, '\0');
    if (m_key.QueryValue(kValueName, &type, data.data(), &size) != ERROR_SUCCESS)
        return;
    data.resize(std::min<std::size_t>(size, data.size()));
    for (std::size_t begin = 0; begin < data.size() && m_commands.size() < kMaxCommands;) {
        const std::size_t end = std::min(data.find('\0', begin), data.size());
        if (end == begin)
            break;  // the list's end
        std::string command = data.substr(begin, end - begin);
        if (m_commands.empty() || m_commands.back() != command)
            m_commands.push_back(std::move(command));
        begin = end + 1;
    }
}

void CCommandHistory::Save()
{
    std::string data;
    for (const std::string& command : m_commands) {
        if (command.size() <= kMaxStoredChars && command.find('\0') == std::string::npos)
            data.append(command).push_back('\0');
    }
    data.push_back('\0');
    m_key.SetValue(kValueName, kMultiString, data.data(), static_cast<DWORD>(data.size()));
}

} // namespace setting
