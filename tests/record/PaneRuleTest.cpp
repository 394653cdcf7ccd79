// The record numbers lines as the pane breaks them: for any device stream
// cut anywhere into reads, the lines begun by the record's splitter are the
// pane's lines (ui::AppendPaneBytes), holding the same text, and both carry
// the same CR over to the next read.

#include "LineSplitter.h"

#include <ReceivedText.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

TEST(PaneRule, TheRecordsLinesAreThePanesLines)
{
    std::mt19937 random(3);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\r', '\n', '\0'};
    for (int round = 0; round < 3000; ++round) {
        std::string stream(random() % 120, '\0');
        for (char& c : stream)
            c = alphabet[random() % sizeof alphabet];

        std::string pane;
        bool afterCr = false;
        record::CLineSplitter splitter;
        std::vector<std::size_t> begins;
        for (std::size_t at = 0; at <= stream.size();) {
            const std::size_t size = std::min<std::size_t>(random() % 6, stream.size() - at);
            ui::AppendPaneBytes(pane, stream.data() + at, size, afterCr);
            splitter.Split(stream.data() + at, size, [&](std::size_t i) { begins.push_back(at + i); });
            at += size;
            if (at == stream.size() && random() % 2)
                break;
        }
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(splitter.GetState().afterCr, afterCr);

        std::vector<std::string> paneLines(1);
        for (const char c : pane) {
            if (c == '\n')
                paneLines.emplace_back();
            else
                paneLines.back() += c;
        }
        // The pane's last line is begun only when something came after the last break.
        ASSERT_EQ(begins.size(), paneLines.size() - (splitter.GetState().inLine ? 0 : 1));
        for (std::size_t line = 0; line < begins.size(); ++line) {
            const std::size_t end = stream.find_first_of("\r\n", begins[line]);
            ASSERT_EQ(stream.substr(begins[line], end - begins[line]), paneLines[line]) << "line " << line;
        }
    }
}
