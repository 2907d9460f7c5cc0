#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class QTextStream;

// Checks an audit trail's files: each line's hash over its own bytes, each "prev" against the
// record before, each seq one more than the one before, and each file's file-start against the
// file before it. The files may come in any order; they are read in the order of their first
// record, one line at a time, never whole. The result is the first break, labelled by what it
// looks like (changed, removed, inserted or reordered, renamed), not by why it happened. A line
// cut short by a crash is accepted at a file's end or just before the next start's first record,
// with a warning; a clock set back, with a note. Removing the newest records leaves a shorter
// chain that is whole: only a head noted earlier (seq and hash) shows that.
class AuditVerifier
{
public:
    enum ExitCode { kOk = 0, kBroken = 1, kUnusable = 2 };
    enum class Break {
        None,
        Changed,
        Removed,
        InsertedOrReordered,
        Renamed,
        HeadNotFound,
        HeadMismatch
    };

    struct Head
    {
        qint64 seq = 0;
        QByteArray hash;
    };

    struct Result
    {
        int exitCode = kOk;
        qint64 records = 0;
        Head head; // the last record
        // The first break, when exitCode is kBroken.
        Break how = Break::None;
        QString file;
        qint64 line = 0;
        qint64 seq = 0;
        QStringList warnings;
        QStringList notes;
        QString error; // when exitCode is kUnusable
    };

    // "SEQ:HASH", as an ok line ends; nothing when it is not one.
    static std::optional<Head> parseHead(const QString &text);
    static Result verify(const QStringList &files, const std::optional<Head> &head);
    // verify() told on out (warnings, notes, then the result line) and err (why nothing could
    // be verified); returns the exit code.
    static int run(const QStringList &files, const std::optional<Head> &head, QTextStream &out,
                   QTextStream &err);
    static QString label(Break how);
};
