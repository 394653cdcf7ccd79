#include "DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>

#include <cstring>

namespace ui {

namespace {

// a * b / c rounded half away from zero, for the non-negative values of a
// template (MulDiv).
int MulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

QFont DialogFont(const char* face, int pointSize)
{
    QFont font;
    if (face == nullptr || *face == '\0' || std::strcmp(face, "MS Shell Dlg") == 0
        || std::strcmp(face, "MS Shell Dlg 2") == 0) {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setStyleHint(QFont::SansSerif);
    } else {
        font = QFont(QString::fromUtf8(face));
    }
    font.setPointSize(pointSize);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width / 26 + 1) / 2, metrics.height()};
}

int DluToPixelsX(int x, const DialogBaseUnits& units)
{
    return MulDiv(x, units.cx, 4);
}

int DluToPixelsY(int y, const DialogBaseUnits& units)
{
    return MulDiv(y, units.cy, 8);
}

QRect MapDialogRect(int x, int y, int cx, int cy, const DialogBaseUnits& units)
{
    const int left = DluToPixelsX(x, units);
    const int top = DluToPixelsY(y, units);
    const int right = DluToPixelsX(x + cx, units);
    const int bottom = DluToPixelsY(y + cy, units);
    return QRect(left, top, right - left, bottom - top);
}

} // namespace ui
