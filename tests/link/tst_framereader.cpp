#include "link/framereader.h"

#include <QTest>

namespace {

const QByteArray kReply("Q00N01.5Y");
const QByteArray kOtherReply("Q00F0000Y");

} // namespace

class TestFrameReader : public QObject
{
    Q_OBJECT

private slots:
    void stream_data();
    void stream();
    void frameSplitAcrossFeeds_data();
    void frameSplitAcrossFeeds();
    void garbageNeverPilesUp_data();
    void garbageNeverPilesUp();
    void clearDropsPartialFrame();
};

void TestFrameReader::stream_data()
{
    QTest::addColumn<QByteArrayList>("feeds");
    QTest::addColumn<QByteArrayList>("frames");
    QTest::addColumn<quint64>("dropped");
    QTest::addColumn<qsizetype>("pending");

    QTest::newRow("clean frame") << QByteArrayList{kReply} << QByteArrayList{kReply} << quint64(0)
                                 << qsizetype(0);
    QTest::newRow("two frames in one feed")
        << QByteArrayList{kReply + kOtherReply} << QByteArrayList{kReply, kOtherReply} << quint64(0)
        << qsizetype(0);
    QTest::newRow("empty feed") << QByteArrayList{QByteArray()} << QByteArrayList{} << quint64(0)
                                << qsizetype(0);
    QTest::newRow("noise before frame") << QByteArrayList{QByteArray("\x00\xff"
                                                                     "ab",
                                                                     4) +
                                                          kReply}
                                        << QByteArrayList{kReply} << quint64(4) << qsizetype(0);
    QTest::newRow("stray Q before frame")
        << QByteArrayList{"Q", kReply} << QByteArrayList{kReply} << quint64(1) << qsizetype(0);
    QTest::newRow("stray Q in same feed")
        << QByteArrayList{"Q" + kReply} << QByteArrayList{kReply} << quint64(1) << qsizetype(0);
    QTest::newRow("noise and half a frame")
        << QByteArrayList{"xQ00", "N01.5Y"} << QByteArrayList{kReply} << quint64(1) << qsizetype(0);
    QTest::newRow("bad candidate then good frame")
        << QByteArrayList{"Q00N01.5X", kReply} << QByteArrayList{kReply} << quint64(9)
        << qsizetype(0);
    QTest::newRow("bad candidate and good frame together")
        << QByteArrayList{"Q00N01.5X" + kReply} << QByteArrayList{kReply} << quint64(9)
        << qsizetype(0);
    QTest::newRow("truncated frame then complete frame")
        << QByteArrayList{"Q00N", kReply} << QByteArrayList{kReply} << quint64(4) << qsizetype(0);
    QTest::newRow("longer truncated frame then complete frame")
        << QByteArrayList{"Q00N01.", kOtherReply} << QByteArrayList{kOtherReply} << quint64(7)
        << qsizetype(0);
    QTest::newRow("noise after frame")
        << QByteArrayList{kReply + "zz"} << QByteArrayList{kReply} << quint64(2) << qsizetype(0);
    QTest::newRow("partial frame waits") << QByteArrayList{kReply + "Q00F00"}
                                         << QByteArrayList{kReply} << quint64(0) << qsizetype(6);
    QTest::newRow("frames keep arrival order")
        << QByteArrayList{kOtherReply + "Q0", "0N01.5Y" + kOtherReply}
        << QByteArrayList{kOtherReply, kReply, kOtherReply} << quint64(0) << qsizetype(0);
}

void TestFrameReader::stream()
{
    QFETCH(QByteArrayList, feeds);
    QFETCH(QByteArrayList, frames);
    QFETCH(quint64, dropped);
    QFETCH(qsizetype, pending);

    FrameReader reader;
    QByteArrayList received;
    for (const QByteArray &feed : feeds)
        received += reader.feed(feed);
    QCOMPARE(received, frames);
    QCOMPARE(reader.droppedBytes(), dropped);
    QCOMPARE(reader.pendingSize(), pending);
}

void TestFrameReader::frameSplitAcrossFeeds_data()
{
    // Every way of cutting one frame into 2..9 feeds: each bit of `cuts` is a cut after that byte.
    QTest::addColumn<QByteArrayList>("feeds");
    const int gaps = int(kReply.size()) - 1;
    for (int cuts = 1; cuts < (1 << gaps); ++cuts) {
        QByteArrayList feeds;
        QStringList cutNames;
        qsizetype start = 0;
        for (int gap = 0; gap < gaps; ++gap) {
            if (cuts & (1 << gap)) {
                feeds << kReply.mid(start, gap + 1 - start);
                cutNames << QString::number(gap + 1);
                start = gap + 1;
            }
        }
        feeds << kReply.mid(start);
        QTest::addRow("%lld feeds, cut after %s", qlonglong(feeds.size()),
                      qPrintable(cutNames.join(u',')))
            << feeds;
    }
}

void TestFrameReader::frameSplitAcrossFeeds()
{
    QFETCH(QByteArrayList, feeds);
    FrameReader reader;
    qsizetype fed = 0;
    for (qsizetype i = 0; i + 1 < feeds.size(); ++i) {
        QVERIFY(reader.feed(feeds.at(i)).isEmpty());
        fed += feeds.at(i).size();
        QCOMPARE(reader.pendingSize(), fed);
    }
    QCOMPARE(reader.feed(feeds.last()), QByteArrayList{kReply});
    QCOMPARE(reader.pendingSize(), qsizetype(0));
    QCOMPARE(reader.droppedBytes(), quint64(0));
}

void TestFrameReader::garbageNeverPilesUp_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<int>("chunk");

    QByteArray noQ;
    for (int i = 0; noQ.size() < 5000; ++i) {
        if (char(i) != 'Q')
            noQ.append(char(i));
    }
    const QByteArray allQ(5000, 'Q');
    // A 'Y' eight bytes after each 'Q' would make a frame; here it never lines up.
    const QByteArray qy = QByteArray("QY").repeated(2500);

    for (int chunk : {1, 8, 9, 500, 5000}) {
        QTest::addRow("no Q, chunks of %d", chunk) << noQ << chunk;
        QTest::addRow("only Q, chunks of %d", chunk) << allQ << chunk;
        QTest::addRow("QY, chunks of %d", chunk) << qy << chunk;
    }
}

void TestFrameReader::garbageNeverPilesUp()
{
    QFETCH(QByteArray, garbage);
    QFETCH(int, chunk);

    FrameReader reader;
    for (qsizetype pos = 0; pos < garbage.size(); pos += chunk) {
        QVERIFY(reader.feed(garbage.mid(pos, chunk)).isEmpty());
        QVERIFY2(reader.pendingSize() < 9,
                 qPrintable(QStringLiteral("%1 bytes pending after %2 bytes")
                                .arg(reader.pendingSize())
                                .arg(pos + chunk)));
    }
    QCOMPARE(reader.droppedBytes() + quint64(reader.pendingSize()), quint64(garbage.size()));

    // The link recovers: the next reply comes out and all of the garbage counts as dropped.
    QCOMPARE(reader.feed(kReply), QByteArrayList{kReply});
    QCOMPARE(reader.pendingSize(), qsizetype(0));
    QCOMPARE(reader.droppedBytes(), quint64(garbage.size()));
}

void TestFrameReader::clearDropsPartialFrame()
{
    FrameReader reader;
    QVERIFY(reader.feed("Q00N01").isEmpty());
    QCOMPARE(reader.pendingSize(), qsizetype(6));
    reader.clear();
    QCOMPARE(reader.pendingSize(), qsizetype(0));
    // The rest of the cut-off frame no longer completes it.
    QVERIFY(reader.feed(".5Y").isEmpty());
    QCOMPARE(reader.feed(kOtherReply), QByteArrayList{kOtherReply});
    QCOMPARE(reader.pendingSize(), qsizetype(0));
}

QTEST_GUILESS_MAIN(TestFrameReader)
#include "tst_framereader.moc"
