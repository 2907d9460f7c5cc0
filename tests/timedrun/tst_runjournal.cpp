#include "timedrun/runjournal.h"

#include <QTemporaryDir>
#include <QTest>

class TestRunJournal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readBack_data();
    void readBack();
};

static const RunJournal::Run kRun{
    1.5, QDateTime::fromString(QStringLiteral("2026-12-07T21:34:07.817+08:00"), Qt::ISODateWithMs),
    QStringLiteral("/dev/ttyUSB0"), 7};

void TestRunJournal::readBack_data()
{
    // bytes: what the file holds; none: what write() makes of the run.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("hasRun");
    // Fault: what was written does not read back (the start's offset lost, a field dropped).
    QTest::newRow("as written") << QByteArray() << true;
    // Fault: a journal of a later panel, with a program beside the run, is taken as damaged.
    QTest::newRow("later version, more keys")
        << RunJournal::encode(kRun).replace("\"version\": 1", "\"version\": 3, \"program\": {}")
        << true;
    // Fault: a damaged journal crashes the start or passes for no run at all.
    QTest::newRow("cut short") << RunJournal::encode(kRun).left(40) << false;
}

void TestRunJournal::readBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, hasRun);
    QTemporaryDir dir;
    const RunJournal journal(RunJournal::besideSettings(dir.filePath("corvane-panel.conf")));
    // Fault: the journal is kept in the settings' own file, which a settings write rewrites.
    QCOMPARE(journal.path(), dir.filePath("corvane-panel.run.json"));
    QVERIFY(journal.read().isEmpty());
    QFile file(journal.path());
    QVERIFY(bytes.isNull() ? journal.write(kRun).isEmpty()
                           : file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const RunJournal::Found found = journal.read();
    QCOMPARE(found.run.has_value(), hasRun);
    QCOMPARE(found.run.value_or(kRun), kRun);
    if (hasRun)
        QCOMPARE(found.run->startedAt.offsetFromUtc(), 8 * 3600);
    QVERIFY(RunJournal::interruptedText(found, "j").contains(QStringLiteral("泵可能仍在运行")));
    // Fault: a run that ended cleanly leaves its journal, and the next start cries wolf.
    QCOMPARE(journal.clear(), QString());
    QVERIFY(journal.read().isEmpty());
}

QTEST_GUILESS_MAIN(TestRunJournal)
#include "tst_runjournal.moc"
