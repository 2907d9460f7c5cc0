#include "readinglog.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

class TestReadingLog : public QObject
{
    Q_OBJECT

private slots:
    void appendsLines_data();
    void appendsLines();
    void stopsAfterFailedWrite();

private:
    QTemporaryDir m_dir;
};

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

    ReadingLog log;
    QVERIFY2(log.open(path), qPrintable(log.errorText()));
    for (qsizetype i = 0; i < times.size(); ++i)
        QVERIFY2(log.append(times[i], values[i]), qPrintable(log.errorText()));
    // An event between readings: one line of four fields whatever its text holds.
    QVERIFY(log.appendEvent(times[1], QStringLiteral("link-lost"),
                            QStringLiteral("端口 1\t(/dev/ttyUSB0)\n断开 \\")));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(old));
    QVERIFY(bytes.endsWith('\n'));
    QList<QByteArray> lines = bytes.mid(old.size()).chopped(1).split('\n');
    QCOMPARE(lines.size(), times.size() + 1);
    QCOMPARE(QString::fromUtf8(lines.takeLast()),
             QStringLiteral("#\t2024-03-05T14:07:10.999\tlink-lost\t"
                            "端口 1\\x09(/dev/ttyUSB0)\\x0a断开 \\x5c"));
    QCOMPARE(lines[0], QByteArray("2024-03-05T14:07:09.045\t0.52"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        QCOMPARE(fields.size(), 2);
        const QDateTime back =
            QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODateWithMs);
        QCOMPARE(back.timeSpec(), Qt::LocalTime);
        QCOMPARE(back, times[i]);
        QCOMPARE(QString::fromLatin1(fields[1]), values[i]);
    }
}

void TestReadingLog::stopsAfterFailedWrite()
{
    const QString full = QStringLiteral("/dev/full");
    if (!QFile::exists(full))
        QSKIP("This system has no /dev/full.");

    ReadingLog log;
    QVERIFY2(log.open(full), qPrintable(log.errorText()));
    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(!log.append(now, QStringLiteral("0.52")));
    const QString error = log.errorText();
    QVERIFY2(error.contains(QDir::toNativeSeparators(full)) &&
                 error.contains(qt_error_string(ENOSPC)),
             qPrintable(error));
    QVERIFY(!log.isOpen());

    QVERIFY(!log.append(now, QStringLiteral("0.53")));
    QCOMPARE(log.errorText(), error);
}

QTEST_GUILESS_MAIN(TestReadingLog)
#include "tst_readinglog.moc"
