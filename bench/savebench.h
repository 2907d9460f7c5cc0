#pragma once

#include <QString>
#include <QtGlobal>

// The save of a full record buffer: RecordBuffer::text() and a RecordFile write of its
// kCapacity readings, against a plain QFile write of the same bytes into the same folder.
// The buffer is filled with added readings: kCapacity of them fill it exactly, more make it
// drop the oldest.
// Each is timed from open to close, best of a few rounds, so that page-cache warm-up and the
// scheduler's noise fall out of the figures.
namespace SaveBench {

struct Result
{
    QString name;
    qint64 bytes = 0;
    double textMs = 0;  // RecordBuffer::text() alone
    double saveMs = 0;  // text(), then open, write and close of the record file
    double plainMs = 0; // open, write, flush and close of the same bytes with a plain QFile
    QString error;
};

// reading(i) is the i-th reading added, i from 0.
Result run(const QString &name, double (*reading)(qint32 i), qint32 added, const QString &folder,
           int rounds);

} // namespace SaveBench
