#include "Cp1251.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <utility>

using text::FromCp1251;
using text::ToCp1251;
using text::Utf8ToUtf16;

// Every byte, the unassigned 0x98 included, decodes to one character, the
// one the system's own windows-1251 codec gives, and encodes back.
TEST(Cp1251, EveryByteIsTheCodePagesCharacterBothWays)
{
    std::string bytes(256, '\0');
    std::iota(bytes.begin(), bytes.end(), '\0');
    const std::u16string decoded = FromCp1251(bytes);
    ASSERT_EQ(decoded.size(), 256u);
    QStringDecoder codec("windows-1251");
    ASSERT_TRUE(codec.isValid());
    const QString expected = codec.decode(QByteArrayView(bytes.data(), 256));
    ASSERT_EQ(expected.size(), 256);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(decoded[b], expected.at(b).unicode()) << "byte " << b;
    EXPECT_EQ(ToCp1251(decoded), bytes);
}

// A character the code page cannot hold (a surrogate pair is one, a lone
// surrogate too) becomes '?'; UTF-8 that is not valid becomes U+FFFD, which
// is such a character.
TEST(Cp1251, OtherCharactersBecomeQuestionMarksAndUtf8GoesBothWays)
{
    const std::pair<std::u16string, std::string> cases[] = {
        {Utf8ToUtf16("Эхолот ёж № АЯая Ёё €"), "\xDD\xF5\xEE\xEB\xEE\xF2 \xB8\xE6 \xB9 \xC0\xDF\xE0\xFF \xA8\xB8 \x88"},
        {Utf8ToUtf16("\x01\x1A\x7F\xC2\x98"), "\x01\x1A\x7F\x98"},
        {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
        {Utf8ToUtf16("A中B"), "A?B"},
        {Utf8ToUtf16("😀!"), "?!"},
        {std::u16string{0xD800, u'x', 0xD800}, "?x?"},
        {Utf8ToUtf16("\xC3(\xE2\x82"), "?(?"},
    };
    for (const auto& [text, cp1251] : cases) {
        EXPECT_EQ(ToCp1251(text), cp1251) << cp1251;
        // With no substitute in it, the way back gives the text.
        EXPECT_TRUE(cp1251.find('?') != std::string::npos || FromCp1251(cp1251) == text) << cp1251;
    }
    const std::string utf8 = "Ёлка 😀 €";
    EXPECT_EQ(text::Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
    EXPECT_EQ(text::Utf8ToCp1251("Передать"), "\xCF\xE5\xF0\xE5\xE4\xE0\xF2\xFC");
}
