#include "form1.h"
#include "panelport.h"
#include "plotarea.h"
#include "pseudoterminal.h"
#include "scriptedboxes.h"
#include "serialcontrol.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {

constexpr QColor kReadingCyan(0, 255, 255);
const QByteArray kPollFrame("Q00F0000Y");

QLineEdit *textBox(const Form1 &form, const char *name)
{
    return form.findChild<QLineEdit *>(QLatin1String(name));
}

PlotArea *plotOf(const Form1 &form)
{
    return form.findChild<PlotArea *>(QStringLiteral("Picture1"));
}

QColor textColor(const QLineEdit *box)
{
    return box->palette().color(QPalette::Text);
}

bool isGrey(const QColor &color)
{
    return color.red() == color.green() && color.green() == color.blue() && color.red() > 0 &&
           color.red() < 255;
}

bool isRed(const QImage &image, QPoint pixel)
{
    return image.rect().contains(pixel) && image.pixelColor(pixel) == QColor(Qt::red);
}

// A red pixel at, or next to, the given pixel: the end of a trend segment.
bool redNear(const QImage &image, QPoint pixel)
{
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (isRed(image, pixel + QPoint(dx, dy)))
                return true;
        }
    }
    return false;
}

int pixelsOf(const QImage &image, const QColor &color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == color)
                ++count;
        }
    }
    return count;
}

bool allWhite(const QImage &image)
{
    return !image.isNull() && pixelsOf(image, Qt::white) == image.width() * image.height();
}

// Reading number i of a run: 01.0, 02.1, ..., 08.7, 01.8, ... never zero and inside the plot.
QString readingText(int i)
{
    return QStringLiteral("%1.%2").arg(1 + i % 8, 2, 10, QLatin1Char('0')).arg(i % 10);
}

QByteArray readingReplies(int first, int count)
{
    QByteArray bytes;
    for (int i = first; i < first + count; ++i)
        bytes += "Q00N" + readingText(i).toLatin1() + "Y";
    return bytes;
}

} // namespace

// The panel's reception: the pump's replies come in on a pseudo-terminal while the panel polls.
class TestReception : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void replyHandling_data();
    void replyHandling();
    void readingDrawsTrendSegment();
    void lineTroubleLosesNoFrame_data();
    void lineTroubleLosesNoFrame();
    void hundredthReplyClearsPlot();
    void unreadableReadingKeepsSlot();
    void readingGoesStaleWithoutReadings();
    void hangUpMakesReadingStale();
    void pollsOnlyWhileOpen();

private:
    PseudoTerminal m_pty;
};

void TestReception::init()
{
    m_pty.hangUp();
    QVERIFY(m_pty.open());
}

void TestReception::replyHandling_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("pnow");
    QTest::addColumn<QString>("prset");
    QTest::addColumn<QString>("lqset");
    QTest::addColumn<double>("sample");

    // Before each reply the current-pressure box reads 00.7, the settings 02.0 and 0000.
    QTest::newRow("reading") << QByteArray("Q00N01.5Y") << true << "01.5"
                             << "02.0"
                             << "0000" << 1.5;
    QTest::newRow("pressure setting") << QByteArray("Q00P01.8Y") << true << "00.7"
                                      << "01.8"
                                      << "0000" << 0.7;
    QTest::newRow("flow setting") << QByteArray("Q00L0500Y") << true << "00.7"
                                  << "02.0"
                                  << "0500" << 0.7;
    QTest::newRow("other letter") << QByteArray("Q00Z1234Y") << true << "00.7"
                                  << "02.0"
                                  << "0000" << 0.7;
    QTest::newRow("other address") << QByteArray("Q07N01.0Y") << true << "01.0"
                                   << "02.0"
                                   << "0000" << 1.0;
    // Shown as it came; not a number, so the sample slot keeps what it had.
    QTest::newRow("letters in the reading") << QByteArray("Q00Nab.cY") << true << "ab.c"
                                            << "02.0"
                                            << "0000" << 0.0;
    // Not replies: a good one sent behind them is the only one counted.
    QTest::newRow("lower-case start") << QByteArray("q00N01.5Y") << false << "00.7"
                                      << "02.0"
                                      << "0009" << 0.7;
    QTest::newRow("wrong end character") << QByteArray("Q00N01.5X") << false << "00.7"
                                         << "02.0"
                                         << "0009" << 0.7;
}

void TestReception::replyHandling()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, accepted);
    QFETCH(QString, pnow);
    QFETCH(QString, prset);
    QFETCH(QString, lqset);
    QFETCH(double, sample);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QVERIFY(openPanelPort(form, boxes, m_pty));
    textBox(form, "pnow")->setText(QStringLiteral("00.7"));

    QVERIFY(m_pty.writeAll(reply));
    if (accepted) {
        QTRY_COMPARE_WITH_TIMEOUT(form.trend().itime(), 1, 5000);
    } else {
        // Once the good reply behind the bad one is in, the bad one has been dealt with.
        QVERIFY(m_pty.writeAll("Q00L0009Y"));
        QTRY_COMPARE_WITH_TIMEOUT(textBox(form, "lqset")->text(), QStringLiteral("0009"), 5000);
        QCOMPARE(form.trend().itime(), 1);
    }
    QCOMPARE(form.trend().prhistory(0), sample);
    QCOMPARE(textBox(form, "lqset")->text(), lqset);
    QCOMPARE(textBox(form, "pnow")->text(), pnow);
    QCOMPARE(textBox(form, "prset")->text(), prset);
    QVERIFY(boxes.messages.isEmpty());
}

void TestReception::readingDrawsTrendSegment()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    const PlotArea *plot = plotOf(form);
    QVERIFY(plot);
    QVERIFY(allWhite(plot->image()));

    QVERIFY(m_pty.writeAll("Q00N01.5Y"));
    QTRY_COMPARE_WITH_TIMEOUT(textBox(form, "pnow")->text(), QStringLiteral("01.5"), 5000);
    QCOMPARE(form.trend().itime(), 1);
    QCOMPARE(form.trend().prhistory(0), 1.5);

    // The segment runs from (-1, 0) to (0, 1.5); only its right end lies inside the area.
    const QImage image = plot->image();
    QVERIFY(redNear(image, plot->toPixel(QPointF(0, 1.5))));
    QVERIFY(!redNear(image, plot->toPixel(QPointF(0, 0))));
    // The base line is drawn as well.
    QCOMPARE(image.pixelColor(plot->toPixel(QPointF(50, 0))), QColor(Qt::black));
}

void TestReception::lineTroubleLosesNoFrame_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QString>("pnow");
    QTest::addColumn<QString>("prset");
    QTest::addColumn<QList<double>>("samples");

    QTest::newRow("noise before a reply") << QByteArrayList{"\x13\xff~Q-Q00N01.5Y"} << "01.5"
                                          << "02.0" << QList<double>{1.5};
    QTest::newRow("noise and a stray Q between replies")
        << QByteArrayList{"Q00N01.2Y#Q!Q00P01.8Y"} << "01.2"
        << "01.8" << QList<double>{1.2, 1.2};
    QTest::newRow("two replies in one write") << QByteArrayList{"Q00N01.2YQ00P01.8Y"} << "01.2"
                                              << "01.8" << QList<double>{1.2, 1.2};
    QTest::newRow("two readings in one write") << QByteArrayList{"Q00N01.2YQ00N01.8Y"} << "01.8"
                                               << "02.0" << QList<double>{1.2, 1.8};
    QTest::newRow("reply in two pieces") << QByteArrayList{"Q00N", "01.5Y"} << "01.5"
                                         << "02.0" << QList<double>{1.5};
    QTest::newRow("reply in three pieces") << QByteArrayList{"Q0", "0N0", "1.5Y"} << "01.5"
                                           << "02.0" << QList<double>{1.5};
    // In these the first piece is handled on its own and leaves part of a frame waiting; the
    // rest is shorter than a frame and has to be handled without another reply behind it.
    QTest::newRow("rest of a reply after a whole one")
        << QByteArrayList{"Q00N01.2YQ00P", "01.8Y"} << "01.2"
        << "01.8" << QList<double>{1.2, 1.2};
    QTest::newRow("rest of a reply after a lone Q")
        << QByteArrayList{"Q00N01.2YQ", "00P01.8Y"} << "01.2"
        << "01.8" << QList<double>{1.2, 1.2};
    QTest::newRow("rest of a reply after noise") << QByteArrayList{"~~~~~Q00N", "01.5Y"} << "01.5"
                                                 << "02.0" << QList<double>{1.5};
    QTest::newRow("rest of a reply after a bad frame")
        << QByteArrayList{"Q00N09.9XQ0", "0N01.2Y"} << "01.2"
        << "02.0" << QList<double>{1.2};
    QTest::newRow("bad end, then a good reply") << QByteArrayList{"Q00N09.9XQ00N01.2Y"} << "01.2"
                                                << "02.0" << QList<double>{1.2};
    QTest::newRow("cut-short reply, then a good one")
        << QByteArrayList{"Q00N09.9", "Q00N01.2Y"} << "01.2"
        << "02.0" << QList<double>{1.2};
}

void TestReception::lineTroubleLosesNoFrame()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QString, pnow);
    QFETCH(QString, prset);
    QFETCH(QList<double>, samples);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QVERIFY(openPanelPort(form, boxes, m_pty));

    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            QTest::qWait(200); // the panel reads the earlier piece on its own
        QVERIFY(m_pty.writeAll(pieces.at(i)));
    }
    QTRY_COMPARE_WITH_TIMEOUT(form.trend().itime(), int(samples.size()), 5000);
    QCOMPARE(textBox(form, "pnow")->text(), pnow);
    QCOMPARE(textBox(form, "prset")->text(), prset);
    for (qsizetype slot = 0; slot < samples.size(); ++slot)
        QCOMPARE(form.trend().prhistory(int(slot)), samples.at(slot));
    QVERIFY(boxes.messages.isEmpty());
}

void TestReception::hundredthReplyClearsPlot()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    const PlotArea *plot = plotOf(form);
    QVERIFY(plot);

    QVERIFY(m_pty.writeAll(readingReplies(0, 99)));
    QTRY_COMPARE_WITH_TIMEOUT(form.trend().itime(), 99, 10000);
    QCOMPARE(form.trend().prhistory(98), readingText(98).toDouble());
    QVERIFY(pixelsOf(plot->image(), Qt::red) > 0);

    QVERIFY(m_pty.writeAll("Q00N05.0Y"));
    QTRY_COMPARE_WITH_TIMEOUT(textBox(form, "pnow")->text(), QStringLiteral("05.0"), 5000);
    QCOMPARE(form.trend().itime(), 0);
    QCOMPARE(form.trend().prhistory(99), 5.0);
    QVERIFY(allWhite(plot->image()));

    // The next sweep starts again from (-1, 0), not from the last sample of the old one.
    QVERIFY(m_pty.writeAll("Q00N03.0Y"));
    QTRY_COMPARE_WITH_TIMEOUT(form.trend().itime(), 1, 5000);
    QCOMPARE(form.trend().prhistory(0), 3.0);
    const QImage image = plot->image();
    QVERIFY(redNear(image, plot->toPixel(QPointF(0, 3.0))));
    QVERIFY(!redNear(image, plot->toPixel(QPointF(0, 5.0))));
    QCOMPARE(image.pixelColor(plot->toPixel(QPointF(50, 0))), QColor(Qt::black));
    QCOMPARE(image.pixelColor(plot->toPixel(QPointF(1, 5))), QColor(Qt::black));
}

void TestReception::unreadableReadingKeepsSlot()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QVERIFY(openPanelPort(form, boxes, m_pty));
    // A whole sweep first, so that every slot holds a reading of its own.
    QVERIFY(m_pty.writeAll(readingReplies(0, 100)));
    QTRY_VERIFY_WITH_TIMEOUT(
        form.trend().itime() == 0 && textBox(form, "pnow")->text() == readingText(99), 10000);

    QLineEdit *pnow = textBox(form, "pnow");
    pnow->setText(QStringLiteral("abc"));
    QVERIFY(m_pty.writeAll("Q00P01.8Y"));
    QTRY_COMPARE_WITH_TIMEOUT(textBox(form, "prset")->text(), QStringLiteral("01.8"), 5000);
    QCOMPARE(form.trend().itime(), 1);
    QCOMPARE(form.trend().prhistory(0), readingText(0).toDouble());
    QCOMPARE(pnow->text(), QStringLiteral("abc"));

    QVERIFY(m_pty.writeAll("Q00Nab.cY"));
    QTRY_COMPARE_WITH_TIMEOUT(pnow->text(), QStringLiteral("ab.c"), 5000);
    QCOMPARE(form.trend().itime(), 2);
    QCOMPARE(form.trend().prhistory(1), readingText(1).toDouble());
}

void TestReception::readingGoesStaleWithoutReadings()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QLineEdit *pnow = textBox(form, "pnow");
    QVERIFY(!form.readingIsStale());
    QCOMPARE(textColor(pnow), kReadingCyan);
    QVERIFY(openPanelPort(form, boxes, m_pty));

    // Setting replies keep coming between the polls, but they are no reading: the third poll
    // without one makes it stale all the same.
    QByteArray polled;
    const auto pollsSeen = [&] { return (polled += m_pty.readAvailable()).count(kPollFrame); };
    struct SettingReply
    {
        const char *reply;
        const char *box;
        const char *shown;
    };
    const SettingReply settings[] = {{"Q00P01.1Y", "prset", "01.1"},
                                     {"Q00L0300Y", "lqset", "0300"},
                                     {"Q00P01.8Y", "prset", "01.8"}};
    for (const SettingReply &setting : settings) {
        QVERIFY(m_pty.writeAll(setting.reply));
        QTRY_COMPARE_WITH_TIMEOUT(textBox(form, setting.box)->text(), QLatin1String(setting.shown),
                                  5000);
        const qsizetype before = pollsSeen();
        QTRY_VERIFY_WITH_TIMEOUT(pollsSeen() > before, 10000);
        // Seen from here, between two turns of the event loop, a poll and its count are one
        // step: however many polls went out, the reading is stale from the third one on.
        const qsizetype polls = pollsSeen();
        QCOMPARE(form.readingIsStale(), polls >= 3);
    }
    QVERIFY(isGrey(textColor(pnow)));
    QVERIFY(m_pty.writeAll("Q00L0500Y"));
    QTRY_COMPARE_WITH_TIMEOUT(textBox(form, "lqset")->text(), QStringLiteral("0500"), 5000);
    QVERIFY(form.readingIsStale());

    QVERIFY(m_pty.writeAll("Q00N01.5Y"));
    QTRY_VERIFY_WITH_TIMEOUT(!form.readingIsStale(), 5000);
    QCOMPARE(textColor(pnow), kReadingCyan);
    QCOMPARE(pnow->text(), QStringLiteral("01.5"));

    // The reading counts afresh: one more poll does not make it stale again.
    const qsizetype before = pollsSeen();
    QTRY_VERIFY_WITH_TIMEOUT(pollsSeen() > before, 5000);
    QVERIFY(!form.readingIsStale());
    QVERIFY(boxes.messages.isEmpty());
}

void TestReception::hangUpMakesReadingStale()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QVERIFY(openPanelPort(form, boxes, m_pty));
    QVERIFY(m_pty.writeAll("Q00N01.5Y"));
    QTRY_COMPARE_WITH_TIMEOUT(textBox(form, "pnow")->text(), QStringLiteral("01.5"), 5000);
    QVERIFY(!form.readingIsStale());

    m_pty.hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(form.readingIsStale(), 5000);
    QVERIFY(isGrey(textColor(textBox(form, "pnow"))));
    QVERIFY(!form.serialControl()->portOpen());
    QVERIFY(!form.findChild<QTimer *>(QStringLiteral("Timer2"))->isActive());
    QCOMPARE(boxes.messages.size(), 1);
}

void TestReception::pollsOnlyWhileOpen()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    const QTimer *poll = form.findChild<QTimer *>(QStringLiteral("Timer2"));
    QVERIFY(poll);
    form.serialControl()->setPortMap({{1, m_pty.slavePath()}});
    QVERIFY(!poll->isActive());
    QTest::qWait(2000); // longer than one poll interval
    QCOMPARE(m_pty.readAvailable(), QByteArray());
    QVERIFY(boxes.messages.isEmpty());

    QVERIFY(openPanelPort(form, boxes, m_pty));
    QVERIFY(poll->isActive());
    QByteArray polled;
    QTRY_VERIFY_WITH_TIMEOUT((polled += m_pty.readAvailable()).size() >= 3 * kPollFrame.size(),
                             10000);
    QCOMPARE(polled.size() % kPollFrame.size(), 0);
    for (qsizetype i = 0; i < polled.size(); i += kPollFrame.size())
        QCOMPARE(polled.mid(i, kPollFrame.size()), kPollFrame);
    QVERIFY(boxes.messages.isEmpty());
}

QTEST_MAIN(TestReception)
#include "tst_reception.moc"
