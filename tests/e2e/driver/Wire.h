#pragma once

// The line format between an end-to-end test and the operator driver inside
// the program: one message per line, fields separated by tabs, with
// backslash, tab, CR and LF escaped as \\ \t \r \n.
//   request: <id> TAB <verb> [TAB <argument>]...
//   reply:   <id> TAB ok|error [TAB <field>]...
// Text is UTF-8. The driver greets with "0 TAB hello TAB <pid>" on connecting.

#include <string>
#include <vector>

namespace wire {

// One message from its fields, line end included.
inline std::string Join(const std::vector<std::string>& fields)
{
    std::string line;
    for (const std::string& field : fields) {
        if (&field != &fields.front())
            line += '\t';
        for (const char c : field) {
            switch (c) {
            case '\\': line += "\\\\"; break;
            case '\t': line += "\\t"; break;
            case '\r': line += "\\r"; break;
            case '\n': line += "\\n"; break;
            default: line += c;
            }
        }
    }
    return line + '\n';
}

// The fields of one message (without its line end).
inline std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\t') {
            fields.emplace_back();
        } else if (line[i] == '\\' && i + 1 < line.size()) {
            const char code = line[++i];
            fields.back() += code == 't' ? '\t' : code == 'r' ? '\r' : code == 'n' ? '\n' : code;
        } else {
            fields.back() += line[i];
        }
    }
    return fields;
}

} // namespace wire
