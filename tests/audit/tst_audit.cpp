#include "audit/audithash.h"
#include "audit/auditline.h"
#include "audit/auditlog.h"
#include "audit/auditverifier.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

using Break = AuditVerifier::Break;

namespace {

const QString kInstance = QStringLiteral("panel-1");

QDateTime at(int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute), Qt::LocalTime);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot be read)");
}

// In place: a file cut to nothing and written again is flushed to the disk as it is closed.
void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(bytes), bytes.size());
    QVERIFY(file.resize(bytes.size()));
}

// The lines of a file that ends with a line end, each with its own.
QList<QByteArray> linesOf(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.chopped(1).split('\n');
    for (QByteArray &line : lines)
        line += '\n';
    return lines;
}

} // namespace

class TestAudit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formatsLine_data();
    void formatsLine();
    void verifiesFiles_data();
    void verifiesFiles();
    void detectsEveryEdit();
    void reportsOnItsLines();
    void writerContinuesAcrossStartsAndDays();
    void trailGoesOnUnderNewInstance();
    void writerKeepsRecordsWhileDiskIsFull();
    void writerWaitsForItsPath_data();
    void writerWaitsForItsPath();
    void writerFollowsItsPath_data();
    void writerFollowsItsPath();
    void writerRefusesLooseFolderAndFile();
    void rehashedRecordFoundByNextLink();

private:
    QStringList trail(const QString &folder) const;
    void start(AuditLog &log, const QString &folder, const QDateTime &start);
    void session(AuditLog &log, const QString &folder, const QDateTime &start, int records);
    QStringList standardTrail(const QString &folder);

    QTemporaryDir m_dir;
    QDateTime m_now;
    qint64 m_mono = 0;
};

void TestAudit::initTestCase()
{
    // Days and offsets below are this zone's, whatever the machine's own.
    qputenv("TZ", "Asia/Shanghai");
    tzset();
    QVERIFY(m_dir.isValid());
}

QStringList TestAudit::trail(const QString &folder) const
{
    QStringList paths;
    const QDir dir(QDir(folder).filePath(kInstance));
    for (const QString &name : dir.entryList({QStringLiteral("*.jsonl")}, QDir::Files, QDir::Name))
        paths.append(dir.filePath(name));
    return paths;
}

void TestAudit::start(AuditLog &log, const QString &folder, const QDateTime &start)
{
    m_now = start;
    log.setClock([this] { return AuditLog::Stamp{m_now, m_mono++}; });
    log.open(folder, kInstance, QStringLiteral("s%1").arg(start.toSecsSinceEpoch()),
             QStringLiteral("lab"), QStringLiteral("corvane-panel 2.0"));
}

// One start of the panel: a record a minute from `start`, then the end.
void TestAudit::session(AuditLog &log, const QString &folder, const QDateTime &start, int records)
{
    this->start(log, folder, start);
    for (int i = 0; i < records; ++i) {
        m_now = m_now.addSecs(60);
        log.append({.source = QStringLiteral("key"),
                    .what = QStringLiteral("setpoint"),
                    .before = QString::number(i),
                    .beforeFrom = AuditRecord::BeforeFrom::Sent,
                    .after = QString::number(i + 1),
                    .text = QStringLiteral("流量 \"设定\"")});
    }
    log.close();
}

// Three days, four starts, one of them running past midnight.
QStringList TestAudit::standardTrail(const QString &folder)
{
    AuditLog log;
    session(log, folder, at(1, 10), 30);
    session(log, folder, at(1, 23, 50), 30);
    session(log, folder, at(2, 12), 20);
    session(log, folder, at(3, 8), 20);
    return trail(folder);
}

void TestAudit::formatsLine_data()
{
    QTest::addColumn<AuditRecord>("record");
    QTest::addColumn<QByteArray>("prev");
    QTest::addColumn<QByteArray>("hashed");

    const QByteArray zeros(64, '0');
    const QByteArray other(64, 'a');
    AuditRecord first{.source = "panel",
                      .what = "session-start",
                      .seq = 1,
                      .time = QDateTime(QDate(2026, 12, 7), QTime(13, 34, 7, 817), Qt::UTC),
                      .monoMs = 5,
                      .session = "s1",
                      .user = "lab"};
    QTest::newRow("first record, nulls")
        << first << zeros
        << QByteArray(
               R"({"seq":1,"utc":"2026-12-07T13:34:07.817Z","local":"2026-12-07T21:34:07.817+08:00",)"
               R"("mono":"0.005","session":"s1","user":"lab","operator":null,"source":"panel",)"
               R"("what":"session-start","before":null,"beforeFrom":null,"after":null,"text":"",)"
               R"("prev":"0000000000000000000000000000000000000000000000000000000000000000")");
    AuditRecord setpoint = first;
    setpoint.seq = 1234567;
    setpoint.monoMs = 3723045;
    setpoint.source = "key";
    setpoint.what = "setpoint";
    setpoint.before = "0.50";
    setpoint.beforeFrom = AuditRecord::BeforeFrom::Reply;
    setpoint.after = "1.00";
    setpoint.operatorName = "张三";
    QTest::newRow("setpoint, before from the reply")
        << setpoint << other
        << (R"({"seq":1234567,"utc":"2026-12-07T13:34:07.817Z","local":"2026-12-07T21:34:07.817+08:00",)"
            R"("mono":"3723.045","session":"s1","user":"lab","operator":"张三","source":"key",)"
            R"("what":"setpoint","before":"0.50","beforeFrom":"reply","after":"1.00","text":"",)"
            R"("prev":")" +
            other + "\"");
    AuditRecord escaped = first;
    escaped.text = QString::fromUtf8("a\"b\\c\nd\te\x01\x1f/\x7f流量");
    escaped.before = QString();
    QTest::newRow("escaped text, empty before")
        << escaped << zeros
        << QByteArray(
               R"({"seq":1,"utc":"2026-12-07T13:34:07.817Z","local":"2026-12-07T21:34:07.817+08:00",)"
               R"("mono":"0.005","session":"s1","user":"lab","operator":null,"source":"panel",)"
               R"("what":"session-start","before":"","beforeFrom":null,"after":null,)"
               "\"text\":\"a\\\"b\\\\c\\u000ad\\u0009e\\u0001\\u001f/\x7f流量\","
               R"("prev":"0000000000000000000000000000000000000000000000000000000000000000")");
}

void TestAudit::formatsLine()
{
    QFETCH(AuditRecord, record);
    QFETCH(QByteArray, prev);
    QFETCH(QByteArray, hashed);

    QByteArray hash;
    const QByteArray line = AuditLine::format(record, prev, &hash);
    // Qt's own SHA-256, whichever the trail uses.
    QCOMPARE(hash, QCryptographicHash::hash(hashed, QCryptographicHash::Sha256).toHex());
    QCOMPARE(line, hashed + R"(,"hash":")" + hash + "\"}\n");
    const auto fields = AuditLine::read(QByteArrayView(line).chopped(1));
    QVERIFY(fields);
    QCOMPARE(fields->seq, record.seq);
    QCOMPARE(fields->hashedSize, hashed.size());
    QCOMPARE(fields->prev, prev);
    QCOMPARE(fields->hash, hash);
}

void TestAudit::verifiesFiles_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("warnings");
    QTest::addColumn<int>("notes");
    QTest::addColumn<Break>("how");

    QTest::newRow("whole, files in any order") << "reverse" << 0 << 0 << 0 << Break::None;
    QTest::newRow("cut short at the newest file's end") << "cut end" << 0 << 1 << 0 << Break::None;
    QTest::newRow("cut short, then the next start") << "cut restart" << 0 << 1 << 0 << Break::None;
    QTest::newRow("cut short in the middle") << "cut middle" << 1 << 0 << 0 << Break::Changed;
    QTest::newRow("clock set back") << "clock back" << 0 << 0 << 1 << Break::None;
    QTest::newRow("a day's file left out") << "leave out" << 1 << 0 << 0 << Break::Removed;
    QTest::newRow("a day's file renamed") << "rename" << 1 << 0 << 0 << Break::Renamed;
    QTest::newRow("head of another chain") << "head" << 1 << 0 << 0 << Break::HeadMismatch;
}

void TestAudit::verifiesFiles()
{
    QFETCH(QString, change);
    QFETCH(int, exitCode);
    QFETCH(int, warnings);
    QFETCH(int, notes);
    QFETCH(Break, how);

    const QString folder = m_dir.filePath(QStringLiteral("verify-%1").arg(QTest::currentDataTag()));
    QStringList paths = standardTrail(folder);
    QCOMPARE(paths.size(), 3);
    const AuditVerifier::Result whole = AuditVerifier::verify(paths, std::nullopt);
    QCOMPARE(whole.exitCode, 0);
    std::optional<AuditVerifier::Head> head;
    const QByteArray newest = contents(paths[2]);
    const QByteArray cut = linesOf(newest)[5].first(60);
    qint64 records = whole.records;
    if (change == "reverse") {
        std::reverse(paths.begin(), paths.end());
    } else if (change == "cut end") {
        write(paths[2], newest + cut);
    } else if (change == "cut restart") {
        write(paths[2], newest + cut);
        AuditLog log;
        session(log, folder, at(3, 20), 1);
        records += 2;
    } else if (change == "cut middle") {
        QList<QByteArray> lines = linesOf(newest);
        lines.insert(3, cut + '\n');
        write(paths[2], lines.join());
    } else if (change == "clock back") {
        AuditLog log;
        session(log, folder, at(3, 7), 1);
        records += 2;
    } else if (change == "leave out") {
        paths.removeAt(1);
    } else if (change == "rename") {
        QVERIFY(QFile::rename(paths[1], paths[1] + ".jsonl"));
        paths[1] += ".jsonl";
    } else if (change == "head") {
        head = AuditVerifier::Head{20, QByteArray(64, 'e')};
    }
    const AuditVerifier::Result result = AuditVerifier::verify(paths, head);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.how, how);
    QCOMPARE(result.warnings.size(), warnings);
    QCOMPARE(result.notes.size(), notes);
    if (exitCode == 0)
        QCOMPARE(result.records, records);
}

// Every edit of a line is found, and called by what it looks like.
void TestAudit::detectsEveryEdit()
{
    const QStringList paths = standardTrail(m_dir.filePath(QStringLiteral("edits")));
    const AuditVerifier::Result whole = AuditVerifier::verify(paths, std::nullopt);
    QCOMPARE(whole.exitCode, 0);
    QList<QList<QByteArray>> files;
    QList<std::pair<int, int>> places; // of every line: file, index
    for (const QString &path : paths) {
        files.append(linesOf(contents(path)));
        for (int i = 0; i < files.last().size(); ++i)
            places.append({int(files.size() - 1), i});
    }
    QCOMPARE(places.size(), whole.records);
    const int count = int(places.size());
    QRandomGenerator random(20261207);
    for (int edit = 0; edit < 10000; ++edit) {
        QList<QList<QByteArray>> edited = files;
        Break expected = Break::InsertedOrReordered;
        std::pair<int, int> place{-1, -1}; // where the break must be found, when known
        qint64 seq = -1;                   // or its seq
        // The newest line is not edited in place: cut short it would pass, as after a crash.
        const int index = random.bounded(count - 1);
        const auto [f, i] = places[index];
        QByteArray &line = edited[f][i];
        const char *kinds[] = {"change a byte", "add a blank", "delete", "copy", "swap"};
        const int kind = random.bounded(5);
        if (kind == 0) {
            const qsizetype at = random.bounded(line.size() - 1);
            line[at] = char(uchar(line[at]) ^ (1 + random.bounded(255)));
            expected = Break::Changed;
            place = {f, i};
        } else if (kind == 1) {
            line.insert(random.bounded(line.size()), random.bounded(2) ? ' ' : '\t');
            expected = Break::Changed;
            place = {f, i};
        } else if (kind == 2) {
            const auto [df, di] = places[random.bounded(count)];
            seq = AuditLine::read(QByteArrayView(edited[df][di]).chopped(1))->seq + 1;
            expected = seq > whole.records ? Break::HeadNotFound : Break::Removed;
            seq = std::min(seq, whole.head.seq);
            edited[df].removeAt(di);
        } else if (kind == 3) {
            const int to = random.bounded(count + 1);
            const auto [tf, ti] = to < count
                                      ? places[to]
                                      : std::pair(int(files.size() - 1), int(files.last().size()));
            const QByteArray copy = line;
            edited[tf].insert(ti, copy);
        } else {
            const int other = (index + 1 + random.bounded(count - 1)) % count;
            std::swap(line, edited[places[other].first][places[other].second]);
        }
        for (int k = 0; k < paths.size(); ++k)
            if (edited[k] != files[k])
                write(paths[k], edited[k].join());
        const AuditVerifier::Result result = AuditVerifier::verify(paths, whole.head);
        for (int k = 0; k < paths.size(); ++k)
            if (edited[k] != files[k])
                write(paths[k], files[k].join());
        const QString what = QStringLiteral("edit %1 (%2 at %3 line %4): %5 at %6 line %7 seq %8")
                                 .arg(edit)
                                 .arg(kinds[kind])
                                 .arg(f)
                                 .arg(i + 1)
                                 .arg(AuditVerifier::label(result.how), result.file)
                                 .arg(result.line)
                                 .arg(result.seq);
        QVERIFY2(result.how == expected, qPrintable(what));
        if (place.first >= 0)
            QVERIFY2(result.file == paths[place.first] && result.line == place.second + 1,
                     qPrintable(what));
        if (seq >= 0)
            QVERIFY2(result.seq == seq, qPrintable(what));
    }
}

void TestAudit::reportsOnItsLines()
{
    const QStringList paths = standardTrail(m_dir.filePath(QStringLiteral("report")));
    const AuditVerifier::Result whole = AuditVerifier::verify(paths, std::nullopt);
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QCOMPARE(AuditVerifier::run(paths, whole.head, outStream, errStream), 0);
    const QString head = QStringLiteral("%1:%2").arg(whole.head.seq).arg(whole.head.hash);
    QCOMPARE(out, QStringLiteral("ok, %1 records, head %2\n").arg(whole.records).arg(head));
    QCOMPARE(AuditVerifier::parseHead(head.toUpper())->hash, whole.head.hash);
    QVERIFY(!AuditVerifier::parseHead(head.chopped(1)));
    QVERIFY(!AuditVerifier::parseHead(QStringLiteral("x") + head));

    out.clear();
    const auto beyond = AuditVerifier::parseHead(
        QStringLiteral("%1:%2").arg(whole.head.seq + 1).arg(whole.head.hash));
    QCOMPARE(AuditVerifier::run(paths, beyond, outStream, errStream), 1);
    QVERIFY2(out.startsWith(QStringLiteral("broken: ")) &&
                 out.endsWith(QStringLiteral(": head not found\n")),
             qPrintable(out));
    QCOMPARE(AuditVerifier::run(paths + QStringList{m_dir.filePath(QStringLiteral("none"))},
                                std::nullopt, outStream, errStream),
             2);
    QVERIFY(err.contains(QStringLiteral("none")));
}

void TestAudit::writerContinuesAcrossStartsAndDays()
{
    const QString folder = m_dir.filePath(QStringLiteral("days"));
    AuditLog log;
    session(log, folder, at(1, 9), 3);
    session(log, folder, at(1, 22), 2);
    // The next day's start, whose clock is then set back to the day before.
    start(log, folder, at(2, 9));
    log.append({.source = QStringLiteral("key"), .what = QStringLiteral("run")});
    m_now = at(1, 23);
    log.append({.source = QStringLiteral("key"), .what = QStringLiteral("stop")});
    log.close();

    const QStringList paths = trail(folder);
    QCOMPARE(QFileInfo(paths.value(0)).fileName(), QStringLiteral("2026-12-01.jsonl"));
    QCOMPARE(QFileInfo(paths.value(1)).fileName(), QStringLiteral("2026-12-02.jsonl"));
    QCOMPARE(paths.size(), 2);
    const AuditVerifier::Result result = AuditVerifier::verify(paths, std::nullopt);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.records, 12); // 2 + 3, 1 + 2, 2 + 2
    QCOMPARE(result.notes.size(), 1);
    const QByteArray second = contents(paths[1]);
    QCOMPARE(AuditLine::read(QByteArrayView(second).first(second.indexOf('\n')))->before,
             QByteArrayView("2026-12-01.jsonl:8"));
    QCOMPARE((contents(paths[0]) + second).count("\"what\":\"session-start\""), 3);
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(paths[1]).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
}

// A trail kept under the name a panel had before goes on under its own: the new folder's first
// record names the old folder's last, and both verify as one chain; the old one is left alone
// and a later start stays in the new one.
void TestAudit::trailGoesOnUnderNewInstance()
{
    const QString folder = m_dir.filePath(QStringLiteral("renamed"));
    AuditLog log;
    session(log, folder, at(1, 9), 3); // file-start, session-start and 3: seq 5
    const QStringList before = trail(folder);
    const QByteArray old = contents(before.value(0));
    for (int i = 0; i < 2; ++i) {
        m_now = at(1, 10 + i);
        log.setClock([this] { return AuditLog::Stamp{m_now, m_mono++}; });
        log.open(folder, QStringLiteral("lab-ttyUSB0"), QStringLiteral("s2"), QStringLiteral("lab"),
                 QStringLiteral("corvane-panel 2.0"), kInstance);
        log.append({.source = QStringLiteral("key"), .what = QStringLiteral("run")});
        log.close();
    }
    QCOMPARE(contents(before.value(0)), old);
    const QString moved = QDir(folder).filePath(QStringLiteral("lab-ttyUSB0/2026-12-01.jsonl"));
    const QByteArray now = contents(moved);
    const auto first = AuditLine::read(QByteArrayView(now).first(now.indexOf('\n')));
    QVERIFY(first);
    QCOMPARE(first->what, QByteArrayView("file-start"));
    QCOMPARE(first->seq, 6);
    QCOMPARE(first->before, QByteArrayView(QString(kInstance + "/2026-12-01.jsonl:5").toUtf8()));
    QCOMPARE(now.count("\"what\":\"file-start\""), 1);
    const AuditVerifier::Result result =
        AuditVerifier::verify({before.value(0), moved}, std::nullopt);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.records, 5 + 1 + 2 * 2);
}

void TestAudit::writerKeepsRecordsWhileDiskIsFull()
{
    const QString folder = m_dir.filePath(QStringLiteral("full"));
    std::atomic<bool> full{true};
    std::atomic<int> tries{0};
    AuditLog log;
    log.setRetryInterval(std::chrono::milliseconds(20));
    log.setWriteFunction([&](int fd, const char *data, qint64 size) -> qint64 {
        // The first try takes part of a line, as a disk filling up does.
        if (!full || tries++ == 0)
            return ::write(fd, data, size_t(full ? std::min<qint64>(size, 40) : size));
        errno = ENOSPC;
        return -1;
    });
    QSignalSpy failed(&log, &AuditLog::failed);
    QSignalSpy resumed(&log, &AuditLog::resumed);
    start(log, folder, at(5, 9));
    for (int i = 0; i < 50; ++i)
        log.append({.source = QStringLiteral("key"), .what = QStringLiteral("run")});
    QVERIFY(failed.wait());
    QVERIFY2(failed.first().first().toString().startsWith(QStringLiteral("审计记录无法写入：")) &&
                 failed.first().first().toString().contains(QStringLiteral("磁盘已满")),
             qPrintable(failed.first().first().toString()));
    QTRY_VERIFY(tries > 5);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(contents(trail(folder).value(0)).size(), 40);
    full = false;
    QVERIFY(resumed.wait());
    log.close();
    const AuditVerifier::Result result = AuditVerifier::verify(trail(folder), std::nullopt);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.records, 52);
}

void TestAudit::writerWaitsForItsPath_data()
{
    QTest::addColumn<bool>("fifo");
    QTest::addColumn<QString>("reason");

    QTest::newRow("FIFO at the day's path") << true << QStringLiteral("命名管道");
    QTest::newRow("folder is a file") << false << QStringLiteral("不是文件夹");
}

void TestAudit::writerWaitsForItsPath()
{
    QFETCH(bool, fifo);
    QFETCH(QString, reason);

    const QString folder = m_dir.filePath(QStringLiteral("path-%1").arg(fifo));
    const QString instance = QDir(folder).filePath(kInstance);
    const QString blocker =
        fifo ? QDir(instance).filePath(QStringLiteral("2026-12-04.jsonl")) : instance;
    QVERIFY(QDir().mkpath(fifo ? instance : folder));
    if (fifo)
        QCOMPARE(::mkfifo(QFile::encodeName(blocker).constData(), 0600), 0);
    else
        write(blocker, "not a folder");
    AuditLog log;
    log.setRetryInterval(std::chrono::milliseconds(20));
    QSignalSpy failed(&log, &AuditLog::failed);
    QSignalSpy resumed(&log, &AuditLog::resumed);
    start(log, folder, at(4, 9));
    log.append({.source = QStringLiteral("alarm"), .what = QStringLiteral("alarm-ack")});
    QVERIFY(failed.wait());
    QVERIFY2(failed.first().first().toString().contains(reason),
             qPrintable(failed.first().first().toString()));
    QVERIFY(QFile::remove(blocker));
    QVERIFY(resumed.wait());
    log.close();
    const AuditVerifier::Result result = AuditVerifier::verify(trail(folder), std::nullopt);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.records, 3);
}

void TestAudit::writerFollowsItsPath_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("moved") << QStringLiteral("mv");
    QTest::newRow("deleted") << QStringLiteral("rm");
    QTest::newRow("a FIFO swapped in") << QStringLiteral("fifo");
}

// While commands stream, the day's file goes: the next record begins a new file at the path,
// chained on from the last one written, and nothing is lost but what the file took with it.
void TestAudit::writerFollowsItsPath()
{
    QFETCH(QString, how);
    const QString folder = m_dir.filePath(QStringLiteral("follow-") + how);
    const QString aside = m_dir.filePath(QStringLiteral("aside-") + how);
    QVERIFY(QDir().mkpath(aside));
    AuditLog log;
    log.setRetryInterval(std::chrono::milliseconds(20));
    QSignalSpy reopened(&log, &AuditLog::reopened);
    QSignalSpy failed(&log, &AuditLog::failed);
    QSignalSpy resumed(&log, &AuditLog::resumed);
    start(log, folder, at(6, 9));
    const auto command = [&log](int i) {
        log.append({.source = QStringLiteral("key"),
                    .what = QStringLiteral("setpoint"),
                    .after = QString::number(i)});
    };
    for (int i = 0; i < 20; ++i)
        command(i);
    QTRY_COMPARE(log.head().seq, 22);
    const QString path = trail(folder).value(0);
    const QString moved = QDir(aside).filePath(QFileInfo(path).fileName());
    if (how == u"mv")
        QVERIFY(QFile::rename(path, moved));
    else
        QVERIFY(QFile::remove(path));
    if (how == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    for (int i = 20; i < 40; ++i)
        command(i);
    if (how == u"fifo") {
        QVERIFY(failed.wait());
        QVERIFY2(failed.last().first().toString().contains(QStringLiteral("命名管道")),
                 qPrintable(failed.last().first().toString()));
        QVERIFY(QFile::remove(path));
        QVERIFY(resumed.wait());
    }
    QTRY_COMPARE(log.head().seq, 43); // a file-start more
    log.close();
    QCOMPARE(reopened.size(), 1);
    const QString said = how == u"mv"   ? QStringLiteral("移走")
                         : how == u"rm" ? QStringLiteral("删除")
                                        : QStringLiteral("取代");
    QVERIFY2(reopened.first().first().toString().contains(said),
             qPrintable(reopened.first().first().toString()));

    const QByteArray fresh = contents(path);
    const auto first = AuditLine::read(QByteArrayView(fresh).first(fresh.indexOf('\n')));
    QVERIFY(first);
    QCOMPARE(first->what, QByteArrayView("file-start"));
    QCOMPARE(first->seq, 23);
    QCOMPARE(first->before, QByteArrayView("2026-12-06.jsonl:22"));
    QCOMPARE(fresh.count('\n'), 21);
    const AuditVerifier::Result alone = AuditVerifier::verify({path}, std::nullopt);
    QCOMPARE(alone.exitCode, 0);
    if (how == u"mv") {
        const AuditVerifier::Result both = AuditVerifier::verify({path, moved}, std::nullopt);
        QCOMPARE(both.exitCode, 0);
        QCOMPARE(both.records, 43);
    }
}

// A symlinked instance folder is refused and said; a day's file others may read is made 0600.
void TestAudit::writerRefusesLooseFolderAndFile()
{
    const QString folder = m_dir.filePath(QStringLiteral("loose"));
    const QString real = m_dir.filePath(QStringLiteral("loose-real"));
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(real));
    QVERIFY(QFile::link(real, QDir(folder).filePath(kInstance)));
    AuditLog log;
    log.setRetryInterval(std::chrono::milliseconds(20));
    QSignalSpy failed(&log, &AuditLog::failed);
    start(log, folder, at(7, 9));
    QVERIFY(failed.wait());
    QVERIFY2(failed.first().first().toString().contains(QStringLiteral("符号链接")),
             qPrintable(failed.first().first().toString()));
    log.close();
    QVERIFY(QDir(real).entryList(QDir::Files).isEmpty());

    QVERIFY(QFile::remove(QDir(folder).filePath(kInstance)));
    QVERIFY(QDir(folder).mkdir(kInstance));
    const QString day = QDir(folder).filePath(kInstance + QStringLiteral("/2026-12-07.jsonl"));
    write(day, "");
    QVERIFY(::chmod(QFile::encodeName(day).constData(), 0644) == 0);
    session(log, folder, at(7, 10), 1);
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(day).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
    QCOMPARE(AuditVerifier::verify({day}, std::nullopt).records, 3);
}

// A record changed and given its own new hash is whole by itself; the next record's link to it
// still names the old hash, and the verifier finds it there without being given a head.
void TestAudit::rehashedRecordFoundByNextLink()
{
    const QStringList paths = standardTrail(m_dir.filePath(QStringLiteral("rehash")));
    const QString path = paths.first();
    const QList<QByteArray> lines = linesOf(contents(path));
    const int index = int(lines.size() / 2);
    const QByteArray line = lines[index].chopped(1);
    const auto fields = AuditLine::read(line);
    QVERIFY(fields);
    QByteArray changed = line.first(fields->hashedSize);
    QVERIFY(changed.contains("\"after\":\""));
    changed.replace("\"after\":\"", "\"after\":\"9");
    const QByteArray oldHash = fields->hash.toByteArray();
    const QByteArray rehashed =
        changed + line.sliced(fields->hashedSize).replace(oldHash, AuditHash::sha256Hex(changed));
    QVERIFY(AuditLine::read(rehashed));
    QList<QByteArray> edited = lines;
    edited[index] = rehashed + '\n';
    write(path, edited.join());

    const AuditVerifier::Result result = AuditVerifier::verify(paths, std::nullopt);
    QCOMPARE(result.exitCode, int(AuditVerifier::kBroken));
    QCOMPARE(result.file, path);
    QCOMPARE(result.line, index + 2);
    QCOMPARE(result.seq, fields->seq + 1);
}

QTEST_GUILESS_MAIN(TestAudit)
#include "tst_audit.moc"
