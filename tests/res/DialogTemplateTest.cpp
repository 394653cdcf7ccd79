// res/OrvelConfigurator.rc, the Windows program's dialog template 102, read
// as the resource compiler reads it, control for control against
// ui::MainDialogTemplate(), the data the Qt window is made from; and that data
// against the window's table written out by hand.

#include <DialogTemplate.h>
#include <MainWindowTable.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// What a control is, comparable and printable; the class name's case is
// the resource compiler's business.
using Item = std::tuple<std::string, ui::DWORD, ui::DWORD, int, std::string, int, int, int, int>;

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

Item ItemOf(const ui::DlgItemTemplate& i)
{
    return {Upper(i.windowClass), i.style, i.exStyle, i.id, i.caption, i.x, i.y, i.cx, i.cy};
}

Item ItemOf(const windowtable::Control& c)
{
    return {Upper(c.windowClass), c.style, c.exStyle, c.id, c.caption, c.x, c.y, c.cx, c.cy};
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A statement's arguments, split at the commas outside quotes.
std::vector<std::string> Arguments(const std::string& text)
{
    std::vector<std::string> args(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted)
            args.emplace_back();
        else
            args.back() += c;
    }
    for (std::string& a : args)
        a = Trim(a);
    return args;
}

std::string Unquoted(const std::string& text)
{
    EXPECT_TRUE(text.size() >= 2 && text.front() == '"' && text.back() == '"') << text;
    return text.size() >= 2 ? text.substr(1, text.size() - 2) : text;
}

// The resource compiler's names: the identifiers of Resource.h and the
// window and control styles, with the values the Qt window's data uses.
class Names
{
public:
    Names()
    {
        std::ifstream header(ORVEL_RESOURCE_H);
        const std::regex define(R"(#define\s+(\w+)\s+\(?(-?\d+)\)?\s*)");
        std::smatch m;
        for (std::string line; std::getline(header, line);)
            if (std::regex_match(line, m, define))
                m_values[m[1]] = std::stol(m[2]);
        using namespace ui;
        const std::pair<const char*, DWORD> styles[] = {
            {"WS_POPUP", WS_POPUP}, {"WS_CHILD", WS_CHILD}, {"WS_VISIBLE", WS_VISIBLE}, {"WS_CAPTION", WS_CAPTION},
            {"WS_BORDER", WS_BORDER}, {"WS_VSCROLL", WS_VSCROLL}, {"WS_HSCROLL", WS_HSCROLL},
            {"WS_SYSMENU", WS_SYSMENU}, {"WS_THICKFRAME", WS_THICKFRAME}, {"WS_GROUP", WS_GROUP},
            {"WS_TABSTOP", WS_TABSTOP}, {"WS_MINIMIZEBOX", WS_MINIMIZEBOX}, {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
            {"WS_EX_STATICEDGE", WS_EX_STATICEDGE}, {"WS_EX_APPWINDOW", WS_EX_APPWINDOW},
            {"DS_SETFONT", DS_SETFONT}, {"DS_FIXEDSYS", DS_FIXEDSYS}, {"DS_SHELLFONT", DS_SHELLFONT},
            {"BS_PUSHBUTTON", BS_PUSHBUTTON}, {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX}, {"BS_GROUPBOX", BS_GROUPBOX},
            {"SS_CENTER", SS_CENTER}, {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST}, {"CBS_SORT", CBS_SORT},
            {"ES_MULTILINE", ES_MULTILINE}, {"ES_AUTOVSCROLL", ES_AUTOVSCROLL}, {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
            {"ES_READONLY", ES_READONLY}};
        for (const auto& [name, value] : styles)
            m_values[name] = value;
    }

    // A number, a name, or names and numbers joined by "|".
    long Value(const std::string& expression) const
    {
        long value = 0;
        std::istringstream terms(expression);
        for (std::string term; std::getline(terms, term, '|');) {
            term = Trim(term);
            const auto named = m_values.find(term);
            if (named != m_values.end())
                value |= named->second;
            else if (!term.empty() && std::isdigit(static_cast<unsigned char>(term[0])))
                value |= std::stol(term, nullptr, 0);
            else
                ADD_FAILURE() << "unknown name " << term << " in " << expression;
        }
        return value;
    }

private:
    std::map<std::string, long> m_values;
};

// Template 102 as the script gives it.
struct ScriptDialog
{
    long id = 0;
    ui::DWORD style = 0, exStyle = 0;
    int cx = 0, cy = 0;
    std::string caption, font;
    int pointSize = 0;
    std::vector<Item> items;
};

ScriptDialog ReadDialog(const std::string& path)
{
    const Names names;
    ScriptDialog dialog;
    std::ifstream script(path);
    EXPECT_TRUE(script.good()) << path;
    const std::regex header(R"((\w+)\s+DIALOGEX\s+(.*))");
    const std::regex statement(R"(\s*(STYLE|EXSTYLE|CAPTION|FONT|CONTROL|BEGIN|END)\b\s*(.*))");
    std::smatch m;
    bool inDialog = false, inBody = false;
    for (std::string line; std::getline(script, line);) {
        if (!inDialog) {
            if (std::regex_match(line, m, header) && names.Value(m[1]) == windowtable::kWindow.id) {
                inDialog = true;
                dialog.id = names.Value(m[1]);
                const auto rect = Arguments(m[2]);
                EXPECT_EQ(rect.size(), 4u) << line;
                if (rect.size() == 4) {
                    dialog.cx = std::stoi(rect[2]);
                    dialog.cy = std::stoi(rect[3]);
                }
            }
            continue;
        }
        if (!std::regex_match(line, m, statement)) {
            EXPECT_TRUE(Trim(line).empty() || Trim(line).rfind("//", 0) == 0) << "not understood: " << line;
            continue;
        }
        const std::string keyword = m[1];
        const std::vector<std::string> args = Arguments(m[2]);
        if (keyword == "STYLE") {
            dialog.style = names.Value(args[0]);
        } else if (keyword == "EXSTYLE") {
            dialog.exStyle = names.Value(args[0]);
        } else if (keyword == "CAPTION") {
            dialog.caption = Unquoted(args[0]);
        } else if (keyword == "FONT") {
            dialog.pointSize = std::stoi(args[0]);
            dialog.font = Unquoted(args.at(1));
        } else if (keyword == "BEGIN") {
            inBody = true;
        } else if (keyword == "END") {
            break;
        } else if (keyword == "CONTROL" && inBody) {
            // "caption", id, "class", style, x, y, cx, cy[, exstyle]
            EXPECT_TRUE(args.size() == 8 || args.size() == 9) << line;
            if (args.size() < 8)
                continue;
            dialog.items.emplace_back(Upper(Unquoted(args[2])), names.Value(args[3]),
                                      args.size() == 9 ? names.Value(args[8]) : 0, names.Value(args[1]),
                                      Unquoted(args[0]), std::stoi(args[4]), std::stoi(args[5]),
                                      std::stoi(args[6]), std::stoi(args[7]));
        }
    }
    EXPECT_TRUE(inDialog) << "no DIALOGEX for template " << windowtable::kWindow.id << " in " << path;
    return dialog;
}

} // namespace

// Every control of the script's template is the Qt window's, in the same
// place of the creation order; the window's own attributes too.
TEST(ResourceScript, DialogTemplateIsTheQtWindowsTemplateControlForControl)
{
    const ScriptDialog script = ReadDialog(ORVEL_RC_FILE);
    const ui::DlgTemplate& qt = ui::MainDialogTemplate();
    EXPECT_EQ(std::make_tuple(script.id, script.style, script.exStyle, script.cx, script.cy),
              std::make_tuple(long{qt.id}, qt.style, qt.exStyle, qt.cx, qt.cy));
    EXPECT_EQ(std::make_tuple(script.caption, script.font, script.pointSize),
              std::make_tuple(std::string(qt.caption), std::string(qt.fontFace), qt.pointSize));
    ASSERT_EQ(script.items.size(), qt.items.size());
    for (std::size_t i = 0; i < qt.items.size(); ++i)
        EXPECT_EQ(script.items[i], ItemOf(qt.items[i])) << "control #" << i;
}

// The Qt window's template data against the table written out by hand.
TEST(ResourceScript, QtWindowsTemplateIsTheWindowsTable)
{
    const ui::DlgTemplate& qt = ui::MainDialogTemplate();
    const windowtable::Window& w = windowtable::kWindow;
    EXPECT_EQ(std::make_tuple(qt.id, qt.style, qt.exStyle, qt.cx, qt.cy),
              std::make_tuple(w.id, w.style, w.exStyle, w.cx, w.cy));
    EXPECT_EQ(std::make_tuple(std::string(qt.caption), std::string(qt.fontFace), qt.pointSize),
              std::make_tuple(std::string(w.caption), std::string(w.fontFace), w.pointSize));
    ASSERT_EQ(qt.items.size(), std::size(windowtable::kControls));
    for (std::size_t i = 0; i < qt.items.size(); ++i)
        EXPECT_EQ(ItemOf(qt.items[i]), ItemOf(windowtable::kControls[i])) << "control #" << i;
}
