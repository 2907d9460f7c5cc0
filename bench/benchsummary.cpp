#include "bench/benchsummary.h"

#include <algorithm>
#include <cstdio>

namespace {

// Columns are padded by characters, not bytes: the units hold "µ" and the figures may too.
QString padded(const QString &text, qsizetype width)
{
    return text.leftJustified(width, u' ');
}

} // namespace

void BenchSummary::print() const
{
    const QStringList heads{QStringLiteral("figure"),    QStringLiteral("value"),
                            QStringLiteral("reference"), QStringLiteral("ratio"),
                            QStringLiteral("target"),    QStringLiteral("meets")};
    QList<QStringList> lines{heads};
    for (const Row &row : m_rows) {
        const QString meets = !row.meets   ? QStringLiteral("-")
                              : *row.meets ? QStringLiteral("yes")
                                           : QStringLiteral("NO");
        lines.append({row.figure, row.value, row.reference, row.ratio, row.target, meets});
    }
    QList<qsizetype> widths(heads.size(), 0);
    for (const QStringList &line : lines)
        for (qsizetype i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    for (const QStringList &line : lines) {
        QString text;
        for (qsizetype i = 0; i < line.size(); ++i)
            text += padded(line[i], i + 1 < line.size() ? widths[i] + 2 : 0);
        std::printf("%s\n", qPrintable(text));
    }
    std::fflush(stdout);
}

int BenchSummary::missed() const
{
    return int(std::count_if(m_rows.cbegin(), m_rows.cend(),
                             [](const Row &row) { return row.meets == false; }));
}
