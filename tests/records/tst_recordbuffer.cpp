#include "records/recordbuffer.h"
#include "records/runrecord.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>

using Readings = QList<double>;

class TestRecordBuffer : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void fullBufferKeepsNewest();
    void runRecordKeepsReadingsWithTimes();
};

void TestRecordBuffer::text_data()
{
    QTest::addColumn<Readings>("readings");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty") << Readings() << QByteArray();
    QTest::newRow("one reading, no line end") << Readings{1.5} << QByteArray("1.5");
    QTest::newRow("five: one full line") << Readings{1.5, 0.1, -0.25, 1e-7, 12345.678}
                                         << QByteArray("1.5\t0.1\t-0.25\t1e-07\t12345.678\n");
    QTest::newRow("six: short last line")
        << Readings{1.5, 0.1, -0.25, 1e-7, 12345.678, 0.1 + 0.2}
        << QByteArray("1.5\t0.1\t-0.25\t1e-07\t12345.678\n0.30000000000000004");
    QTest::newRow("ten: two full lines")
        << Readings{0,    -0.0, 100, 1e21, 5e-324, 2.2250738585072014e-308, -1.7976931348623157e308,
                    0.52, 2.05, 1000}
        << QByteArray("0\t-0\t100\t1e+21\t5e-324\n"
                      "2.2250738585072014e-308\t-1.7976931348623157e+308\t0.52\t2.05\t1000\n");
}

void TestRecordBuffer::text()
{
    QFETCH(Readings, readings);
    QFETCH(QByteArray, expected);

    RecordBuffer buffer;
    for (double reading : readings)
        buffer.add(reading);
    const QByteArray text = buffer.text();
    QCOMPARE(text, expected);

    // Every value must read back to the very same double (QCOMPARE on doubles is fuzzy).
    QByteArray fields = text;
    fields.replace('\n', '\t');
    if (fields.endsWith('\t'))
        fields.chop(1);
    const QList<QByteArray> values = text.isEmpty() ? QList<QByteArray>() : fields.split('\t');
    QCOMPARE(values.size(), readings.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        bool ok = false;
        const double back = values[i].toDouble(&ok);
        QVERIFY2(ok && back == readings[i] && std::signbit(back) == std::signbit(readings[i]),
                 values[i].constData());
    }
}

void TestRecordBuffer::fullBufferKeepsNewest()
{
    constexpr qint32 kAdded = RecordBuffer::kCapacity + 3;
    RecordBuffer buffer;
    for (qint32 i = 0; i < kAdded; ++i)
        buffer.add(i);

    QCOMPARE(buffer.count(), RecordBuffer::kCapacity);
    QCOMPARE(buffer.entry(1), 3.0);
    QCOMPARE(buffer.entry(RecordBuffer::kCapacity), double(kAdded - 1));
    for (qint32 i = 1; i <= buffer.count(); ++i) {
        if (buffer.entry(i) != double(i + 2))
            QFAIL(qPrintable(QStringLiteral("entry %1 is %2").arg(i).arg(buffer.entry(i))));
    }

    // The text runs across the ring's wrap in the same order; a million is shorter as 1e+06.
    const QByteArray text = buffer.text();
    QVERIFY(text.startsWith("3\t4\t5\t6\t7\n8\t"));
    QVERIFY(text.endsWith("\n999998\t999999\t1e+06\t1000001\t1000002\n"));
    QCOMPARE(text.count('\n'), RecordBuffer::kCapacity / 5);
}

// The run record keeps every reading with its time and text, a number only where it reads as
// one (and only those go to the record buffer), the latest million once more arrive, and
// tells each reading and event as it comes.
void TestRecordBuffer::runRecordKeepsReadingsWithTimes()
{
    RunRecord run;
    QSignalSpy readings(&run, &RunRecord::readingAdded);
    QSignalSpy events(&run, &RunRecord::eventAdded);
    const QDateTime start(QDate(2026, 12, 7), QTime(8, 0));
    run.addReading(start, QStringLiteral("01.5"));
    run.addReading(start.addMSecs(1500), QStringLiteral("AB\tC"));
    run.addEvent(start.addMSecs(1600), QStringLiteral("link-lost"), QStringLiteral("端口 1"));
    QCOMPARE(readings.count(), 2);
    QCOMPARE(events.count(), 1);
    QCOMPARE(run.buffer().count(), 1);
    QCOMPARE(run.reading(1).time, start.addMSecs(1500));
    QCOMPARE(run.reading(1).text, QStringLiteral("AB\tC"));
    QVERIFY(!run.reading(1).value);
    QCOMPARE(run.reading(0).value, std::optional<double>(1.5));
    QCOMPARE(run.events().value(0).key, QStringLiteral("link-lost"));

    for (qint32 i = 2; i < RunRecord::kCapacity + 2; ++i)
        run.addReading(start.addMSecs(1500LL * i),
                       QStringLiteral("%1").arg(i % 10000, 4, 10, QLatin1Char('0')));
    QCOMPARE(run.readingCount(), RunRecord::kCapacity);
    QCOMPARE(run.reading(0).time, start.addMSecs(1500LL * 2));
    QCOMPARE(run.reading(RunRecord::kCapacity - 1).text, QStringLiteral("0001"));
}

QTEST_GUILESS_MAIN(TestRecordBuffer)
#include "tst_recordbuffer.moc"
