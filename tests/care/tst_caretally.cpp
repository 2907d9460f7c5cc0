#include "care/carebook.h"
#include "care/carefile.h"
#include "care/caretally.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using CareCounter::Kind;

namespace {

// One step of what the panel saw, at a time on the boot clock: R run frame, S stop frame,
// L flow known, N reading (no value: a reply that was no number), X reading lost, 0 the volume
// reset.
struct Step
{
    char what;
    qint64 ms;
    std::optional<double> value{};
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestCareTally : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void counts_data();
    void counts();
    void counterFiles_data();
    void counterFiles();
};

void TestCareTally::counts_data()
{
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<double>("volumeMl");
    QTest::addColumn<double>("loadMPaL");
    QTest::addColumn<double>("hours");
    QTest::addColumn<double>("starts");
    QTest::addColumn<double>("highest");

    QTest::newRow("a minute at 600 ml/min")
        << QList<Step>{{'L', 0, 600}, {'R', 0}, {'S', 60'000}} << 600.0 << 0.0 << 1 / 60.0 << 1.0
        << 0.0;
    QTest::newRow("a flow changed in the run")
        << QList<Step>{{'L', 0, 100}, {'R', 0}, {'L', 30'000, 200}, {'S', 60'000}} << 150.0
        << 0.0 << 1 / 60.0 << 1.0 << 0.0;
    QTest::newRow("the reply after the frame sets the flow")
        << QList<Step>{{'R', 0}, {'L', 0, 100}, {'L', 30'000, 300}, {'S', 60'000}} << 200.0
        << 0.0 << 1 / 60.0 << 1.0 << 0.0;
    QTest::newRow("a run frame while running is no start")
        << QList<Step>{{'L', 0, 60}, {'R', 0}, {'R', 30'000}, {'S', 60'000}, {'R', 90'000},
                       {'S', 120'000}}
        << 90.0 << 0.0 << 1.5 / 60 << 2.0 << 0.0;
    // 600 ml/min is 15 ml in 1.5 s; at 1 MPa that is 0.015 MPa·L.
    QTest::newRow("the reading held between polls")
        << QList<Step>{{'L', 0, 600}, {'R', 0}, {'N', 0, 1.0}, {'N', 1500, 2.0}, {'N', 3000, 0.5},
                       {'S', 3000}}
        << 30.0 << 0.045 << 3 / 3600.0 << 1.0 << 2.0;
    QTest::newRow("the interval before a stale reading is not counted")
        << QList<Step>{{'L', 0, 600}, {'R', 0}, {'N', 0, 1.0}, {'X', 4500}, {'N', 6000, 1.0},
                       {'N', 7500, 1.0}, {'S', 7500}}
        << 75.0 << 0.015 << 7.5 / 3600 << 1.0 << 1.0;
    QTest::newRow("a reply that is no number holds nothing")
        << QList<Step>{{'L', 0, 600}, {'R', 0}, {'N', 0, 1.0}, {'N', 1500}, {'N', 3000, 1.0},
                       {'N', 4500, 1.0}, {'S', 4500}}
        << 45.0 << 0.03 << 4.5 / 3600 << 1.0 << 1.0;
    QTest::newRow("a reading below zero loads nothing")
        << QList<Step>{{'L', 0, 600}, {'R', 0}, {'N', 0, 1.0}, {'N', 1500, -0.1},
                       {'N', 3000, 1.0}, {'S', 3000}}
        << 30.0 << 0.015 << 3 / 3600.0 << 1.0 << 1.0;
    QTest::newRow("24 h of running in one day")
        << QList<Step>{{'L', 0, 1000}, {'R', 0}, {'S', 86'400'000}} << 1'440'000.0 << 0.0
        << 24.0 << 1.0 << 0.0;
    QTest::newRow("reset goes on from zero")
        << QList<Step>{{'L', 0, 600}, {'R', 0}, {'0', 60'000}, {'S', 90'000}} << 300.0 << 0.0
        << 1.5 / 60 << 1.0 << 0.0;
}

void TestCareTally::counts()
{
    QFETCH(QList<Step>, steps);
    CareTally tally;
    for (const Step &step : steps) {
        switch (step.what) {
        case 'R':
        case 'S':
            tally.pumpCommanded(step.what == 'R', step.ms);
            break;
        case 'L':
            tally.flowKnown(*step.value, step.ms);
            break;
        case 'N':
            tally.reading(step.value, step.ms);
            break;
        case 'X':
            tally.readingLost(step.ms);
            break;
        case '0':
            tally.advance(step.ms);
            tally.reset(Kind::Volume);
            break;
        }
    }
    QFETCH(double, volumeMl);
    QFETCH(double, loadMPaL);
    QFETCH(double, hours);
    QFETCH(double, starts);
    QFETCH(double, highest);
    const auto near = [](double a, double b) { return std::abs(a - b) <= 1e-9 * (1 + std::abs(b)); };
    QVERIFY2(near(tally.value(Kind::Volume), volumeMl),
             qPrintable(QString::number(tally.value(Kind::Volume), 'g', 12)));
    QVERIFY2(near(tally.value(Kind::PressureLoad), loadMPaL),
             qPrintable(QString::number(tally.value(Kind::PressureLoad), 'g', 12)));
    QVERIFY2(near(tally.value(Kind::RunTime), hours),
             qPrintable(QString::number(tally.value(Kind::RunTime), 'g', 12)));
    QCOMPARE(tally.value(Kind::Starts), starts);
    QCOMPARE(tally.value(Kind::HighestPressure), highest);
}

void TestCareTally::counterFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("kind"); // file, folder or fifo
    QTest::addColumn<bool>("used");
    QTest::addColumn<QString>("why");

    CareBook kept;
    kept.adapter = QStringLiteral("/dev/pts/7");
    kept.values[int(Kind::Volume)] = 1234.5;
    kept.values[int(Kind::Starts)] = 3;
    kept.limits[int(Kind::RunTime)] = 1000;
    kept.services[int(Kind::Volume)] = {QDateTime(QDate(2026, 3, 1), QTime(9, 30)),
                                        QStringLiteral("王工"), QStringLiteral("换密封圈")};
    kept.flowMlPerMin = 250;
    QTest::newRow("kept") << kept.encode() << "file" << true << QString();
    QTest::newRow("damaged") << kept.encode().left(40) << "file" << false << "内容损坏";
    QByteArray newer = kept.encode();
    newer.replace("\"format\": 1", "\"format\": 2");
    QTest::newRow("newer format") << newer << "file" << false << "格式 2 较新";
    QByteArray negative = kept.encode();
    negative.replace("1234.5", "-1234.5");
    QTest::newRow("a counter below zero") << negative << "file" << false << "泵送体积";
    QTest::newRow("a folder") << QByteArray() << "folder" << false << "不是普通文件";
    QTest::newRow("a FIFO") << QByteArray() << "fifo" << false << "不是普通文件";
}

void TestCareTally::counterFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, kind);
    QFETCH(bool, used);
    QFETCH(QString, why);
    QTemporaryDir folder;
    const QString adapter = QStringLiteral("/dev/pts/7");
    const QString path = QDir(folder.path()).filePath(CareFile::fileName(adapter));
    if (kind == u"folder")
        QVERIFY(QDir().mkpath(path));
    else if (kind == u"fifo")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QCOMPARE(CareFile::writeWhole(path, content), QString());

    CareFile::Opened opened = CareFile::open(folder.path(), adapter);
    QCOMPARE(opened.book.adapter, adapter);
    if (used) {
        QCOMPARE(opened.path, path);
        QVERIFY(opened.refused.isEmpty());
        QCOMPARE(opened.book.encode(), content);
        return;
    }
    // Refused by name and left as it was; counting starts afresh beside it.
    QCOMPARE(opened.refused.size(), 1);
    QVERIFY2(opened.refused.first().contains(path) && opened.refused.first().contains(why),
             qPrintable(opened.refused.first()));
    QCOMPARE(opened.book.values, CareTally::Values{});
    QVERIFY(opened.path != path && QFileInfo(opened.path).absolutePath() == folder.path());
    if (kind == u"file") {
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), content);
    }
    // The next start goes on in the afresh file while the refused one is still there.
    opened.book.values[int(Kind::Volume)] = 42;
    QCOMPARE(CareFile::writeWhole(opened.path, opened.book.encode()), QString());
    const CareFile::Opened again = CareFile::open(folder.path(), adapter);
    QCOMPARE(again.path, opened.path);
    QCOMPARE(again.refused.size(), 1);
    QCOMPARE(again.book.values[int(Kind::Volume)], 42.0);
}

QTEST_GUILESS_MAIN(TestCareTally)
#include "tst_caretally.moc"
