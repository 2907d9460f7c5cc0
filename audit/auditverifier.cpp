#include "audit/auditverifier.h"

#include "audit/audithash.h"
#include "audit/auditline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr qsizetype kReadSize = 4 * 1024 * 1024;

// A file's lines, read a few megabytes at a time.
class LineReader
{
public:
    bool open(const QString &path, qint64 offset, QString *error)
    {
        m_file.setFileName(path);
        // A FIFO or a device given by mistake would block or never end.
        if (!QFileInfo(path).isFile()) {
            *error = QCoreApplication::translate("AuditVerifier", "%1 is not a file")
                         .arg(QDir::toNativeSeparators(path));
            return false;
        }
        if (!m_file.open(QIODevice::ReadOnly) || (offset > 0 && !m_file.seek(offset))) {
            *error = QCoreApplication::translate("AuditVerifier", "cannot read %1: %2")
                         .arg(QDir::toNativeSeparators(path), m_file.errorString());
            return false;
        }
        m_bufferOffset = offset;
        return true;
    }

    // The next line without its line end, valid until the next call; *ended says whether it had
    // one. False at the file's end, or on a read error (failed()).
    bool next(QByteArrayView *line, bool *ended)
    {
        for (;;) {
            const char *begin = m_buffer.constData() + m_start;
            const void *end = std::memchr(begin, '\n', size_t(m_end - m_start));
            if (end || (m_atEnd && m_start < m_end)) {
                const qsizetype size =
                    end ? static_cast<const char *>(end) - begin : m_end - m_start;
                *line = QByteArrayView(begin, size);
                *ended = end != nullptr;
                m_start += size + (end ? 1 : 0);
                ++m_lineNumber;
                return true;
            }
            if (m_atEnd || !fill())
                return false;
        }
    }

    qint64 lineNumber() const { return m_lineNumber; }
    qint64 nextLineOffset() const { return m_bufferOffset + m_start; }
    bool failed() const { return m_failed; }
    QString errorString() const { return m_file.errorString(); }

private:
    bool fill()
    {
        // Keep the partial line, then read behind it; a line longer than the buffer grows it.
        m_bufferOffset += m_start;
        std::memmove(m_buffer.data(), m_buffer.constData() + m_start, size_t(m_end - m_start));
        m_end -= m_start;
        m_start = 0;
        if (m_buffer.size() - m_end < kReadSize / 2)
            m_buffer.resize(std::max<qsizetype>(kReadSize, m_buffer.size() * 2));
        const qint64 read = m_file.read(m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (read < 0) {
            m_failed = true;
            return false;
        }
        m_end += read;
        m_atEnd = read == 0;
        return true;
    }

    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_start = 0;
    qsizetype m_end = 0;
    qint64 m_bufferOffset = 0; // of the buffer's first byte in the file
    qint64 m_lineNumber = 0;
    bool m_atEnd = false;
    bool m_failed = false;
};

struct FileOrder
{
    QString path;
    qint64 firstSeq = 0;
    bool hasRecord = false;
};

class Walk
{
public:
    Walk(const std::optional<AuditVerifier::Head> &head, AuditVerifier::Result *result)
        : m_head(head), m_result(result)
    {
    }

    bool order(const QStringList &paths);
    void check();

private:
    bool checkFile(qsizetype index);
    bool checkRecord(const AuditLine::Fields &fields, QByteArrayView line, qsizetype index,
                     const LineReader &reader);
    bool checkFileStart(const AuditLine::Fields &fields, qsizetype index, qint64 line);
    bool foundLater(qint64 from, qint64 to, qsizetype index, qint64 offset);
    bool breakAt(AuditVerifier::Break how, const QString &path, qint64 line, qint64 seq);
    bool unreadable(const QString &error);
    void warnCutShort(const QString &path, qint64 line);

    const std::optional<AuditVerifier::Head> &m_head;
    AuditVerifier::Result *m_result;
    QList<FileOrder> m_files;
    bool m_started = false;
    qint64 m_seq = 0;
    std::string m_hash;
    std::string m_utc;
    bool m_headSeen = false;
    qint64 m_endLine = 0; // of the file read last
    // The file before the one being read that held a record, and its last seq.
    QString m_lastFileName;
    QString m_lastFolderFile; // "<instance>/<day>.jsonl"
    qint64 m_lastFileSeq = 0;
    // A line cut short just before the record being read.
    QString m_cutPath;
    qint64 m_cutLine = 0;
};

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool Walk::order(const QStringList &paths)
{
    for (const QString &path : paths) {
        LineReader reader;
        QString error;
        if (!reader.open(path, 0, &error))
            return unreadable(error);
        FileOrder file{path};
        QByteArrayView line;
        bool ended = false;
        while (!file.hasRecord && reader.next(&line, &ended)) {
            if (const auto fields = AuditLine::read(line)) {
                file.firstSeq = fields->seq;
                file.hasRecord = true;
            }
        }
        if (reader.failed())
            return unreadable(QCoreApplication::translate("AuditVerifier", "cannot read %1: %2")
                                  .arg(shown(path), reader.errorString()));
        m_files.append(file);
    }
    // Files without a record come last, where they break nothing that came before.
    std::stable_sort(m_files.begin(), m_files.end(), [](const FileOrder &a, const FileOrder &b) {
        if (a.hasRecord != b.hasRecord)
            return a.hasRecord;
        return a.firstSeq < b.firstSeq;
    });
    return true;
}

void Walk::check()
{
    for (qsizetype i = 0; i < m_files.size(); ++i)
        if (!checkFile(i))
            return;
    if (m_head && !m_headSeen) {
        breakAt(AuditVerifier::Break::HeadNotFound, m_files.last().path, m_endLine, m_head->seq);
        return;
    }
    m_result->head = {m_seq, QByteArray::fromStdString(m_hash)};
}

bool Walk::checkFile(qsizetype index)
{
    const QString &path = m_files[index].path;
    LineReader reader;
    QString error;
    if (!reader.open(path, 0, &error))
        return unreadable(error);
    QByteArrayView line;
    bool ended = true;
    qint64 cutLine = 0; // an unreadable line waiting for what comes after it
    bool first = true;
    while (reader.next(&line, &ended)) {
        const auto fields = AuditLine::read(line);
        if (!fields) {
            if (cutLine > 0)
                return breakAt(AuditVerifier::Break::Changed, path, cutLine, m_seq + 1);
            cutLine = reader.lineNumber();
            continue;
        }
        if (cutLine > 0) {
            // A crash leaves a line cut short; the next start writes its own first record
            // after it: a file-start in a file that held nothing yet, else a session-start.
            const bool restart =
                fields->what == "session-start" || (cutLine == 1 && fields->what == "file-start");
            if (!restart)
                return breakAt(AuditVerifier::Break::Changed, path, cutLine, m_seq + 1);
            warnCutShort(path, cutLine);
            cutLine = 0;
        }
        if (!ended)
            m_result->warnings.append(
                QCoreApplication::translate("AuditVerifier", "%1 line %2 has no line end")
                    .arg(shown(path))
                    .arg(reader.lineNumber()));
        if (!checkRecord(*fields, line, index, reader))
            return false;
        if (first && !checkFileStart(*fields, index, reader.lineNumber()))
            return false;
        first = false;
        m_cutPath.clear();
    }
    if (reader.failed())
        return unreadable(QCoreApplication::translate("AuditVerifier", "cannot read %1: %2")
                              .arg(shown(path), reader.errorString()));
    m_endLine = reader.lineNumber();
    if (cutLine > 0)
        warnCutShort(path, cutLine);
    if (!m_files[index].hasRecord && cutLine == 0)
        m_result->warnings.append(
            QCoreApplication::translate("AuditVerifier", "%1 holds no record").arg(shown(path)));
    if (m_files[index].hasRecord) {
        m_lastFileName = QFileInfo(path).fileName();
        m_lastFolderFile = QFileInfo(path).dir().dirName() + u'/' + m_lastFileName;
        m_lastFileSeq = m_seq;
    }
    return true;
}

bool Walk::checkRecord(const AuditLine::Fields &fields, QByteArrayView line, qsizetype index,
                       const LineReader &reader)
{
    using Break = AuditVerifier::Break;
    const QString &path = m_files[index].path;
    const qint64 number = reader.lineNumber();
    if (!AuditHash::matches(line.first(fields.hashedSize), fields.hash))
        return breakAt(Break::Changed, path, number, fields.seq);
    if (m_started) {
        if (fields.seq <= m_seq)
            return breakAt(Break::InsertedOrReordered, path, number, fields.seq);
        if (fields.seq > m_seq + 1) {
            // A line cut short that was no crash's: that record is the one missing.
            if (!m_cutPath.isEmpty())
                return breakAt(Break::Changed, m_cutPath, m_cutLine, m_seq + 1);
            const bool later =
                foundLater(m_seq + 1, fields.seq - 1, index, reader.nextLineOffset());
            return breakAt(later ? Break::InsertedOrReordered : Break::Removed, path, number,
                           fields.seq);
        }
        if (fields.prev != QByteArrayView(m_hash))
            return breakAt(Break::InsertedOrReordered, path, number, fields.seq);
        if (fields.utc < QByteArrayView(m_utc))
            m_result->notes.append(
                QCoreApplication::translate(
                    "AuditVerifier", "the clock was set back at %1 line %2 (seq %3): %4 after %5")
                    .arg(shown(path))
                    .arg(number)
                    .arg(fields.seq)
                    .arg(QString::fromUtf8(fields.utc), QString::fromStdString(m_utc)));
    } else {
        // Only a crash at a file's first record leaves a line cut short before it.
        if (!m_cutPath.isEmpty() && fields.what != "file-start")
            return breakAt(Break::Changed, m_cutPath, m_cutLine, fields.seq - 1);
        if ((fields.seq > 1 && foundLater(1, fields.seq - 1, index, reader.nextLineOffset())) ||
            (fields.seq == 1 && fields.prev != AuditHash::none()))
            return breakAt(Break::InsertedOrReordered, path, number, fields.seq);
    }
    if (m_head && fields.seq == m_head->seq) {
        if (fields.hash != m_head->hash)
            return breakAt(Break::HeadMismatch, path, number, fields.seq);
        m_headSeen = true;
    }
    m_started = true;
    m_seq = fields.seq;
    m_hash.assign(fields.hash.data(), size_t(fields.hash.size()));
    m_utc.assign(fields.utc.data(), size_t(fields.utc.size()));
    ++m_result->records;
    return true;
}

bool Walk::checkFileStart(const AuditLine::Fields &fields, qsizetype index, qint64 line)
{
    using Break = AuditVerifier::Break;
    const QString &path = m_files[index].path;
    // Every file begins with one; a file that does not has lost its first records.
    if (fields.what != "file-start")
        return breakAt(Break::Removed, path, line, fields.seq);
    const QByteArray named = fields.after.value_or(QByteArrayView()).toByteArray();
    if (named != QFileInfo(path).fileName().toUtf8()) {
        // The first line of another file given here has been moved; otherwise the file has
        // another name than it was written under.
        const bool moved =
            std::any_of(m_files.cbegin(), m_files.cend(), [&](const FileOrder &file) {
                return QFileInfo(file.path).fileName().toUtf8() == named;
            });
        return breakAt(moved ? Break::InsertedOrReordered : Break::Renamed, path, line, fields.seq);
    }
    if (m_lastFileName.isEmpty()) {
        if (fields.seq > 1)
            m_result->notes.append(
                QCoreApplication::translate(
                    "AuditVerifier", "the chain begins at seq %1, after %2, which was not given")
                    .arg(fields.seq)
                    .arg(fields.before ? QString::fromUtf8(*fields.before) : QString()));
        return true;
    }
    const QByteArray before = fields.before.value_or(QByteArrayView()).toByteArray();
    const qsizetype colon = before.lastIndexOf(':');
    // A trail that went on under a new instance name names its former folder too.
    if (colon < 0 || (before.first(colon) != m_lastFileName.toUtf8() &&
                      before.first(colon) != m_lastFolderFile.toUtf8()))
        return breakAt(Break::Renamed, path, line, fields.seq);
    if (before.sliced(colon + 1) != QByteArray::number(m_lastFileSeq))
        return breakAt(Break::Removed, path, line, fields.seq);
    return true;
}

// Whether a record with a seq from..to comes later: then the gap before it is records moved,
// not records lost.
bool Walk::foundLater(qint64 from, qint64 to, qsizetype index, qint64 offset)
{
    for (qsizetype i = index; i < m_files.size(); ++i) {
        LineReader reader;
        QString error;
        if (!reader.open(m_files[i].path, i == index ? offset : 0, &error))
            return false;
        QByteArrayView line;
        bool ended = false;
        while (reader.next(&line, &ended)) {
            const auto fields = AuditLine::read(line);
            if (fields && fields->seq >= from && fields->seq <= to)
                return true;
        }
    }
    return false;
}

bool Walk::breakAt(AuditVerifier::Break how, const QString &path, qint64 line, qint64 seq)
{
    m_result->exitCode = AuditVerifier::kBroken;
    m_result->how = how;
    m_result->file = path;
    m_result->line = line;
    m_result->seq = seq;
    return false;
}

bool Walk::unreadable(const QString &error)
{
    m_result->exitCode = AuditVerifier::kUnusable;
    m_result->error = error;
    return false;
}

void Walk::warnCutShort(const QString &path, qint64 line)
{
    m_result->warnings.append(
        QCoreApplication::translate("AuditVerifier",
                                    "%1 line %2 is cut short, as a crash while writing leaves it")
            .arg(shown(path))
            .arg(line));
    m_cutPath = path;
    m_cutLine = line;
}

} // namespace

std::optional<AuditVerifier::Head> AuditVerifier::parseHead(const QString &text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    bool isNumber = false;
    const qint64 seq = text.first(std::max<qsizetype>(colon, 0)).toLongLong(&isNumber);
    const QByteArray hash = text.sliced(colon + 1).toLatin1().toLower();
    if (colon < 0 || !isNumber || seq < 1 || hash.size() != AuditHash::kHexSize ||
        QByteArray::fromHex(hash).toHex() != hash)
        return std::nullopt;
    return Head{seq, hash};
}

AuditVerifier::Result AuditVerifier::verify(const QStringList &files,
                                            const std::optional<Head> &head)
{
    Result result;
    if (files.isEmpty()) {
        result.exitCode = kUnusable;
        result.error = QCoreApplication::translate("AuditVerifier", "no audit files given");
        return result;
    }
    Walk walk(head, &result);
    if (walk.order(files))
        walk.check();
    return result;
}

int AuditVerifier::run(const QStringList &files, const std::optional<Head> &head, QTextStream &out,
                       QTextStream &err)
{
    const Result result = verify(files, head);
    for (const QString &warning : result.warnings)
        out << QCoreApplication::translate("AuditVerifier", "warning: %1").arg(warning) << '\n';
    for (const QString &note : result.notes)
        out << QCoreApplication::translate("AuditVerifier", "note: %1").arg(note) << '\n';
    switch (result.exitCode) {
    case kOk:
        out << QCoreApplication::translate("AuditVerifier", "ok, %1 records, head %2:%3")
                   .arg(result.records)
                   .arg(result.head.seq)
                   .arg(QString::fromLatin1(result.head.hash))
            << '\n';
        break;
    case kBroken:
        out << QCoreApplication::translate("AuditVerifier", "broken: %1 line %2, seq %3: %4")
                   .arg(shown(result.file))
                   .arg(result.line)
                   .arg(result.seq)
                   .arg(label(result.how))
            << '\n';
        break;
    default:
        err << result.error << '\n';
    }
    out.flush();
    err.flush();
    return result.exitCode;
}

QString AuditVerifier::label(Break how)
{
    switch (how) {
    case Break::None:
        break;
    case Break::Changed:
        return QCoreApplication::translate("AuditVerifier", "changed");
    case Break::Removed:
        return QCoreApplication::translate("AuditVerifier", "removed");
    case Break::InsertedOrReordered:
        return QCoreApplication::translate("AuditVerifier", "inserted or reordered");
    case Break::Renamed:
        return QCoreApplication::translate("AuditVerifier", "renamed");
    case Break::HeadNotFound:
        return QCoreApplication::translate("AuditVerifier", "head not found");
    case Break::HeadMismatch:
        return QCoreApplication::translate("AuditVerifier", "head does not match");
    }
    return QString();
}
