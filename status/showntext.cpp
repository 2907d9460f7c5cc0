#include "status/showntext.h"

#include <QList>
#include <QStringView>

#include <algorithm>

namespace ShownText {

namespace {

QString shown(const QString &text, bool keepLineEnds)
{
    const auto hides = [keepLineEnds](char32_t c) {
        return isHidden(c) && !(keepLineEnds && c == U'\n');
    };
    const QList<uint> points = QStringView(text).toUcs4();
    if (std::none_of(points.cbegin(), points.cend(), hides))
        return text;
    QString out;
    for (const uint c : points) {
        if (hides(c))
            out += QStringLiteral("‹U+%1›").arg(
                QString::number(c, 16).toUpper().rightJustified(4, u'0'));
        else
            out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
    }
    return out;
}

} // namespace

bool isHidden(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x061c || c == 0x200e || c == 0x200f ||
           c == 0x2028 || c == 0x2029 || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069);
}

QString name(const QString &text)
{
    return shown(text, false);
}

QString row(const QString &text)
{
    return shown(text, true);
}

} // namespace ShownText
