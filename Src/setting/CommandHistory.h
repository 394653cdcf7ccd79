#pragma once

#include "RegKey.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace setting {

// The commands sent on one channel, most recent first, and the walk through
// them that Up and Down make in the channel's command edit.
//
// Kept per user in a key of their own beside the device keys, never in them:
//   HKCU\SOFTWARE\Lunder\Orvel4\History\<device key name>
//   "Commands" (REG_MULTI_SZ): the commands, most recent first, each ended
//   by a NUL and the list by one more, as the command edit holds them
//   (Windows-1251 text, without the line end a send adds).
// Loaded when the object is made; written whole, in one value, each time a
// command is added, so that the next run starts with it.
//
// One thread (the window's) uses it. The walk: Up (Older) goes back from the
// most recent command, Down (Newer) forward again, and past the most recent
// the text the operator had typed comes back; a recalled command the
// operator edits before moving on becomes that typed text, so nothing typed
// is lost by walking.
class CCommandHistory
{
public:
    static constexpr std::size_t kMaxCommands = 100;
    // A longer command stays in this run's history but is not stored: the
    // store keeps the list in one value, and a pasted screenful a hundred
    // times over has no place there. (Nor is a command with a NUL byte,
    // which no edit holds: the list's separator.)
    static constexpr std::size_t kMaxStoredChars = 1024;

    // `deviceKeyName`: "SnsPort", "KksPort" or "SonPort".
    explicit CCommandHistory(const char* deviceKeyName);

    const std::vector<std::string>& Commands() const { return m_commands; }

    // A command went out: it becomes the most recent, unless it is the most
    // recent already; beyond kMaxCommands the oldest goes. Written to the
    // store at once; ends the walk. An empty command changes nothing.
    void Add(const std::string& command);

    // Up, the edit showing `editText`: the next older command to show;
    // nothing (the edit keeps its text) when there is no older one.
    std::optional<std::string> Older(const std::string& editText);
    // Down: the next more recent command, or past the most recent the typed
    // text; nothing when the walk is at the typed text already.
    std::optional<std::string> Newer(const std::string& editText);
    // The edit got a text of another origin (a command picked from the
    // catalogue): the next Up starts from the most recent command again.
    void EndWalk();

private:
    void Load();
    void Save();
    // Remembers an edit of what the walk showed as the typed text.
    void KeepTyped(const std::string& editText);

    registry::CRegKey m_key;
    std::vector<std::string> m_commands;
    // The walk: -1 at the typed text, else the index of the command shown.
    long m_position = -1;
    std::string m_typed;
    std::string m_shown;
};

} // namespace setting
