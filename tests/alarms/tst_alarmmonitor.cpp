#include "alarms/alarmmonitor.h"
#include "alarms/storedalarmsettings.h"

#include <QTest>

// Each row plays a script against the monitor and compares what it said.
// Settings: "high 1.0 stop; low 0.2; silence 5; link 4" (an alarm not named is off).
// Script: a number is a reading, "x" a reply that is no number; run / stop are frames that went
// out; open / lost / closed the port; +N lets N seconds pass and checks; ack acknowledges;
// set:high_1.0_stop+link_4 applies new settings ("_" for spaces, "+" between alarms).
// Said: raised:KIND, stop:KIND, cleared:KIND(RAISED_BY>CLEARED_BY, * when not by a reading),
// ack:N.
class TestAlarmMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rules_data();
    void rules();
    void settingsProblems_data();
    void settingsProblems();
    void storedSettings_data();
    void storedSettings();
};

namespace {

const char *kindName(AlarmMonitor::Kind kind)
{
    constexpr const char *names[] = {"high", "low", "silence", "link"};
    return names[int(kind)];
}

AlarmSettings parseSettings(const QString &text)
{
    AlarmSettings settings;
    for (const QString &part : text.split(u';', Qt::SkipEmptyParts)) {
        const QStringList words = part.split(u' ', Qt::SkipEmptyParts);
        const bool stop = words.size() > 2 && words[2] == u"stop";
        if (words[0] == u"high")
            settings.high = {true, words[1].toDouble(), stop};
        else if (words[0] == u"low")
            settings.low = {true, words[1].toDouble(), stop};
        else if (words[0] == u"silence")
            settings.silence = {true, words[1].toInt(), stop};
        else if (words[0] == u"link")
            settings.link = {true, words[1].toInt(), stop};
    }
    return settings;
}

} // namespace

void TestAlarmMonitor::rules_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("said");

    QTest::newRow("all off: nothing, whatever comes")
        << ""
        << "open run 9.9 9.9 9.9 0.0 0.0 0.0 +100 lost +100"
        << "";
    QTest::newRow("high: exactly the third reading beyond") << "high 1.0"
                                                            << "open 1.1 1.2"
                                                            << "";
    QTest::newRow("high: raised by the third, once") << "high 1.0"
                                                     << "open 1.1 1.2 1.3 1.4 1.5"
                                                     << "raised:high";
    QTest::newRow("high: the limit itself is not beyond") << "high 1.0"
                                                          << "open 1.0 1.0 1.0"
                                                          << "";
    QTest::newRow("high: one noisy reading raises nothing") << "high 1.0"
                                                            << "open 0.5 9.9 0.5 0.5 9.9 0.5"
                                                            << "";
    QTest::newRow("high: a reading inside breaks the row") << "high 1.0"
                                                           << "open 1.1 1.1 0.9 1.1 1.1"
                                                           << "";
    QTest::newRow("high: no number neither counts nor breaks") << "high 1.0"
                                                               << "open 1.1 x 1.1 x x 1.1"
                                                               << "raised:high";
    QTest::newRow("high: clears only below limit - 0.05, latch stays")
        << "high 1.0 stop"
        << "open 1.1 1.1 1.1 0.97 1.1 1.1 1.1 0.94"
        << "raised:high stop:high cleared:high(1.1>0.94)";
    QTest::newRow("high: not raised again while it lasts, even acknowledged")
        << "high 1.0"
        << "open 1.1 1.1 1.1 ack 1.2 1.2 1.2"
        << "raised:high ack:1";
    QTest::newRow("high: raised again once it has cleared")
        << "high 1.0"
        << "open 1.1 1.1 1.1 0.5 1.1 1.1 1.1"
        << "raised:high cleared:high(1.1>0.5) raised:high";
    QTest::newRow("low: not watched while the pump is stopped") << "low 0.5"
                                                                << "open 0.1 0.1 0.1 0.1"
                                                                << "";
    QTest::newRow("low: watched after a run frame went out") << "low 0.5 stop"
                                                             << "open run 0.1 0.1 0.1"
                                                             << "raised:low stop:low";
    QTest::newRow("low: a stop ends its condition and its row")
        << "low 0.5"
        << "open run 0.1 0.1 stop 0.1 run 0.1"
        << "";
    QTest::newRow("low: a stop clears it, what raised it kept through new settings")
        << "low 0.5"
        << "open run 0.4 0.4 0.3 set:low_0.5 stop"
        << "raised:low cleared:low(0.3>*)";
    QTest::newRow("low: clears above limit + 0.05") << "low 0.5"
                                                    << "open run 0.4 0.4 0.4 0.54 0.56"
                                                    << "raised:low cleared:low(0.4>0.56)";
    QTest::newRow("two at once: both latched, one acknowledgement")
        << "high 0.3; silence 3"
        << "open run 0.4 0.4 0.4 +3 ack"
        << "raised:high raised:silence ack:2";
    QTest::newRow("silence: raised on time, cleared by any reply")
        << "silence 5 stop"
        << "open +4 x +4 +5 x"
        << "raised:silence stop:silence cleared:silence(5 秒>ABCD)";
    QTest::newRow("silence: each reply starts the wait again") << "silence 5"
                                                               << "open +4 x +4 x +4"
                                                               << "";
    QTest::newRow("silence: not while the port is closed or lost")
        << "silence 5"
        << "open +2 closed +10 open +3 lost +10"
        << "";
    QTest::newRow("link: raised when the line stays lost") << "link 4 stop"
                                                           << "open lost +3 +1"
                                                           << "raised:link stop:link";
    QTest::newRow("link: back in time raises nothing") << "link 4"
                                                       << "open lost +3 open +10"
                                                       << "";
    QTest::newRow("link: a deliberate close is not a lost line") << "link 4"
                                                                 << "open closed +10"
                                                                 << "";
    QTest::newRow("settings applied anew: a lasting condition is not raised again")
        << "high 1.0 stop"
        << "open 1.5 1.5 1.5 set:high_1.0_stop 1.4 1.4 1.4"
        << "raised:high stop:high";
    QTest::newRow("settings applied anew while the line is lost: it counts from the loss")
        << "link 4 stop"
        << "open lost +1 set:link_4_stop +3"
        << "raised:link stop:link";
    QTest::newRow("link: cleared when the port opens again") << "link 4"
                                                             << "open lost +5 open"
                                                             << "raised:link cleared:link(4 秒>*)";
}

void TestAlarmMonitor::rules()
{
    QFETCH(QString, settings);
    QFETCH(QString, script);
    QFETCH(QString, said);

    qint64 nowMs = 0;
    AlarmMonitor monitor({[&nowMs] { return nowMs; }, {}});
    QStringList heard;
    connect(&monitor, &AlarmMonitor::raised, this, [&](const AlarmMonitor::Alarm &a) {
        heard << QStringLiteral("raised:") + kindName(a.kind);
    });
    connect(&monitor, &AlarmMonitor::stopWanted, this, [&](const AlarmMonitor::Alarm &a) {
        heard << QStringLiteral("stop:") + kindName(a.kind);
    });
    connect(&monitor, &AlarmMonitor::cleared, this, [&](const AlarmMonitor::Clearing &c) {
        heard << QStringLiteral("cleared:%1(%2>%3)")
                     .arg(kindName(c.kind), c.raisedBy,
                          c.byReading ? c.clearedBy : QStringLiteral("*"));
    });
    connect(&monitor, &AlarmMonitor::acknowledged, this,
            [&](const QList<AlarmMonitor::Alarm> &all) {
                heard << QStringLiteral("ack:%1").arg(all.size());
            });
    monitor.setSettings(parseSettings(settings));

    for (const QString &step : script.split(u' ', Qt::SkipEmptyParts)) {
        bool isNumber = false;
        const double value = step.toDouble(&isNumber);
        if (step.startsWith(u'+')) {
            // Time passes in the steps the owner's timer would take.
            for (qint64 end = nowMs + step.mid(1).toLongLong() * 1000; nowMs < end;) {
                nowMs = std::min(end, nowMs + monitor.msUntilCheck().value_or(end - nowMs));
                monitor.check();
            }
        } else if (isNumber) {
            monitor.readingArrived(step, value);
        } else if (step == u"x") {
            monitor.readingArrived(QStringLiteral("ABCD"), std::nullopt);
        } else if (step == u"run" || step == u"stop") {
            monitor.pumpCommanded(step == u"run");
        } else if (step == u"open") {
            monitor.portOpened();
        } else if (step == u"closed") {
            monitor.portClosed();
        } else if (step == u"lost") {
            monitor.linkLost();
        } else if (step.startsWith(u"set:")) {
            monitor.setSettings(parseSettings(step.mid(4).replace(u'_', u' ').replace(u'+', u';')));
        } else if (step == u"ack") {
            monitor.acknowledgeAll();
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
    QCOMPARE(heard.join(u' '), said);
}

void TestAlarmMonitor::settingsProblems_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("field"); // empty: accepted

    QTest::newRow("all off") << ""
                             << "";
    QTest::newRow("all on, in range") << "high 2.0; low 0.0; silence 3; link 86400"
                                      << "";
    QTest::newRow("high above 2.0") << "high 2.01"
                                    << "高压";
    QTest::newRow("low negative") << "low -0.1"
                                  << "低压";
    QTest::newRow("crossed") << "high 0.5; low 0.5"
                             << "高于低压";
    QTest::newRow("crossed but low off: fine") << "high 0.5"
                                               << "";
    QTest::newRow("silence too short") << "silence 2"
                                       << "无读数";
    QTest::newRow("link over a day") << "link 86401"
                                     << "线路";
}

void TestAlarmMonitor::settingsProblems()
{
    QFETCH(QString, settings);
    QFETCH(QString, field);
    const QString problem = parseSettings(settings).problem();
    if (field.isEmpty())
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    else
        QVERIFY2(problem.contains(field), qPrintable(problem));
}

// Each row stores four alarms, all on, with write(), then changes them: "high/on=no" sets a
// value as a file gives it back (with a comma: a list), "silence/stop" removes one. Every alarm
// changed or named in the notice is then off, the others read back as written.
void TestAlarmMonitor::storedSettings_data()
{
    QTest::addColumn<QString>("changes");
    QTest::addColumn<bool>("typed");    // values as set in this run rather than as a file's text
    QTest::addColumn<QString>("named"); // the key in the one notice

    QTest::newRow("as set in this run") << QString() << true << QString();
    QTest::newRow("as read from the file") << QString() << false << QString();
    // The dialog stores any amount for an alarm it leaves off.
    QTest::newRow("off, amount out of range") << "low/on=false low/limit=-5" << false << QString();
    QTest::newRow("no") << "high/on=no" << false << "alarms/high/on";
    QTest::newRow("stop missing") << "silence/stop" << false << "alarms/silence/stop";
    QTest::newRow("limit above range") << "high/limit=2.01" << false << "alarms/high/limit";
    QTest::newRow("decimal comma") << "low/limit=0,2" << false << "alarms/low/limit";
    QTest::newRow("3.9 s") << "silence/seconds=3.9" << false << "alarms/silence/seconds";
    QTest::newRow("limits cross") << "low/limit=1.5" << false << "alarms/high/limit";
    // The field takes hundredths: more would be rounded there without a word.
    QTest::newRow("a ten-billionth over") << "high/limit=1.0000000001" << false
                                          << "alarms/high/limit";
    QTest::newRow("thousandths") << "low/limit=0.125" << false << "alarms/low/limit";
}

void TestAlarmMonitor::storedSettings()
{
    QFETCH(QString, changes);
    QFETCH(bool, typed);
    QFETCH(QString, named);
    const AlarmSettings all{
        {true, 1.5, true}, {true, 0.2, false}, {true, 30, false}, {true, 60, true}};
    QVariantMap stored;
    StoredAlarmSettings::write(all, [&](const QString &key, const QVariant &value) {
        stored[key] = typed ? value : value.toString();
    });
    for (const QString &change : changes.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList parts = change.split(u'=');
        const QString key = QStringLiteral("alarms/") + parts[0];
        if (parts.size() == 1)
            stored.remove(key);
        else
            stored[key] = parts[1].contains(u',') ? QVariant(parts[1].split(u',')) : parts[1];
    }
    QStringList notices;
    const AlarmSettings read =
        StoredAlarmSettings::read([&](const QString &key) { return stored.value(key); }, &notices);

    const QString touched = changes + u' ' + named;
    AlarmSettings expected = all;
    expected.high = touched.contains(u"high/") ? AlarmSettings::Pressure() : all.high;
    expected.low = touched.contains(u"low/") ? AlarmSettings::Pressure() : all.low;
    expected.silence = touched.contains(u"silence/") ? AlarmSettings::Duration() : all.silence;
    expected.link = touched.contains(u"link/") ? AlarmSettings::Duration() : all.link;
    QVERIFY(read == expected);
    QCOMPARE(notices.size(), named.isEmpty() ? 0 : 1);
    QCOMPARE(notices.join(QString()).section(u' ', 1, 1), named);
}

QTEST_GUILESS_MAIN(TestAlarmMonitor)
#include "tst_alarmmonitor.moc"
