#include "Cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace text {
namespace {

// Qt reaches the code page through ICU by this name. A converter carries
// state, so each call makes its own: that keeps the functions safe on any
// thread, and opening one costs well under a microsecond.
constexpr const char* kCodePage = "windows-1251";

// ICU writes its substitution byte (0x1A) for a character it cannot encode
// and flags the error; a character at a time tells the genuine U+001A apart.
std::string EncodeReplacingUnencodable(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype length =
            (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ? 2
                : 1;
        QStringEncoder encoder(kCodePage);
        const QByteArray encoded = encoder.encode(QStringView(text).mid(i, length));
        if (encoder.hasError() || encoded.size() != 1)
            bytes += '?';
        else
            bytes += encoded.front();
        i += length;
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
    QStringEncoder encoder(kCodePage);
    if (!encoder.isValid()) {
        const QByteArray latin1 = text.toLatin1();
        return std::string(latin1.constData(), static_cast<std::size_t>(latin1.size()));
    }
    const QByteArray encoded = encoder.encode(text);
    if (encoder.hasError())
        return EncodeReplacingUnencodable(text);
    return std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()));
}

} // namespace text
