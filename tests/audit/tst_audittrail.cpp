#include "audit/audittrailtable.h"
#include "records/csvcell.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <QTest>

namespace {

AuditTrailTable::Row row(const QString &instance, const QString &seq, const QString &what,
                         const QString &text, bool readable = true)
{
    AuditTrailTable::Row row;
    row.instance = instance;
    row.cells[AuditTrailTable::Seq] = seq;
    row.cells[AuditTrailTable::What] = what;
    row.cells[AuditTrailTable::Text] = text;
    row.readable = readable;
    return row;
}

} // namespace

class TestAuditTrail : public QObject
{
    Q_OBJECT

private slots:
    void writesCells_data();
    void writesCells();
    void filters_data();
    void filters();
    void refusesWhatIsNoFile();
};

void TestAuditTrail::writesCells_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("plain") << "panel" << QByteArray("panel");
    QTest::newRow("formula") << "=1+1" << QByteArray("\"'=1+1\"");
    QTest::newRow("plus formula") << "+SUM(A1:A9)" << QByteArray("\"'+SUM(A1:A9)\"");
    QTest::newRow("minus formula") << "-2+3" << QByteArray("\"'-2+3\"");
    QTest::newRow("at") << "@cmd" << QByteArray("\"'@cmd\"");
    QTest::newRow("tab first") << "\t=1" << QByteArray("\"'\t=1\"");
    QTest::newRow("minus alone") << "-" << QByteArray("\"'-\"");
    QTest::newRow("negative value") << "-0.5" << QByteArray("-0.5");
    QTest::newRow("signed value") << "+3" << QByteArray("+3");
    QTest::newRow("number then text") << "-0.5;rm" << QByteArray("\"'-0.5;rm\"");
    QTest::newRow("equals inside") << "a=1" << QByteArray("a=1");
    QTest::newRow("comma") << "a,b" << QByteArray("\"a,b\"");
    QTest::newRow("quotes") << "say \"hi\"" << QByteArray("\"say \"\"hi\"\"\"");
    QTest::newRow("line end") << "a\nb" << QByteArray("\"a\nb\"");
    QTest::newRow("carriage return first") << "\r=1" << QByteArray("\"'\r=1\"");
    QTest::newRow("small negative") << "-0.1" << QByteArray("-0.1");
    QTest::newRow("exponent") << "-1e-3" << QByteArray("-1e-3");
    QTest::newRow("point alone") << "-." << QByteArray("\"'-.\"");
    QTest::newRow("exponent alone") << "+1e" << QByteArray("\"'+1e\"");
}

void TestAuditTrail::writesCells()
{
    QFETCH(QString, cell);
    QFETCH(QByteArray, written);
    QCOMPARE(CsvCell::field(cell), written);
}

void TestAuditTrail::filters_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown"); // instance:seq

    QTest::newRow("all") << ""
                         << "" << QStringList{"east:1", "east:2", "east:?", "west:1"};
    QTest::newRow("kind") << "setpoint"
                          << "" << QStringList{"east:2"};
    QTest::newRow("text any case") << ""
                                   << "mpa" << QStringList{"east:2", "west:1"};
    QTest::newRow("instance name") << ""
                                   << "WEST" << QStringList{"west:1"};
    QTest::newRow("kind and text") << "run"
                                   << "MPa" << QStringList{"west:1"};
    QTest::newRow("nothing") << "run"
                             << "12.5" << QStringList{};
    // A line that is no record is found by its bytes, never by a kind.
    QTest::newRow("unreadable by text") << ""
                                        << "garbl" << QStringList{"east:?"};
    QTest::newRow("unreadable by kind") << "file-start"
                                        << "" << QStringList{"east:1"};
}

void TestAuditTrail::filters()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QStringList, shown);

    AuditTrailTable table;
    table.setDay({QDate(2026, 12, 3),
                  {row("east", "1", "file-start", "审计记录由此开始"),
                   row("east", "2", "setpoint", "12.5 MPa"),
                   row("east", "?", "", "{garbled", false), row("west", "1", "run", "at 3 MPa")},
                  {}});
    QCOMPARE(table.kinds(), (QStringList{"file-start", "run", "setpoint"}));
    table.setFilter(kind, text);
    QStringList rows;
    for (int i = 0; i < table.rowCount(); ++i)
        rows.append(table.shownRow(i).instance + ':' + table.shownRow(i).cells[0]);
    QCOMPARE(rows, shown);
}

// A FIFO at a day's path is said for its instance, never waited on nor skipped.
void TestAuditTrail::refusesWhatIsNoFile()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("east")));
    const QString fifo = dir.filePath(QStringLiteral("east/2026-12-03.jsonl"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const AuditTrailTable::Day day = AuditTrailTable::read(dir.path(), QDate(2026, 12, 3));
    QCOMPARE(day.chains.size(), 1);
    QCOMPARE(day.chains[0].result.exitCode, int(AuditVerifier::kUnusable));
    QVERIFY2(day.chains[0].result.error.contains(QStringLiteral("它不是普通文件")),
             qPrintable(day.chains[0].result.error));
    QVERIFY(day.rows.isEmpty());
}

QTEST_GUILESS_MAIN(TestAuditTrail)
#include "tst_audittrail.moc"
