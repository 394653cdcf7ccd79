#include "Cp1251.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

using text::FromCp1251;
using text::ToCp1251;

namespace {

std::string AllBytes()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

QString Decode(const std::string& bytes)
{
    return FromCp1251(bytes.data(), bytes.size());
}

} // namespace

// Control characters and ASCII keep their code points; 0xC0-0xFF are А-я;
// the unassigned 0x98 comes through as U+0098; all of it encodes back.
TEST(Cp1251, EveryByteDecodesToItsCharacterAndEncodesBack)
{
    const std::string bytes = AllBytes();
    const QString decoded = Decode(bytes);
    ASSERT_EQ(decoded.size(), 256);
    EXPECT_EQ(ToCp1251(decoded), bytes);

    for (int b = 0; b < 0x80; ++b)
        EXPECT_EQ(decoded.at(b).unicode(), b);
    for (int b = 0xC0; b <= 0xFF; ++b)
        EXPECT_EQ(decoded.at(b).unicode(), 0x0410 + (b - 0xC0)) << "byte " << b;
    const std::pair<int, int> others[] = {{0xA8, 0x0401}, {0xB8, 0x0451}, {0x88, 0x20AC}, {0xB9, 0x2116}, {0x98, 0x0098}};
    for (const auto& [byte, character] : others)
        EXPECT_EQ(decoded.at(byte).unicode(), character) << "byte " << byte;

    EXPECT_EQ(ToCp1251(QString::fromUtf8("Эхолот ёж №")), "\xDD\xF5\xEE\xEB\xEE\xF2 \xB8\xE6 \xB9");
}

TEST(Cp1251, UnencodableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(ToCp1251(QString::fromUtf8("A中B")), "A?B");
    EXPECT_EQ(ToCp1251(QString::fromUtf8("😀!")), "?!") << "a surrogate pair is one character";
    EXPECT_EQ(ToCp1251(QString(QChar(0xD800)) + "x"), "?x") << "a lone surrogate";
    EXPECT_EQ(ToCp1251(QString("x") + QChar(0xD800)), "x?") << "a lone surrogate at the end";
    // A genuine SUB character is not mistaken for the converter's substitute.
    EXPECT_EQ(ToCp1251(QString(QChar(0x1A)) + QString::fromUtf8("中")), std::string("\x1A?"));
}

TEST(Cp1251, EmptyInputAndEmbeddedNulBytes)
{
    EXPECT_TRUE(FromCp1251(nullptr, 0).isEmpty());
    EXPECT_TRUE(FromCp1251("abc", 0).isEmpty());
    EXPECT_EQ(ToCp1251(QString()), "");
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(ToCp1251(Decode(withNul)), withNul);
}

// Each call makes its own converter: a shared one would race.
TEST(Cp1251, ConvertsOnManyThreadsAtOnce)
{
    const std::string bytes = AllBytes();
    std::vector<int> failures(4, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i)
                failures[t] += ToCp1251(Decode(bytes)) != bytes;
        });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}
