#include "audit/audittrailtable.h"

#include "files/boundedread.h"
#include "records/csvcell.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

const QString kDayFormat = QStringLiteral("yyyy-MM-dd");
const QString kSuffix = QStringLiteral(".jsonl");
// A day's file is read in pieces of this size, each within BoundedRead's deadline.
constexpr qint64 kPieceBytes = 4 << 20;

AuditTrailTable::Row rowOf(const QString &instance, qint64 number, QByteArrayView line)
{
    AuditTrailTable::Row row;
    row.instance = instance;
    row.line = number;
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), line.size()), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        row.readable = false;
        row.cells[AuditTrailTable::Text] = QString::fromUtf8(line);
        return row;
    }
    const QJsonObject record = document.object();
    const auto text = [&record](const char *key) {
        return record.value(QLatin1String(key)).toString();
    };
    row.cells = {QString::number(record.value(QLatin1String("seq")).toInteger()),
                 text("local"),
                 text("user"),
                 text("operator"),
                 text("source"),
                 text("what"),
                 text("before"),
                 text("after"),
                 text("text")};
    return row;
}

} // namespace

AuditTrailTable::AuditTrailTable(QObject *parent) : QAbstractTableModel(parent) {}

QList<QDate> AuditTrailTable::days(const QString &folder)
{
    QSet<QDate> found;
    const QDir root(folder);
    for (const QString &instance : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir files(root.filePath(instance));
        for (const QString &name : files.entryList({QLatin1Char('*') + kSuffix}, QDir::Files)) {
            const QDate date = QDate::fromString(name.chopped(kSuffix.size()), kDayFormat);
            if (date.isValid())
                found.insert(date);
        }
    }
    QList<QDate> days(found.cbegin(), found.cend());
    std::sort(days.begin(), days.end(), std::greater<>());
    return days;
}

AuditTrailTable::Day AuditTrailTable::read(const QString &folder, QDate date)
{
    // Each instance's file is verified alone. Its file-start names the file before and that
    // file's last seq, which the verifier checks only when given both; following every
    // instance back to its first day would read months of records to show one day. What a
    // file alone shows is every record of the day changed, removed, inserted or moved; a cut
    // at the end of an earlier day is found by verifying all of the instance's files at once.
    Day day{date, {}, {}};
    const QString name = date.toString(kDayFormat) + kSuffix;
    const QDir root(folder);
    for (const QString &instance : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString path = root.filePath(instance + QLatin1Char('/') + name);
        // Anything at the day's path is looked at; what is no file is said, not skipped.
        if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink())
            continue;
        // Read first, a piece at a time, each within its deadline: a FIFO or a share that
        // hangs gives up the day with its reason rather than hold this thread for ever.
        QByteArray bytes;
        QString problem;
        for (;;) {
            const BoundedRead::Result piece =
                BoundedRead::pieceWithin(path, bytes.size(), kPieceBytes);
            if (!piece.bytes) {
                problem = piece.missing ? QStringLiteral("文件不存在") : piece.problem;
                break;
            }
            bytes += *piece.bytes;
            if (piece.bytes->size() < kPieceBytes)
                break;
        }
        if (!problem.isEmpty()) {
            AuditVerifier::Result unread;
            unread.exitCode = AuditVerifier::kUnusable;
            unread.error = QStringLiteral("%1：%2").arg(QDir::toNativeSeparators(path), problem);
            day.chains.append({instance, path, unread});
            continue;
        }
        const Chain chain{instance, path, AuditVerifier::verify({path}, std::nullopt)};
        day.chains.append(chain);
        const bool broken = chain.result.exitCode == AuditVerifier::kBroken;
        qint64 number = 0;
        for (qsizetype at = 0; at < bytes.size();) {
            qsizetype end = bytes.indexOf('\n', at);
            if (end < 0)
                end = bytes.size();
            Row row = rowOf(instance, ++number, QByteArrayView(bytes).sliced(at, end - at));
            row.broken = broken && chain.result.line == number;
            day.rows.append(std::move(row));
            at = end + 1;
        }
    }
    return day;
}

void AuditTrailTable::setDay(Day day)
{
    beginResetModel();
    m_day = std::move(day);
    m_shown.clear();
    for (qsizetype i = 0; i < m_day.rows.size(); ++i)
        if (matches(m_day.rows[i]))
            m_shown.append(i);
    endResetModel();
}

QStringList AuditTrailTable::kinds() const
{
    QSet<QString> kinds;
    for (const Row &row : m_day.rows)
        if (row.readable)
            kinds.insert(row.cells[What]);
    QStringList sorted(kinds.cbegin(), kinds.cend());
    sorted.sort();
    return sorted;
}

void AuditTrailTable::setFilter(const QString &kind, const QString &text)
{
    if (kind == m_kind && text == m_text)
        return;
    m_kind = kind;
    m_text = text;
    setDay(std::move(m_day));
}

bool AuditTrailTable::matches(const Row &row) const
{
    if (!m_kind.isEmpty() && (!row.readable || row.cells[What] != m_kind))
        return false;
    if (m_text.isEmpty() || row.instance.contains(m_text, Qt::CaseInsensitive))
        return true;
    return std::any_of(row.cells.cbegin(), row.cells.cend(), [this](const QString &cell) {
        return cell.contains(m_text, Qt::CaseInsensitive);
    });
}

int AuditTrailTable::brokenRow() const
{
    for (qsizetype i = 0; i < m_shown.size(); ++i)
        if (m_day.rows[m_shown[i]].broken)
            return int(i);
    return -1;
}

QByteArray AuditTrailTable::csv() const
{
    QByteArray out("\xEF\xBB\xBF"); // or a spreadsheet opens it as the local 8-bit code page
    out += CsvCell::field(tr("实例"));
    for (int column = 0; column < ColumnCount; ++column)
        out += ',' + CsvCell::field(headerData(column, Qt::Horizontal).toString());
    out += "\r\n";
    for (const qsizetype i : m_shown) {
        const Row &row = m_day.rows[i];
        out += CsvCell::field(row.instance);
        for (const QString &cell : row.cells)
            out += ',' + CsvCell::field(cell);
        out += "\r\n";
    }
    return out;
}

int AuditTrailTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int AuditTrailTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AuditTrailTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown.size())
        return QVariant();
    const Row &row = m_day.rows[m_shown[index.row()]];
    switch (role) {
    case Qt::DisplayRole:
        if (!row.readable && index.column() == What)
            return tr("（无法读取的行）");
        return row.cells[index.column()];
    case Qt::ToolTipRole:
        return index.column() == Text && !row.cells[Text].isEmpty() ? row.cells[Text] : QVariant();
    case kBrokenRole:
        return row.broken;
    default:
        return QVariant();
    }
}

QVariant AuditTrailTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section < m_shown.size() ? m_day.rows[m_shown[section]].instance : QVariant();
    static const char *const names[ColumnCount] = {
        QT_TR_NOOP("序号"),   QT_TR_NOOP("时间"), QT_TR_NOOP("用户"),
        QT_TR_NOOP("操作员"), QT_TR_NOOP("来源"), QT_TR_NOOP("内容"),
        QT_TR_NOOP("之前"),   QT_TR_NOOP("之后"), QT_TR_NOOP("说明")};
    return section >= 0 && section < ColumnCount ? tr(names[section]) : QVariant();
}
