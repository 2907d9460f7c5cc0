#include "records/logwriter.h"
#include "records/readinglog.h"

#include <QDir>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot be read)");
}

} // namespace

class TestReadingLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void timesCarryTheirOffset_data();
    void timesCarryTheirOffset();
    void appendsLines_data();
    void appendsLines();
    void writerKeepsOrderAndFormat();
    void writerStartsFilePerDay();
    void writerRefusesSpecialFiles_data();
    void writerRefusesSpecialFiles();
    void writerCutsFailedWriteToWholeLine();
    void writerReportsDroppedLines();
    void writerFollowsItsFile_data();
    void writerFollowsItsFile();

private:
    QTemporaryDir m_dir;
};

namespace {

void useTimeZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

void TestReadingLog::initTestCase()
{
    // The lines below are written in this zone, whatever the machine's own.
    useTimeZone("Asia/Shanghai");
}

void TestReadingLog::timesCarryTheirOffset_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("written");

    const QDateTime utc(QDate(2026, 12, 7), QTime(13, 34, 7, 817), Qt::UTC);
    QTest::newRow("east") << QByteArray("Asia/Shanghai") << utc
                          << "2026-12-07T21:34:07.817+08:00";
    QTest::newRow("UTC itself: +00:00, never Z") << QByteArray("UTC") << utc
                                                 << "2026-12-07T13:34:07.817+00:00";
    QTest::newRow("west, half an hour") << QByteArray("America/St_Johns") << utc
                                        << "2026-12-07T10:04:07.817-03:30";
    // Either side of the spring change: each time carries its own offset.
    QTest::newRow("before daylight saving")
        << QByteArray("Europe/Berlin")
        << QDateTime(QDate(2026, 3, 29), QTime(0, 59, 59, 999), Qt::UTC)
        << "2026-03-29T01:59:59.999+01:00";
    QTest::newRow("after daylight saving")
        << QByteArray("Europe/Berlin") << QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC)
        << "2026-03-29T03:00:00.000+02:00";
}

void TestReadingLog::timesCarryTheirOffset()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, time);
    QFETCH(QString, written);
    useTimeZone(zone.constData());
    const QString line = QString::fromLatin1(ReadingLog::readingLine(time, QStringLiteral("1.0")));
    useTimeZone("Asia/Shanghai");
    QCOMPARE(line, written + QStringLiteral("\t1.0\n"));
    QCOMPARE(QDateTime::fromString(written, Qt::ISODateWithMs), time);
}

void TestReadingLog::appendsLines_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<Qt::TimeSpec>("zone");

    QTest::newRow("new file") << QByteArray() << Qt::LocalTime;
    QTest::newRow("existing file keeps its lines")
        << QByteArray("2024-03-05T14:00:00.000\t0.49\n") << Qt::LocalTime;
    QTest::newRow("time given in UTC is written as local time") << QByteArray() << Qt::UTC;
}

void TestReadingLog::appendsLines()
{
    QFETCH(QByteArray, old);
    QFETCH(Qt::TimeSpec, zone);

    const QString path = m_dir.filePath(QStringLiteral("log-%1.txt").arg(QTest::currentDataTag()));
    if (!old.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    }
    const QList<QDateTime> times{
        QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9, 45)).toTimeSpec(zone),
        QDateTime(QDate(2024, 3, 5), QTime(14, 7, 10, 999)).toTimeSpec(zone),
    };
    const QStringList values{QStringLiteral("0.52"), QStringLiteral("1.05")};

    LogWriter log;
    QString error;
    QVERIFY2(log.openFile(path, &error), qPrintable(error));
    for (qsizetype i = 0; i < times.size(); ++i)
        log.reading(times[i], values[i]);
    // An event between readings: one line of four fields whatever its text holds.
    log.event(times[1], QStringLiteral("link-lost"),
              QStringLiteral("端口 1\t(/dev/ttyUSB0)\n断开 \\"));
    log.close();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(old));
    QVERIFY(bytes.endsWith('\n'));
    QList<QByteArray> lines = bytes.mid(old.size()).chopped(1).split('\n');
    QCOMPARE(lines.size(), times.size() + 1);
    QCOMPARE(QString::fromUtf8(lines.takeLast()),
             QStringLiteral("#\t2024-03-05T14:07:10.999+08:00\tlink-lost\t"
                            "端口 1\\x09(/dev/ttyUSB0)\\x0a断开 \\x5c"));
    QCOMPARE(lines[0], QByteArray("2024-03-05T14:07:09.045+08:00\t0.52"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        QCOMPARE(fields.size(), 2);
        const QDateTime back =
            QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODateWithMs);
        QCOMPARE(back.offsetFromUtc(), 8 * 3600);
        QCOMPARE(back, times[i]);
        QCOMPARE(QString::fromLatin1(fields[1]), values[i]);
    }
}

// Enough lines for several batches, an event among them, after what the file held.
void TestReadingLog::writerKeepsOrderAndFormat()
{
    const QString path = m_dir.filePath(QStringLiteral("writer.txt"));
    const QByteArray old("2024-03-05T14:00:00.000\t0.49\n");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    file.close();

    const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9, 45));
    QByteArray expected = old;
    LogWriter log;
    QVERIFY(log.openFile(path, nullptr));
    for (int i = 0; i < 3000; ++i) {
        const QDateTime time = start.addMSecs(i);
        log.reading(time, QString::number(i));
        expected +=
            time.toString(Qt::ISODateWithMs).toLatin1() + "+08:00\t" + QByteArray::number(i) + '\n';
        if (i == 1000) {
            log.event(time, QStringLiteral("link-lost"), QStringLiteral("端口\t1\n"));
            expected += "#\t2024-03-05T14:07:10.045+08:00\tlink-lost\t端口\\x091\\x0a\n";
        }
    }
    log.close();
    QCOMPARE(contents(path), expected);
}

void TestReadingLog::writerStartsFilePerDay()
{
    const QString folder = m_dir.filePath(QStringLiteral("daily/logs"));
    const QDateTime lastOfDay(QDate(2024, 3, 5), QTime(23, 59, 59, 999));
    const QDateTime midnight(QDate(2024, 3, 6), QTime(0, 0));
    LogWriter log;
    QString error;
    QVERIFY2(log.openDailyFolder(folder, &error), qPrintable(error));
    log.reading(lastOfDay, QStringLiteral("0.52"));
    log.event(midnight, QStringLiteral("run-set"), QStringLiteral("start"));
    log.reading(midnight.addMSecs(1), QStringLiteral("0.53"));
    QCOMPARE(log.path(), QDir(folder).filePath(QStringLiteral("2024-03-06.log")));
    log.close();
    QCOMPARE(contents(folder + QStringLiteral("/2024-03-05.log")),
             QByteArray("2024-03-05T23:59:59.999+08:00\t0.52\n"));
    QCOMPARE(contents(folder + QStringLiteral("/2024-03-06.log")),
             QByteArray("#\t2024-03-06T00:00:00.000+08:00\trun-set\tstart\n"
                        "2024-03-06T00:00:00.001+08:00\t0.53\n"));

    // A folder cannot be made inside a file.
    const QString plain = m_dir.filePath(QStringLiteral("plain.txt"));
    QVERIFY(QFile(plain).open(QIODevice::WriteOnly));
    const QString blocked = plain + QStringLiteral("/logs");
    QVERIFY(!log.openDailyFolder(blocked, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(blocked)), qPrintable(error));
    QVERIFY(!log.isOpen());
}

void TestReadingLog::writerRefusesSpecialFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("refused");

    // A FIFO without a reader would block an open for writing: refused without being opened.
    QTest::newRow("fifo") << QStringLiteral("fifo") << true;
    QTest::newRow("folder") << QStringLiteral("folder") << true;
    QTest::newRow("/dev/null") << QStringLiteral("/dev/null") << true;
    QTest::newRow("existing file") << QStringLiteral("file") << false;
    QTest::newRow("missing file") << QStringLiteral("missing") << false;
}

void TestReadingLog::writerRefusesSpecialFiles()
{
    QFETCH(QString, kind);
    QFETCH(bool, refused);

    QString path = m_dir.filePath(QStringLiteral("special-") + kind);
    if (kind == QStringLiteral("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QStringLiteral("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (kind == QStringLiteral("file"))
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    else if (kind.startsWith(u'/'))
        path = kind;

    LogWriter log;
    QString error;
    QCOMPARE(log.openFile(path, &error), !refused);
    QCOMPARE(log.isOpen(), !refused);
    QCOMPARE(LogWriter::refusal(path), error);
    if (refused)
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
}

void TestReadingLog::writerCutsFailedWriteToWholeLine()
{
    const QString path = m_dir.filePath(QStringLiteral("filling.txt"));
    qint64 room = 82; // two lines of 35 bytes and 12 of the third; the writer's alone
    LogWriter log;
    log.setWriteFunction([&room](int fd, const char *data, qint64 size) -> qint64 {
        const qint64 chunk = std::min(size, room);
        if (chunk == 0) {
            errno = ENOSPC;
            return -1;
        }
        room -= chunk;
        return ::write(fd, data, size_t(chunk));
    });
    QSignalSpy stopped(&log, &LogWriter::stopped);
    QVERIFY(log.openFile(path, nullptr));
    const QDateTime time(QDate(2024, 3, 5), QTime(14, 7, 9, 45));
    for (int i = 0; i < 5; ++i)
        log.reading(time, QStringLiteral("0.5%1").arg(i));

    QVERIFY(stopped.wait());
    QVERIFY(!log.isOpen());
    log.reading(time, QStringLiteral("0.59"));
    QCoreApplication::processEvents();
    QCOMPARE(stopped.count(), 1);
    const QString reason = stopped[0][0].toString();
    QVERIFY2(reason.contains(QDir::toNativeSeparators(path)) && reason.contains("磁盘已满"),
             qPrintable(reason));
    QCOMPARE(contents(path), QByteArray("2024-03-05T14:07:09.045+08:00\t0.50\n"
                                        "2024-03-05T14:07:09.045+08:00\t0.51\n"));
}

// The writer is held in its first write while the queue fills up and overflows.
void TestReadingLog::writerReportsDroppedLines()
{
    const QString path = m_dir.filePath(QStringLiteral("slow.txt"));
    QSemaphore entered;
    QSemaphore allowed;
    LogWriter log;
    const auto letGo = qScopeGuard([&allowed] { allowed.release(1000); });
    log.setWriteFunction([&](int fd, const char *data, qint64 size) {
        entered.release();
        allowed.acquire();
        return qint64(::write(fd, data, size_t(size)));
    });
    QVERIFY(log.openFile(path, nullptr));
    const QDateTime time(QDate(2024, 3, 5), QTime(14, 7, 9, 45));
    log.reading(time, QStringLiteral("held"));
    QVERIFY(entered.tryAcquire(1, 10000));
    for (qsizetype i = 0; i < LogWriter::kQueueLimit; ++i)
        log.reading(time, QStringLiteral("kept"));
    for (int i = 0; i < 3; ++i)
        log.reading(time.addSecs(1), QStringLiteral("lost"));
    allowed.release();
    QVERIFY(entered.tryAcquire(1, 10000)); // the writer took the queue and the count
    log.reading(time.addSecs(2), QStringLiteral("next"));
    allowed.release(2);
    log.close();

    QList<QByteArray> lines = contents(path).split('\n');
    QCOMPARE(lines.size(), LogWriter::kQueueLimit + 4); // and the empty rest after the last
    QCOMPARE(lines.first(), QByteArray("2024-03-05T14:07:09.045+08:00\theld"));
    QCOMPARE(lines.count("2024-03-05T14:07:09.045+08:00\tkept"), LogWriter::kQueueLimit);
    QCOMPARE(QString::fromUtf8(lines[LogWriter::kQueueLimit + 1]),
             QStringLiteral("#\t2024-03-05T14:07:10.045+08:00\tlog-dropped\t因磁盘过慢丢失 3 行"));
    QCOMPARE(lines[LogWriter::kQueueLimit + 2], QByteArray("2024-03-05T14:07:11.045+08:00\tnext"));
}

// The file is moved, deleted or replaced as the writer goes on: "rename", "unlink", then
// "create" a file or a "fifo" at its path; "daily" writes to a folder of daily files.
void TestReadingLog::writerFollowsItsFile_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("told"); // in the log-reopened line, or why the log stopped

    QTest::newRow("moved (logrotate nocreate)") << "rename" << "已被移走，已新建文件";
    QTest::newRow("moved, a file made in its place (logrotate create)")
        << "rename create" << "已被另一个文件取代，改写入该文件";
    QTest::newRow("day's file deleted") << "daily unlink" << "已被删除，已新建文件";
    // Opening a FIFO for writing would wait for a reader: the log stops instead.
    QTest::newRow("FIFO in its place") << "unlink fifo" << "不是普通文件，而是命名管道";
}

void TestReadingLog::writerFollowsItsFile()
{
    QFETCH(QString, change);
    QFETCH(QString, told);
    QTemporaryDir dir;
    const bool daily = change.startsWith("daily");
    const QString path = dir.filePath(daily ? "2024-03-05.log" : "read.log");
    const QByteArray name = QFile::encodeName(path);
    const QDateTime time(QDate(2024, 3, 5), QTime(14, 7, 9, 45));
    LogWriter log;
    QSignalSpy stopped(&log, &LogWriter::stopped);
    QVERIFY(daily ? log.openDailyFolder(dir.path(), nullptr) : log.openFile(path, nullptr));
    log.reading(time, QStringLiteral("0.51"));
    const QByteArray first("2024-03-05T14:07:09.045+08:00\t0.51\n");
    QTRY_COMPARE_WITH_TIMEOUT(contents(path), first, 10000);

    QCOMPARE(change.contains("rename") ? ::rename(name, name + ".1") : ::unlink(name), 0);
    if (change.endsWith("create"))
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    if (change.endsWith("fifo"))
        QCOMPARE(::mkfifo(name, 0600), 0);
    log.reading(time.addSecs(1), QStringLiteral("0.52"));
    if (change.endsWith("fifo")) {
        QVERIFY(stopped.wait(10000));
        QVERIFY2(stopped[0][0].toString().contains(told), qPrintable(stopped[0][0].toString()));
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(contents(path),
                              "#\t2024-03-05T14:07:10.045+08:00\tlog-reopened\t读数日志 " + name +
                                  ' ' + told.toUtf8() + "\n2024-03-05T14:07:10.045+08:00\t0.52\n",
                              10000);
    if (change.contains("rename"))
        QCOMPARE(contents(path + ".1"), first);
}

QTEST_GUILESS_MAIN(TestReadingLog)
#include "tst_readinglog.moc"
