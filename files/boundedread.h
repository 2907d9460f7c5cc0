#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Reads a file that a person or another program may have replaced by something that never
// answers (a FIFO, a device, a share that hangs). The file is opened without blocking and must
// be a regular file on the descriptor opened (so that nothing swapped in between a look and the
// open is read); at most limit + 1 bytes are read, so a file over its limit is refused without
// being held in memory. read() does this on the caller's thread; within() and later() run it on a
// thread of their own with a deadline, after which the read is given up and its thread left to
// end by itself: within() for the command line, before any window, waits at most that long;
// later() never waits and answers on the thread of the object it is given.
class BoundedRead
{
public:
    static constexpr int kDeadlineMs = 2000;
    // Program files; the run journal and other small state files.
    static constexpr qint64 kProgramBytes = 1 << 20;
    static constexpr qint64 kStateBytes = 64 * 1024;

    struct Result
    {
        std::optional<QByteArray> bytes; // none when refused or missing
        bool missing = false;            // nothing at the path (no problem is said)
        QString problem;                 // why not, in the panel's language
    };
    using Done = std::function<void(const Result &result)>;

    static Result read(const QString &path, qint64 limit);
    // At most `most` bytes from offset on, for files read a piece at a time (audit days); fewer
    // only at the file's end.
    static Result readPiece(const QString &path, qint64 offset, qint64 most);

    static Result within(const QString &path, qint64 limit, int deadlineMs = kDeadlineMs);
    static Result pieceWithin(const QString &path, qint64 offset, qint64 most,
                              int deadlineMs = kDeadlineMs);
    // done is called once on context's thread, unless context is gone first.
    static void later(const QString &path, qint64 limit, QObject *context, Done done,
                      int deadlineMs = kDeadlineMs);

private:
    static Result waitFor(std::function<Result()> reading, int deadlineMs);
};
