#include "status/showntext.h"
#include "status/statusrows.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestStatusRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsHiddenCharacters_data();
    void showsHiddenCharacters();
    void plan_data();
    void plan();
};

void TestStatusRows::plan_data()
{
    // said: "line=text" sets a line's text, "line~text" its passing text; alarms are line 0.
    // shown: the rows' texts, then "|" and what the folded row says.
    QTest::addColumn<QString>("said");
    QTest::addColumn<int>("room");
    QTest::addColumn<QString>("shown");
    const QString outage = QStringLiteral("7=log 3=link 0=a1 1=stop 0=a2 6=mqtt");
    // Fault: rows in the order their lines were set, so an old log note sits above an alarm.
    QTest::newRow("all fit, by importance") << outage << 6 << "a1 a2 stop link mqtt log |";
    // Fault: the folded row is not counted in the room and runs off the area's bottom.
    QTest::newRow("one too many folds two") << outage << 5 << "a1 a2 stop link | 另有 2 条";
    // Fault: alarms fold like any other line, before the link's row.
    QTest::newRow("alarms fold last")
        << outage + " 0=a3 0=a4" << 3 << "a1 a2 | 另有 2 条报警；另有 4 条";
    // Fault: no room shows nothing, not even that something is there; an empty line takes a row.
    QTest::newRow("no room") << "0=a1 0=a2 3=" << 0 << "| 另有 2 条报警";
    // Fault: the answer to a click overwrites a settings notice, which never comes back.
    QTest::newRow("passing over standing") << "7=settings 7~folder" << 1 << "folder |";
    QTest::newRow("standing back") << "7=settings 7~folder 7~" << 1 << "settings |";
}

void TestStatusRows::plan()
{
    QFETCH(QString, said);
    QFETCH(int, room);
    QFETCH(QString, shown);

    StatusRows rows;
    QStringList alarms;
    for (const QString &entry : said.split(u' ')) {
        const auto line = StatusRows::Line(entry.left(1).toInt());
        if (line == StatusRows::Line::Alarm)
            alarms << entry.mid(2);
        else
            (entry.at(1) == u'=' ? rows.setText(line, entry.mid(2))
                                 : rows.setPassing(line, entry.mid(2)));
    }
    rows.setAlarms(alarms);
    const StatusRows::Plan plan = rows.plan(room);
    QStringList texts;
    for (const StatusRows::Row &row : plan.shown)
        texts << row.text;
    QCOMPARE((texts << u'|' + (plan.more.isEmpty() ? QString() : u' ' + plan.more)).join(u' '),
             shown);
    // Fault: a folded row's text is lost instead of going to the tooltip.
    QStringList folded;
    for (const StatusRows::Row &row : rows.rows().sliced(plan.shown.size()))
        folded << row.text;
    QCOMPARE(plan.moreTip, folded.join(u'\n'));
}

void TestStatusRows::showsHiddenCharacters_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("row");

    QTest::newRow("plain") << u"柱 A-1 ✓"_s << u"柱 A-1 ✓"_s << u"柱 A-1 ✓"_s;
    QTest::newRow("beyond the BMP") << u"😀"_s << u"😀"_s << u"😀"_s;
    QTest::newRow("tab") << u"a\tb"_s << u"a‹U+0009›b"_s << u"a‹U+0009›b"_s;
    QTest::newRow("line end") << u"a\nb"_s << u"a‹U+000A›b"_s << u"a\nb"_s;
    QTest::newRow("carriage return") << u"a\rb"_s << u"a‹U+000D›b"_s << u"a‹U+000D›b"_s;
    QTest::newRow("line separator") << u"a\u2028b"_s << u"a‹U+2028›b"_s << u"a‹U+2028›b"_s;
    QTest::newRow("right-to-left override")
        << u"\u202Egnp.exe"_s << u"‹U+202E›gnp.exe"_s << u"‹U+202E›gnp.exe"_s;
    QTest::newRow("isolate") << u"x\u2067y"_s << u"x‹U+2067›y"_s << u"x‹U+2067›y"_s;
    QTest::newRow("C1 next line") << u"a\u0085b"_s << u"a‹U+0085›b"_s << u"a‹U+0085›b"_s;
    QTest::newRow("delete") << u"a\u007Fb"_s << u"a‹U+007F›b"_s << u"a‹U+007F›b"_s;
}

void TestStatusRows::showsHiddenCharacters()
{
    QFETCH(QString, given);
    QFETCH(QString, name);
    QFETCH(QString, row);
    QCOMPARE(ShownText::name(given), name);
    QCOMPARE(ShownText::row(given), row);
}

QTEST_GUILESS_MAIN(TestStatusRows)
#include "tst_statusrows.moc"
