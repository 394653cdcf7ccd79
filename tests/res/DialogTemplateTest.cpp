// ui::MainDialogTemplate(), the data the Qt window is made from, against the
// window's table written out by hand. (The Windows build's window_win_tests
// check the dialog made from res/OrvelConfigurator.rc against the same table.)

#include <DialogTemplate.h>
#include <MainWindowTable.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <tuple>

namespace {

// What a control is, comparable and printable; the class name's case is
// the resource compiler's business.
using Item = std::tuple<std::string, ui::DWORD, ui::DWORD, int, std::string, int, int, int, int>;

template <typename Control>
Item ItemOf(const Control& c)
{
    std::string windowClass = c.windowClass;
    std::transform(windowClass.begin(), windowClass.end(), windowClass.begin(),
                   [](unsigned char ch) { return std::toupper(ch); });
    return {windowClass, c.style, c.exStyle, c.id, c.caption, c.x, c.y, c.cx, c.cy};
}

} // namespace

TEST(DialogTemplate, QtWindowsTemplateIsTheWindowsTable)
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
