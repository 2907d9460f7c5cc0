#pragma once

#include "history/historyseries.h"

#include <vector>

// The readings of a time range reduced to one column per pixel: each column's lowest and
// highest value and its first and last, so that a million readings draw as fast as a
// thousand and no peak is lost between pixels.
struct HistoryColumn
{
    double min = 0;
    double max = 0;
    double first = 0;
    double last = 0;
    bool any = false;    // a numeric reading falls in the column
    bool joined = false; // its first reading is joined to the last one before it
};

namespace HistoryColumns {

// Columns for [fromMs, toMs) in `count` equal parts.
std::vector<HistoryColumn> reduce(const HistorySeries &series, qint64 fromMs, qint64 toMs,
                                  int count);

} // namespace HistoryColumns
