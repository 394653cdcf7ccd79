#include "Cp1251.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using text::FromCp1251;
using text::ToCp1251;

// Every byte, the unassigned 0x98 included, decodes to one character and
// encodes back, on many threads at once (each call makes its own converter:
// a shared one would race).
TEST(Cp1251, EveryByteDecodesToOneCharacterAndEncodesBackOnAnyThread)
{
    std::string bytes(256, '\0');
    std::iota(bytes.begin(), bytes.end(), '\0');
    ASSERT_EQ(FromCp1251(bytes.data(), bytes.size()).size(), 256);
    std::vector<int> failures(4, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i)
                failures[t] += ToCp1251(FromCp1251(bytes.data(), bytes.size())) != bytes;
        });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

// The letters, signs and control characters are the code page's both ways.
// A character it cannot hold (a surrogate pair is one, a lone surrogate too)
// becomes '?'; a genuine SUB is not taken for the converter's substitute.
TEST(Cp1251, CharactersAreTheCodePagesBothWaysAndOthersBecomeQuestionMarks)
{
    const std::pair<QString, std::string> cases[] = {
        {QString::fromUtf8("Эхолот ёж № АЯая Ёё €"), "\xDD\xF5\xEE\xEB\xEE\xF2 \xB8\xE6 \xB9 \xC0\xDF\xE0\xFF \xA8\xB8 \x88"},
        {QString::fromUtf8("\x01\x1A\x7F\xC2\x98"), "\x01\x1A\x7F\x98"},
        {QString::fromUtf8("a\0b", 3), std::string("a\0b", 3)},
        {QString::fromUtf8("A中B"), "A?B"},
        {QString::fromUtf8("😀!"), "?!"},
        {QString(QChar(0xD800)) + "x" + QChar(0xD800), "?x?"},
        {QString::fromUtf8("\x1A中"), "\x1A?"},
    };
    for (const auto& [text, cp1251] : cases) {
        EXPECT_EQ(ToCp1251(text), cp1251) << cp1251;
        // With no substitute in it, the way back gives the text.
        EXPECT_TRUE(cp1251.find('?') != std::string::npos || FromCp1251(cp1251.data(), cp1251.size()) == text) << cp1251;
    }
}
