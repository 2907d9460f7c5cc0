#pragma once

#include <QIODevice>

class RunRecord;

// The readings and events of a time range as CSV, in time order, one row each:
//   time,elapsed_s,event,text,value
// A reading has no event, its four characters as received in text, and its value, or nothing
// for a reply that is no number; an event has its key and text and no value. time is local
// ISO time with milliseconds, elapsed_s the seconds since the range's first row.
namespace HistoryCsv {

// False, with the device's error, when a write fails.
bool write(QIODevice *device, const RunRecord &record, qint64 fromMs, qint64 toMs);
// A field as written: quoted when it holds a comma, a quote or a line end.
QByteArray field(const QString &text);

} // namespace HistoryCsv
