#include "app/form1.h"
#include "records/logwriter.h"
#include "tests/faults/panelwatch.h"
#include "tests/faults/ptypeer.h"
#include "tests/support/panelport.h"
#include "tests/support/scriptedboxes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 kExchanges = 60000;
// Caches, fonts and the first sweeps of the plot settle within these.
constexpr qint64 kWarmUpExchanges = 5000;
constexpr int kTimeoutMs = 110000;
// Beyond what the readings themselves hold: room for the record buffer's doubling and a little
// more for the allocator.
constexpr qint64 kSlackKiB = 512;

} // namespace

// A long run of poll and reply, through the same code as every poll of the panel: the poll
// interval is cut to nothing through the test seam, and a peer answers every poll with a
// reading of its own. Memory stays flat and every reply is accounted for.
class TestSoak : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sixtyThousandExchanges();
};

void TestSoak::sixtyThousandExchanges()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString logPath = folder.filePath(QStringLiteral("readings.log"));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(std::chrono::milliseconds(0));
    QString error;
    QVERIFY2(form.readingLog()->openFile(logPath, &error), qPrintable(error));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    PtyPeer peer;
    QVERIFY(peer.open());
    peer.reserveReadings(kExchanges);
    peer.answerPolls(kExchanges);
    QElapsedTimer wall;
    wall.start();
    QVERIFY(openPanelPort(form, boxes, peer.pty()));

    const RecordBuffer &records = form.records();
    QTRY_VERIFY_WITH_TIMEOUT(records.count() >= kWarmUpExchanges, kTimeoutMs);
    const qint64 warmRssKiB = PanelWatch::rssKiB();
    const double warmCpu = PanelWatch::cpuSeconds();
    const qint64 warmMs = wall.elapsed();
    const qint32 warmCount = records.count();
    const qsizetype warmTextBytes = records.text().size();

    QTRY_COMPARE_WITH_TIMEOUT(records.count(), kExchanges, kTimeoutMs);
    const qint64 endRssKiB = PanelWatch::rssKiB();
    const double cpuSeconds = PanelWatch::cpuSeconds() - warmCpu;
    const qint64 runMs = wall.elapsed() - warmMs;
    form.setPollInterval(std::chrono::hours(1));

    // The readings held grow by design: a double each in the record buffer, one with its time
    // and text in the run record, and the record file's text if kept.
    constexpr qint64 kHeldBytesPerReading = 8 + 24;
    const qint64 heldKiB = (kHeldBytesPerReading * (kExchanges - warmCount) +
                            (records.text().size() - warmTextBytes)) /
                           1024;
    qInfo("%lld exchanges, %lld after warm-up in %lld ms (%.0f/s), %.1f us CPU each; RSS "
          "%lld KiB after warm-up, %lld KiB at the end, %lld KiB of it readings held",
          kExchanges, kExchanges - warmCount, runMs, 1000.0 * (kExchanges - warmCount) / runMs,
          1e6 * cpuSeconds / double(kExchanges - warmCount), warmRssKiB, endRssKiB, heldKiB);
    if (PanelWatch::kRssIsMeaningful)
        QCOMPARE_LE(endRssKiB - warmRssKiB, 2 * heldKiB + kSlackKiB);

    QTRY_VERIFY_WITH_TIMEOUT(peer.idle(), kTimeoutMs);
    QCOMPARE(peer.readingCount(), kExchanges);
    const QByteArray &sent = peer.sentValues();
    for (qint32 i = 1; i <= records.count(); ++i) {
        const QByteArray value = sent.mid((i - 1) * PtyPeer::kValueChars, PtyPeer::kValueChars);
        if (records.entry(i) != value.toDouble())
            QFAIL(qPrintable(QStringLiteral("record %1 is %2, reading %1 was %3")
                                 .arg(i)
                                 .arg(records.entry(i))
                                 .arg(QString::fromLatin1(value))));
    }
    form.readingLog()->close(); // what its thread still holds is written out
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QByteArray logged;
    logged.reserve(sent.size());
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (!line.isEmpty() && !line.startsWith('#'))
            logged += line.mid(line.indexOf('\t') + 1);
    }
    QVERIFY2(logged == sent, "the reading log differs from the readings sent");
    QVERIFY(boxes.messages.isEmpty());
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
