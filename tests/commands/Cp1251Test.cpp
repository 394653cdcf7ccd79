#include "Cp1251.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace std::string_literals;
using text::FromCp1251;
using text::ToCp1251;

// Every byte, the unassigned 0x98 included, decodes to one character and
// encodes back, on many threads at once (each call makes its own converter:
// a shared one would race).
TEST(Cp1251, EveryByteDecodesToOneCharacterAndEncodesBackOnAnyThread)
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
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
TEST(Cp1251, CharactersAreTheCodePagesBothWays)
{
    const std::pair<std::string, std::string> both[] = {
        {"Эхолот ёж № АЯая Ёё €", "\xDD\xF5\xEE\xEB\xEE\xF2 \xB8\xE6 \xB9 \xC0\xDF\xE0\xFF \xA8\xB8 \x88"},
        {"\x01\x1A\x7F\xC2\x98", "\x01\x1A\x7F\x98"},
        {"a\0b"s, "a\0b"s},
    };
    for (const auto& [utf8, cp1251] : both) {
        const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        EXPECT_EQ(FromCp1251(cp1251.data(), cp1251.size()), text) << cp1251;
        EXPECT_EQ(ToCp1251(text), cp1251) << utf8;
    }
}

// A character the code page cannot hold (a surrogate pair is one, a lone
// surrogate too) becomes '?'; a genuine SUB is not taken for the
// converter's substitute.
TEST(Cp1251, UnencodableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(ToCp1251(QString::fromUtf8("A中B")), "A?B");
    EXPECT_EQ(ToCp1251(QString::fromUtf8("😀!")), "?!");
    EXPECT_EQ(ToCp1251(QString(QChar(0xD800)) + "x" + QChar(0xD800)), "?x?");
    EXPECT_EQ(ToCp1251(QString::fromUtf8("\x1A中")), "\x1A?");
}
