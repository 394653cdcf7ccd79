#pragma once

// The line format between an end-to-end test and the operator driver inside
// the program: one message per line, fields separated by tabs, each field
// escaped so that tabs, line ends and other control bytes survive.
//   request: <id> TAB <verb> [TAB <argument>]...
//   reply:   <id> TAB ok|error [TAB <field>]...
// Text is UTF-8. The driver greets with "0 TAB hello TAB <pid>" on connecting.

#include <cstdio>
#include <string>
#include <vector>

namespace wire {

// Backslash, tab, CR and LF as \\ \t \r \n; other bytes below 0x20 and 0x7F as \xHH.
inline std::string Escape(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    for (const char c : field) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", byte);
                out += hex;
            } else {
                out += c;
            }
        }
    }
    return out;
}

inline std::string Unescape(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char code = field[++i];
        if (code == 't')
            out += '\t';
        else if (code == 'r')
            out += '\r';
        else if (code == 'n')
            out += '\n';
        else if (code == 'x' && i + 2 < field.size()) {
            out += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else
            out += code;
    }
    return out;
}

// One message from its fields.
inline std::string Join(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += '\t';
        line += Escape(fields[i]);
    }
    return line + '\n';
}

// The fields of one message (without its line end).
inline std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(Unescape(line.substr(start, tab - start)));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

} // namespace wire
