#pragma once

#include <QIODevice>

#include <atomic>

class RunHistory;

// The readings and events of a time range as CSV, in time order, one row each:
//   time,elapsed_s,event,text,value
// A reading has no event, its four characters as received in text, and its value, or nothing
// for a reply that is no number; an event has its key and text and no value. time is local
// ISO time with milliseconds, elapsed_s the seconds since the range's first row. Each cell is
// written as CsvCell has it: a reply or a text a spreadsheet would run as a formula never runs.
namespace HistoryCsv {

// False, with the device's error, when a write fails; or when *cancelled is set, which is looked
// at after each megabyte.
bool write(QIODevice *device, const RunHistory &record, qint64 fromMs, qint64 toMs,
           const std::atomic_bool *cancelled = nullptr);

} // namespace HistoryCsv
