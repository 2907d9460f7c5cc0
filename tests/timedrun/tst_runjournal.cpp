#include "timedrun/runjournal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestRunJournal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data();
    void decode();
    void writeReadClear();
    void unwritableFolderIsToldAndLeavesNothing();
};

namespace {

const RunJournal::Run kRun{
    1.5, QDateTime::fromString(QStringLiteral("2026-12-07T21:34:07.817+08:00"), Qt::ISODateWithMs),
    QStringLiteral("/dev/ttyUSB0"), 7};

} // namespace

void TestRunJournal::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("hasRun");

    // Fault: a journal does not read back what was written (the start's offset lost, a field
    // dropped).
    QTest::newRow("as written") << RunJournal::encode(kRun) << true;
    // Fault: a journal of a later panel, with a program beside the run, is taken as damaged.
    QTest::newRow("later version, more keys")
        << QByteArray(R"({"version":3,"program":{"step":2},"timedRun":{"setMinutes":1.5,)"
                      R"("startedAt":"2026-12-07T21:34:07.817+08:00","device":"/dev/ttyUSB0",)"
                      R"("pumpNumber":7}})")
        << true;
    // Fault: a damaged journal crashes the start or is silently taken as no run.
    QTest::newRow("cut short by a power cut") << RunJournal::encode(kRun).left(40) << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("no version") << QByteArray(R"({"timedRun":{}})") << false;
    QTest::newRow("run without its start")
        << QByteArray(R"({"version":1,"timedRun":{"setMinutes":1,"device":"","pumpNumber":0}})")
        << false;
    QTest::newRow("an array") << QByteArray("[1,2]") << false;
}

void TestRunJournal::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, hasRun);

    const RunJournal::Found found = RunJournal::decode(bytes);
    QCOMPARE(found.run.has_value(), hasRun);
    if (hasRun) {
        QCOMPARE(*found.run, kRun);
        QCOMPARE(found.run->startedAt.offsetFromUtc(), 8 * 3600);
    } else {
        // Said as a run that may have been interrupted, never as nothing.
        QVERIFY(!found.problem.isEmpty());
        QVERIFY(RunJournal::interruptedText(found, QStringLiteral("j"))
                    .contains(QStringLiteral("泵可能仍在运行")));
    }
}

void TestRunJournal::writeReadClear()
{
    QTemporaryDir dir;
    const RunJournal journal(
        RunJournal::besideSettings(dir.filePath("corvane/corvane-panel.conf")));
    // Fault: the journal is kept in the settings' own file, where a settings write rewrites it.
    QCOMPARE(journal.path(), dir.filePath("corvane/corvane-panel.run.json"));
    QVERIFY(journal.read().isEmpty());
    QCOMPARE(journal.write(kRun), QString());
    const RunJournal::Found found = journal.read();
    QVERIFY(found.run);
    QCOMPARE(*found.run, kRun);
    QVERIFY(RunJournal::interruptedText(found, journal.path())
                .contains(QStringLiteral("/dev/ttyUSB0")));
    // Fault: a run that ended cleanly leaves its journal, and the next start cries wolf.
    QCOMPARE(journal.clear(), QString());
    QVERIFY(journal.read().isEmpty());
    QCOMPARE(journal.clear(), QString());
}

void TestRunJournal::unwritableFolderIsToldAndLeavesNothing()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // Fault: a journal that could not be written passes for one that was.
    const RunJournal journal(dir.filePath("file/run.json"));
    QVERIFY(!journal.write(kRun).isEmpty());
    QVERIFY(journal.read().isEmpty());
}

QTEST_GUILESS_MAIN(TestRunJournal)
#include "tst_runjournal.moc"
