#pragma once

#include "AnsiText.h"

#include <boost/function.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One device command: the description listed to the operator (Windows-1251
// text) and the exact text sent to the device.
class CCommandEntry
{
public:
    CCommandEntry(const char* description, const char* command)
        : m_description(description), m_command(command)
    {
    }

    std::string m_description;
    std::string m_command;
};

namespace commands {

// One row of a built-in command table.
struct CommandRow
{
    AnsiText description;
    const char* command;
};

} // namespace commands

// A named, ordered list of device commands. Built once and never changed, so
// pointers to the set and to its command texts stay valid while it lives;
// list controls keep such pointers as item data. It is therefore neither
// copied nor moved.
class CCommandSet
{
public:
    // Adds the item's text to a list control; returns the new item's index.
    typedef boost::function<int(const char* text)> AddStringFn;
    // Sets an item's pointer-sized data; the result is ignored.
    typedef boost::function<int(int index, std::uintptr_t data)> SetItemDataFn;

    CCommandSet() = default;

    // A set named `name` holding the rows of a built-in table, in order.
    template <std::size_t N>
    CCommandSet(const char* name, const commands::CommandRow (&rows)[N]) : m_name(name)
    {
        m_commands.reserve(N);
        for (const commands::CommandRow& row : rows)
            Add(row.description.c_str(), row.command);
    }

    CCommandSet(const CCommandSet&) = delete;
    CCommandSet& operator=(const CCommandSet&) = delete;
    CCommandSet(CCommandSet&&) = delete;
    CCommandSet& operator=(CCommandSet&&) = delete;

    // Appends an entry holding copies of both texts.
    void Add(const char* description, const char* command);

    // Lists the set in a list control: for each entry in order, adds its
    // description and gives the returned index, unchecked, the address of the
    // entry's command text as item data. An empty set calls neither.
    void Fill(AddStringFn addString, SetItemDataFn setItemData) const;

    std::vector<CCommandEntry> m_commands;
    std::string m_name;
};

// The beacon receiver's commands (no name, eight entries), built in place:
//     CCommandSet m_kksCommands = MakeKksCommandSet();
CCommandSet MakeKksCommandSet();
