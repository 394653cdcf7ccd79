#include "Cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace text {
namespace {

// Qt reaches the code page through ICU by this name. A converter carries
// state, so each call makes its own: that keeps the functions safe on any
// thread, and opening one costs about a microsecond.
constexpr const char* kCodePage = "windows-1251";

// ICU writes its substitution byte, SUB (0x1A), for a character it cannot
// encode, one byte per character (a surrogate pair is one character), and
// nothing for a high surrogate that ends the text. Every such character
// becomes '?'; a SUB standing for a genuine U+001A stays.
std::string ReplaceSubstitutes(const QString& text, const QByteArray& encoded)
{
    constexpr char kSubstitute = '\x1A';
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    qsizetype out = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++out) {
        const QChar c = text.at(i);
        const bool genuineSubstitute = c.unicode() == 0x1A;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        const char byte = out < encoded.size() ? encoded.at(out) : kSubstitute;
        bytes += byte == kSubstitute && !genuineSubstitute ? '?' : byte;
    }
    return bytes;
}

} // namespace

QString FromCp1251(const char* data, std::size_t size)
{
    if (data == nullptr || size == 0)
        return QString();
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    QStringDecoder decoder(kCodePage);
    if (!decoder.isValid()) // a Qt without ICU: show every byte rather than none
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

std::string ToCp1251(const QString& text)
{
    QStringEncoder encoder(kCodePage, QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) {
        const QByteArray latin1 = text.toLatin1();
        return std::string(latin1.constData(), static_cast<std::size_t>(latin1.size()));
    }
    const QByteArray encoded = encoder.encode(text);
    if (encoder.hasError())
        return ReplaceSubstitutes(text, encoded);
    return std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()));
}

} // namespace text
