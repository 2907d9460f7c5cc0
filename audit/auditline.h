#pragma once

#include "audit/auditrecord.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The audit trail's line: one JSON object on one line, its members always in this order:
//   seq utc local mono session user operator source what before beforeFrom after text prev hash
// written byte for byte here rather than by QJsonDocument, so that the bytes a hash covers are
// fixed. "hash" is the SHA-256 of the line up to (not including) ,"hash": and "prev" is the hash
// of the record before, so that changing, removing or moving a line breaks the chain.
namespace AuditLine {

// The record's line, ending in "\n", after the record whose hash is prev; *hash gets its own.
QByteArray format(const AuditRecord &record, const QByteArray &prev, QByteArray *hash);

// What is read back from a line, as views into it; string values as written, escapes and all.
struct Fields
{
    qint64 seq = 0;
    QByteArrayView utc;
    QByteArrayView what;
    std::optional<QByteArrayView> before;
    std::optional<QByteArrayView> after;
    QByteArrayView prev;
    QByteArrayView hash;
    qsizetype hashedSize = 0; // the bytes the hash covers
};

// A line without its line end; nothing when it is no whole audit line (cut short, say). The
// hash is not checked here.
std::optional<Fields> read(QByteArrayView line);

} // namespace AuditLine
