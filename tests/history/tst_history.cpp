#include "history/historycolumns.h"
#include "history/historycsv.h"
#include "history/runreport.h"
#include "history/timeaxis.h"
#include "history/windowplacement.h"
#include "records/isotime.h"
#include "records/runrecord.h"

#include <QBuffer>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <ctime>
#include <limits>

// The history's rules without a window: readings reduced to pixel columns with their gaps,
// clock ticks, the CSV, the report's figures and where the history window opens.
class TestHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void columns_data();
    void columns();
    void ticks_data();
    void ticks();
    void csvInTimeOrder();
    void csvTimesAcrossDaylightSaving();
    void reportOfTheLastRun();
    void eventsKeptWithinBounds();
    void windowPlacement_data();
    void windowPlacement();
};

namespace {

constexpr qint64 kBase = 1'800'000'000'000; // some day in 2027

// "1.0 2.0 x | 3.0": a reading a second, x no number, | a lost line.
HistorySeries seriesOf(const QString &script)
{
    HistorySeries series;
    qint64 ms = kBase;
    for (const QString &step : script.split(u' ', Qt::SkipEmptyParts)) {
        if (step == u"|") {
            series.breakLine();
            continue;
        }
        series.addReading(ms, step == u"x" ? std::nan("") : step.toDouble());
        ms += 1000;
    }
    return series;
}

// Each column as "min-max" (or "-" when empty), prefixed with "~" when joined to the one before.
QString describe(const std::vector<HistoryColumn> &columns)
{
    QStringList parts;
    for (const HistoryColumn &column : columns) {
        parts << (!column.any ? QStringLiteral("-")
                              : QStringLiteral("%1%2-%3")
                                    .arg(column.joined ? QStringLiteral("~") : QString())
                                    .arg(column.min)
                                    .arg(column.max));
    }
    return parts.join(u' ');
}

} // namespace

void TestHistory::initTestCase()
{
    qputenv("TZ", "Asia/Shanghai");
}

void TestHistory::columns_data()
{
    QTest::addColumn<QString>("readings");
    QTest::addColumn<int>("seconds"); // the range, from the first reading on
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("columns");
    QTest::newRow("one a column, joined") << "1 2 3" << 3 << 3 << "1-1 ~2-2 ~3-3";
    QTest::newRow("two a column keep both ends") << "1 3 2 0.5" << 4 << 2 << "1-3 ~0.5-2";
    QTest::newRow("no number is a gap") << "1 x 3" << 3 << 3 << "1-1 - 3-3";
    QTest::newRow("a lost line is a gap") << "1 | 2" << 2 << 2 << "1-1 2-2";
    QTest::newRow("empty columns between readings still join")
        << "1 2" << 2 << 6 << "1-1 - - ~2-2 - -";
    QTest::newRow("a peak between pixels is kept") << "1 1 9 1 1 1" << 6 << 2 << "1-9 ~1-1";
    QTest::newRow("the range's end is not in it") << "1 2 3" << 2 << 2 << "1-1 ~2-2";
}

void TestHistory::columns()
{
    QFETCH(QString, readings);
    QFETCH(int, seconds);
    QFETCH(int, count);
    QFETCH(QString, columns);
    const HistorySeries series = seriesOf(readings);
    QCOMPARE(describe(HistoryColumns::reduce(series, kBase, kBase + seconds * 1000, count)),
             columns);
}

void TestHistory::ticks_data()
{
    QTest::addColumn<qint64>("span");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    // kBase is 2027-01-15 16:00:00 in Shanghai.
    QTest::newRow("a minute over 800 px: every 10 s") << qint64(60'000) << 800 << "16:00:00"
                                                      << "16:00:10";
    QTest::newRow("nine hours over 800 px: every hour on the hour")
        << qint64(9 * 3'600'000) << 800 << "16:00"
        << "17:00";
    QTest::newRow("a week over 700 px: every day") << qint64(7 * 86'400'000) << 700 << "01-16"
                                                   << "01-17";
}

void TestHistory::ticks()
{
    QFETCH(qint64, span);
    QFETCH(int, pixels);
    QFETCH(QString, first);
    QFETCH(QString, second);
    const QList<TimeAxis::Tick> ticks = TimeAxis::ticks(kBase, kBase + span, pixels);
    QVERIFY(ticks.size() >= 2);
    QCOMPARE(ticks[0].label, first);
    QCOMPARE(ticks[1].label, second);
    QVERIFY(ticks.size() <= pixels / 80 + 1);
}

void TestHistory::csvInTimeOrder()
{
    RunRecord record;
    const auto at = [](int s) { return QDateTime::fromMSecsSinceEpoch(kBase + s * 1000); };
    record.addReading(at(0), QStringLiteral("01.5"));
    record.addEvent(at(1), QStringLiteral("link-lost"), QStringLiteral("gone, \"unplugged\""));
    record.addReading(at(2), QStringLiteral("AB,C"));
    record.addReading(at(2), QStringLiteral("=1+1"));
    record.addReading(at(2), QStringLiteral("-0.1"));
    record.addReading(at(3), QStringLiteral("00.1"));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(HistoryCsv::write(&out, record, kBase + 1000, kBase + 2000));
    QCOMPARE(out.data(), QByteArray("time,elapsed_s,event,text,value\n"
                                    "2027-01-15T16:00:01.000+08:00,0.000,link-lost,"
                                    "\"gone, \"\"unplugged\"\"\",\n"
                                    "2027-01-15T16:00:02.000+08:00,1.000,,\"AB,C\",\n"
                                    "2027-01-15T16:00:02.000+08:00,1.000,,\"'=1+1\",\n"
                                    "2027-01-15T16:00:02.000+08:00,1.000,,-0.1,-0.1\n"));
}

// The CSV knows the zone's offset without asking for each row: across the spring and autumn
// changes its times are still those of the log and the events.
void TestHistory::csvTimesAcrossDaylightSaving()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
    RunRecord record;
    QList<QDateTime> times;
    for (const QDate day : {QDate(2027, 3, 28), QDate(2027, 10, 31)}) {
        for (int minutes = 0; minutes <= 120; minutes += 15)
            times << QDateTime(day, QTime(0, 0), Qt::UTC).addSecs(minutes * 60 - 1);
    }
    for (const QDateTime &time : std::as_const(times))
        record.addReading(time, QStringLiteral("01.0"));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const bool written = HistoryCsv::write(&out, record, std::numeric_limits<qint64>::min(),
                                           std::numeric_limits<qint64>::max());
    QStringList expected;
    for (const QDateTime &time : std::as_const(times))
        expected << IsoTime::withOffset(time);
    qputenv("TZ", "Asia/Shanghai");
    tzset();
    QVERIFY(written);
    QStringList found;
    for (const QByteArray &row : out.data().split('\n').mid(1, times.size()))
        found << QString::fromLatin1(row.left(row.indexOf(',')));
    QCOMPARE(found, expected);
    QVERIFY(expected.contains(QStringLiteral("2027-03-28T01:59:59.000+01:00")));
    QVERIFY(expected.contains(QStringLiteral("2027-03-28T03:14:59.000+02:00")));
}

void TestHistory::reportOfTheLastRun()
{
    RunRecord record;
    const auto at = [](int s) { return QDateTime::fromMSecsSinceEpoch(kBase + s * 1000); };
    record.addReading(at(0), QStringLiteral("09.9")); // before the run: not in it
    record.addEvent(at(0), QStringLiteral("frame-sent"), QStringLiteral("Q00L0300Y（键盘）"));
    record.addEvent(at(0), QStringLiteral("frame-sent"), QStringLiteral("Q00P01.5Y（设定）"));
    record.addEvent(at(1), QStringLiteral("run-set"), QStringLiteral("10 分"));
    record.addEvent(at(2), QStringLiteral("run-start"), QString());
    record.addEvent(at(3), QStringLiteral("frame-sent"), QStringLiteral("Q01L0150Y（L）"));
    record.addReading(at(4), QStringLiteral("01.0"));
    record.addReading(at(5), QStringLiteral("ABCD"));
    record.addEvent(at(6), QStringLiteral("link-lost"), QString());
    record.addReading(at(7), QStringLiteral("02.0"));
    record.addEvent(at(8), QStringLiteral("alarm-raised"), QStringLiteral("压力过高：02.0"));
    record.addEvent(at(8), QStringLiteral("alarm-raised"), QStringLiteral("泵无读数：30 秒"));
    record.addEvent(at(8), QStringLiteral("alarm-acted"),
                    QStringLiteral("报警（压力过高）：已发送停止命令 Q00S0000Y"));
    record.addEvent(at(9), QStringLiteral("run-end"), QString());
    record.addReading(at(10), QStringLiteral("05.0")); // after it
    record.addEvent(at(11), QStringLiteral("alarm-ack"),
                    QStringLiteral("已确认：压力过高 02.0 MPa"));

    const auto range = RunReport::defaultRange(record);
    QVERIFY(range);
    QCOMPARE(*range, std::pair(kBase + 2000, kBase + 9000));
    const RunReport report = RunReport::compute(record, range->first, range->second);
    QCOMPARE(report.setTime, QStringLiteral("10 分"));
    QCOMPARE(report.readings, 3);
    QCOMPARE(report.numbers, 2);
    QCOMPARE(report.gaps, 2); // the reply that was no number, and the outage
    QCOMPARE(report.minimum, 1.0);
    QCOMPARE(report.maximum, 2.0);
    QCOMPARE(report.mean, 1.5);
    QCOMPARE(report.last, QStringLiteral("02.0"));
    QCOMPARE(report.lastValue, 2.0);
    // Sent before the run, still in force in it; then the change to pump 1 at 150 ml/min.
    QVERIFY(report.flowAtStart && report.pressureAtStart && report.pumpAtStart);
    QCOMPARE(report.flowAtStart->value, 300.0);
    QCOMPARE(report.flowAtStart->source, QStringLiteral("键盘"));
    QCOMPARE(report.pressureAtStart->value, 1.5);
    QCOMPARE(report.pumpAtStart->value, 0.0);
    QCOMPARE(report.changes.size(), 2);
    QCOMPARE(report.changes[0].kind, RunReport::Setting::Kind::Pump);
    QCOMPARE(report.changes[0].value, 1.0);
    QCOMPARE(report.changes[1].value, 150.0);
    // The stop and the acknowledgement after the run belong to the alarm that names them.
    QCOMPARE(report.alarms.size(), 2);
    QCOMPARE(report.alarms[0].pressure, 2.0);
    QCOMPARE(report.alarms[0].action, RunReport::Alarm::Action::StopSent);
    QCOMPARE(report.alarms[0].acknowledgedMs, kBase + 11'000);
    QCOMPARE(report.alarms[1].value, QStringLiteral("30 秒"));
    QCOMPARE(report.alarms[1].action, RunReport::Alarm::Action::Warned);
    QVERIFY(!report.alarms[1].acknowledgedMs);
}

// A run's events are bounded as its readings are: at most kMostEvents, and none older than the
// oldest reading once readings are dropped. The settings among those dropped stay in force
// for the report, and a snapshot is not changed by what comes after it.
void TestHistory::eventsKeptWithinBounds()
{
    RunRecord record;
    const auto at = [](qint64 s) { return QDateTime::fromMSecsSinceEpoch(kBase + s * 1000); };
    record.addEvent(at(0), QStringLiteral("frame-sent"), QStringLiteral("Q00L0300Y（键盘）"));
    record.addEvent(at(0), QStringLiteral("frame-sent"), QStringLiteral("Q00L0250Y（键盘）"));
    record.addEvent(at(0), QStringLiteral("run-set"), QStringLiteral("10 分"));
    for (qsizetype i = 3; i < RunHistory::kMostEvents; ++i)
        record.addEvent(at(1), QStringLiteral("link-lost"), QString());
    QCOMPARE(record.events().size(), RunHistory::kMostEvents);
    QCOMPARE(record.eventsDropped(), 0u);

    const RunHistory before = record.snapshot();
    record.addEvent(at(2), QStringLiteral("frame-sent"), QStringLiteral("Q00P01.5Y（设定）"));
    record.addEvent(at(2), QStringLiteral("link-back"), QString());
    record.addEvent(at(2), QStringLiteral("link-back"), QString());
    QCOMPARE(record.events().size(), RunHistory::kMostEvents);
    QCOMPARE(record.eventsDropped(), 3u);
    QCOMPARE(before.events().size(), RunHistory::kMostEvents);
    QCOMPARE(before.events().first().text, QStringLiteral("Q00L0300Y（键盘）"));
    // The last flow dropped, not the first, and the set time: in force when the range begins.
    const RunReport report = RunReport::compute(record, kBase + 1500, kBase + 3000);
    QVERIFY(report.flowAtStart);
    QCOMPARE(report.flowAtStart->value, 250.0);
    QCOMPARE(report.setTime, QStringLiteral("10 分"));
    QCOMPARE(report.pressureAtStart, std::nullopt);
    QCOMPARE(report.changes.size(), 1); // the limit, to the pump the flow went to

    // Once readings are dropped, the events older than the oldest reading kept go with them.
    RunRecord wrapped;
    wrapped.addEvent(at(0), QStringLiteral("link-open"), QString());
    for (qint32 i = 0; i < RunHistory::kCapacity; ++i)
        wrapped.addReading(at(1), QStringLiteral("01.0"));
    wrapped.addEvent(at(1), QStringLiteral("link-lost"), QString());
    QCOMPARE(wrapped.events().size(), 2);
    wrapped.addReading(at(2), QStringLiteral("01.0"));
    QCOMPARE(wrapped.events().size(), 1);
    QCOMPARE(wrapped.events().first().key, QStringLiteral("link-lost"));
    for (qint32 i = 0; i < RunHistory::kCapacity; ++i)
        wrapped.addReading(at(3), QStringLiteral("01.0"));
    QCOMPARE(wrapped.events().size(), 0);
    QCOMPARE(wrapped.eventsDropped(), 2u);
}

void TestHistory::windowPlacement_data()
{
    QTest::addColumn<QRect>("over");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("placed");
    const QRect screen(0, 0, 1280, 994); // 1280×1024 under a 30-pixel panel
    QTest::newRow("over the panel")
        << QRect(100, 100, 1000, 800) << screen << QRect(150, 251, 900, 520);
    QTest::newRow("panel low on the screen (bottom edge off)")
        << QRect(0, 600, 1000, 800) << screen << QRect(50, 470, 900, 520);
    QTest::newRow("screen narrower than the window (cut off)")
        << QRect(0, 0, 800, 600) << QRect(0, 0, 800, 600) << QRect(4, 51, 792, 520);
}

void TestHistory::windowPlacement()
{
    QFETCH(QRect, over);
    QFETCH(QRect, available);
    QFETCH(QRect, placed);
    QCOMPARE(WindowPlacement::place(QSize(900, 520), QMargins(4, 26, 4, 4), over, available),
             placed);
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
