#include "status/statusrows.h"

#include <QTest>

using Line = StatusRows::Line;

class TestStatusRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plan_data();
    void plan();
    void passingTextGivesBackTheStanding();
};

namespace {

// Each entry "name=text", name the line's objectName; alarms in the order raised.
StatusRows rowsOf(const QStringList &said)
{
    StatusRows rows;
    QStringList alarms;
    for (const QString &entry : said) {
        const QString name = entry.section(u'=', 0, 0);
        const QString text = entry.section(u'=', 1);
        if (name == StatusRows::name(Line::Alarm)) {
            alarms << text;
            continue;
        }
        for (int line = 0; line < StatusRows::kLines; ++line) {
            if (StatusRows::name(Line(line)) == name)
                rows.setText(Line(line), text);
        }
    }
    rows.setAlarms(alarms);
    return rows;
}

} // namespace

void TestStatusRows::plan_data()
{
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<int>("room");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("more");

    const QStringList outage{"logState=log",   "linkState=link", "alarmBanner=a1",
                             "stopState=stop", "alarmBanner=a2", "mqttState=mqtt"};
    // Fault: rows shown in the order their lines were set, so an old log note sits above an alarm.
    QTest::newRow("all fit, by importance")
        << outage << 6 << QStringList{"a1", "a2", "stop", "link", "mqtt", "log"} << QString();
    // Fault: a line with nothing to say keeps an empty row.
    QTest::newRow("empty lines take no row")
        << QStringList{"linkState=", "logState=log", "runState="} << 1 << QStringList{"log"}
        << QString();
    // Fault: the folded row is not counted in the room and runs off the area's bottom.
    QTest::newRow("one row too many folds two")
        << outage << 5 << QStringList{"a1", "a2", "stop", "link"} << QStringLiteral("另有 2 条");
    // Fault: alarms fold like any other line, before the link's row.
    QTest::newRow("alarms fold last")
        << (outage + QStringList{"alarmBanner=a3", "alarmBanner=a4"}) << 3
        << QStringList{"a1", "a2"} << QStringLiteral("另有 2 条报警；另有 4 条");
    QTest::newRow("only alarms fold")
        << QStringList{"alarmBanner=a1", "alarmBanner=a2", "alarmBanner=a3"} << 2
        << QStringList{"a1"} << QStringLiteral("另有 2 条报警");
    // Fault: no room at all shows nothing, not even that something is there.
    QTest::newRow("no room still says there is more")
        << QStringList{"alarmBanner=a1", "logState=log"} << 0 << QStringList{}
        << QStringLiteral("另有 1 条报警；另有 1 条");
}

void TestStatusRows::plan()
{
    QFETCH(QStringList, said);
    QFETCH(int, room);
    QFETCH(QStringList, shown);
    QFETCH(QString, more);

    const StatusRows rows = rowsOf(said);
    const StatusRows::Plan plan = rows.plan(room);
    QStringList texts;
    for (const StatusRows::Row &row : plan.shown)
        texts << row.text;
    QCOMPARE(texts, shown);
    QCOMPARE(plan.more, more);
    // Fault: a folded row's text is lost instead of going to the tooltip.
    QStringList folded;
    for (const StatusRows::Row &row : rows.rows().sliced(plan.shown.size()))
        folded << row.text;
    QCOMPARE(plan.moreTip, more.isEmpty() ? QString() : folded.join(u'\n'));
}

void TestStatusRows::passingTextGivesBackTheStanding()
{
    // Fault: the answer to a click overwrites a settings notice, which then never comes back.
    StatusRows rows;
    rows.setText(Line::Log, QStringLiteral("settings"));
    rows.setPassing(Line::Log, QStringLiteral("folder"));
    QCOMPARE(rows.text(Line::Log), QStringLiteral("folder"));
    rows.setText(Line::Log, QStringLiteral("settings again"));
    QCOMPARE(rows.text(Line::Log), QStringLiteral("folder"));
    rows.setPassing(Line::Log, QString());
    QCOMPARE(rows.text(Line::Log), QStringLiteral("settings again"));
}

QTEST_GUILESS_MAIN(TestStatusRows)
#include "tst_statusrows.moc"
