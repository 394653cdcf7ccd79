#include "Cp1251.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
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

TEST(Cp1251, EveryByteDecodesToOneCharacterAndEncodesBack)
{
    const std::string bytes = AllBytes();
    const QString decoded = Decode(bytes);

    ASSERT_EQ(decoded.size(), 256);
    EXPECT_EQ(ToCp1251(decoded), bytes);
}

TEST(Cp1251, BytesDecodeToTheCodePagesCharacters)
{
    const QString decoded = Decode(AllBytes());
    for (int b = 0; b < 0x80; ++b)
        EXPECT_EQ(decoded.at(b).unicode(), b) << "control characters and ASCII keep their code points";
    for (int b = 0xC0; b <= 0xFF; ++b)
        EXPECT_EQ(decoded.at(b).unicode(), 0x0410 + (b - 0xC0)) << "byte " << b;
    EXPECT_EQ(decoded.at(0xA8), QChar(0x0401)); // Ё
    EXPECT_EQ(decoded.at(0xB8), QChar(0x0451)); // ё
    EXPECT_EQ(decoded.at(0x88), QChar(0x20AC)); // €
    EXPECT_EQ(decoded.at(0xB9), QChar(0x2116)); // №
    // 0x98 is unassigned in the code page; it comes through as U+0098.
    EXPECT_EQ(decoded.at(0x98), QChar(0x0098));
}

TEST(Cp1251, RussianTextRoundTrips)
{
    const QString russian = QString::fromUtf8("Эхолот: Настройка частоты, ёж № 5\r\n");
    const std::string bytes = ToCp1251(russian);

    EXPECT_EQ(bytes.size(), static_cast<std::size_t>(russian.size()));
    EXPECT_EQ(bytes.substr(0, 6), "\xDD\xF5\xEE\xEB\xEE\xF2");
    EXPECT_EQ(Decode(bytes), russian);
}

TEST(Cp1251, UnencodableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(ToCp1251(QString::fromUtf8("A中B")), "A?B");
    EXPECT_EQ(ToCp1251(QString::fromUtf8("café")), "caf?");
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
    EXPECT_EQ(Decode(withNul).size(), 3);
    EXPECT_EQ(ToCp1251(Decode(withNul)), withNul);
}

TEST(Cp1251, ConvertsOnManyThreadsAtOnce)
{
    const std::string bytes = AllBytes();
    const QString expected = Decode(bytes);
    std::vector<int> failures(4, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                const QString decoded = Decode(bytes);
                if (decoded != expected || ToCp1251(decoded) != bytes)
                    ++failures[t];
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}
