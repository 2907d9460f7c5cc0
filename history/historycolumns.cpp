#include "history/historycolumns.h"

#include <algorithm>
#include <cmath>

namespace HistoryColumns {

std::vector<HistoryColumn> reduce(const HistorySeries &series, qint64 fromMs, qint64 toMs,
                                  int count)
{
    std::vector<HistoryColumn> columns(size_t(std::max(count, 0)));
    if (count <= 0 || toMs <= fromMs)
        return columns;
    const double perMs = double(count) / double(toMs - fromMs);
    const qsizetype end = series.lowerBound(toMs);
    // The reading before the range decides whether the first one in it is joined.
    bool previousNumeric = false;
    qsizetype i = series.lowerBound(fromMs);
    if (i > 0)
        previousNumeric = !std::isnan(series.value(i - 1));
    for (; i < end; ++i) {
        const double value = series.value(i);
        const bool joined = series.joinedToPrevious(i) && previousNumeric;
        previousNumeric = !std::isnan(value);
        if (std::isnan(value))
            continue;
        const int c = std::min(count - 1, int(double(series.time(i) - fromMs) * perMs));
        HistoryColumn &column = columns[size_t(c)];
        if (!column.any) {
            column = {value, value, value, value, true, joined};
            continue;
        }
        column.min = std::min(column.min, value);
        column.max = std::max(column.max, value);
        column.last = value;
    }
    return columns;
}

} // namespace HistoryColumns
