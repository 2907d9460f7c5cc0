#include "app/form1.h"
#include "app/panelsettings.h"
#include "platform/alarmbell.h"
#include "platform/plotarea.h"
#include "platform/serialcontrol.h"
#include "tests/support/panelport.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

constexpr QColor kReadingCyan(0, 255, 255);
const QByteArray kPollFrame("Q00F0000Y");
// Polls this often where the interval is not what a test is about.
constexpr auto kQuickPoll = 200ms;

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

// The rows of a column of the window's client area that show trend red.
QList<int> redRows(const QImage &client, int column)
{
    QList<int> rows;
    for (int y = 0; y < client.height(); ++y) {
        if (client.pixelColor(column, y) == QColor(Qt::red))
            rows << y;
    }
    return rows;
}

// The column of the window's client area where the plot shows x.
int clientColumn(const Form1 &form, double x)
{
    const PlotArea *plot = plotOf(form);
    const QPoint inPlot = plot->contentsRect().topLeft() + plot->toPixel(QPointF(x, 0));
    return plot->mapTo(form.centralWidget(), inPlot).x();
}

bool allWhite(const QImage &image)
{
    return !image.isNull() && pixelsOf(image, Qt::white) == image.width() * image.height();
}

// Reading number i of a run: 00.1, 01.2, 00.3, ..., 01.8, 00.9, 01.1, ... never zero and
// inside the plot.
QString readingText(int i)
{
    return QStringLiteral("0%1.%2").arg(i % 2).arg(1 + i % 9);
}

QByteArray readingReplies(int first, int count)
{
    QByteArray bytes;
    for (int i = first; i < first + count; ++i)
        bytes += "Q00N" + readingText(i).toLatin1() + "Y";
    return bytes;
}

// The desktop's notification service, on the session bus of the test's own dbus-run-session.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList summaries;

public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &,
                const QStringList &, const QVariantMap &, int)
    {
        summaries << summary;
        return uint(summaries.size());
    }
};

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
    void readingOnItsScaleRow_data();
    void readingOnItsScaleRow();
    void lineTroubleLosesNoFrame_data();
    void lineTroubleLosesNoFrame();
    void hundredthReplyClearsPlot();
    void unreadableReadingIsAGap();
    void readingGoesStaleWithoutReadings();
    void pollsOnlyWhileOpen();
    void pollsEveryOneAndAHalfSeconds();
    void alarmShowsRingsAndStopsOnce();
    void alarmNotifiesTheDesktop();
    void cleanup();

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
    // Shown as it came; not a number, so the sample is a gap.
    QTest::newRow("letters in the reading") << QByteArray("Q00Nab.cY") << true << "ab.c"
                                            << "02.0"
                                            << "0000" << qQNaN();
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

void TestReception::readingOnItsScaleRow_data()
{
    // Rows of the window's client area. The background paints the scale's labels and marks
    // left of the plot; a reading lies level with its label. Beyond the plot it lies on the
    // drawing area's edge row, inside the plot's one-pixel border.
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<double>("reading");
    QTest::addColumn<bool>("labelled");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("within");
    QTest::newRow("0.0") << QByteArray("00.0") << 0.0 << true << 408 << 2;
    QTest::newRow("0.5") << QByteArray("00.5") << 0.5 << true << 383 << 2;
    QTest::newRow("1.0") << QByteArray("01.0") << 1.0 << true << 360 << 2;
    QTest::newRow("1.5") << QByteArray("01.5") << 1.5 << true << 336 << 2;
    QTest::newRow("2.0") << QByteArray("02.0") << 2.0 << true << 311 << 2;
    QTest::newRow("above the plot") << QByteArray("05.0") << 5.0 << false << 313 << 0;
    QTest::newRow("below the plot") << QByteArray("-1.5") << -1.5 << false << 455 << 0;
}

void TestReception::readingOnItsScaleRow()
{
    QFETCH(QByteArray, value);
    QFETCH(double, reading);
    QFETCH(bool, labelled);
    QFETCH(int, row);
    QFETCH(int, within);

    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    // Three equal readings draw a level segment to x = 2, clear of the short tick marks.
    QVERIFY(m_pty.writeAll(("Q00N" + value + 'Y').repeated(3)));
    QTRY_COMPARE_WITH_TIMEOUT(form.trend().itime(), 3, 5000);
    QCOMPARE(form.trend().prhistory(2), reading);

    const QImage client = form.centralWidget()->grab().toImage();
    if (labelled) {
        // The label's mark, between the label and the plot, is on this row.
        QVERIFY2(client.pixelColor(37, row).lightness() > 200, "no scale mark on the row");
    }
    const QList<int> rows = redRows(client, clientColumn(form, 1.75));
    QVERIFY(!rows.isEmpty());
    for (const int red : rows)
        QVERIFY2(qAbs(red - row) <= within, qPrintable(QStringLiteral("red at row %1").arg(red)));
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

    QVERIFY(m_pty.writeAll("Q00N01.5Y"));
    QTRY_COMPARE_WITH_TIMEOUT(textBox(form, "pnow")->text(), QStringLiteral("01.5"), 5000);
    QCOMPARE(form.trend().itime(), 0);
    QCOMPARE(form.trend().prhistory(99), 1.5);
    QVERIFY(allWhite(plot->image()));

    // The next sweep starts again from (-1, 0), not from the last sample of the old one.
    QVERIFY(m_pty.writeAll("Q00N00.7Y"));
    QTRY_COMPARE_WITH_TIMEOUT(form.trend().itime(), 1, 5000);
    QCOMPARE(form.trend().prhistory(0), 0.7);
    const QImage image = plot->image();
    QVERIFY(redNear(image, plot->toPixel(QPointF(0, 0.7))));
    QVERIFY(!redNear(image, plot->toPixel(QPointF(0, 1.5))));
    QCOMPARE(image.pixelColor(plot->toPixel(QPointF(50, 0))), QColor(Qt::black));
    QCOMPARE(image.pixelColor(plot->toPixel(QPointF(1, 1))), QColor(Qt::black));
}

void TestReception::unreadableReadingIsAGap()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    // A whole sweep at 1.8 first, so that every slot holds a reading a gap must not bring back.
    QVERIFY(m_pty.writeAll(QByteArray("Q00N01.8Y").repeated(PressureTrend::kSamplesPerSweep)));
    QTRY_COMPARE_WITH_TIMEOUT(form.trend().prhistory(99), 1.8, 10000);
    QCOMPARE(form.trend().itime(), 0);

    // Samples 0 and 1 read 1.2; 2 is not a number, nor is 3, a setting reply that samples the
    // box still showing it; 4 and 5 read 1.2 again.
    QLineEdit *pnow = textBox(form, "pnow");
    QVERIFY(m_pty.writeAll("Q00N01.2YQ00N01.2YQ00NABCDY"));
    QTRY_COMPARE_WITH_TIMEOUT(form.trend().itime(), 3, 5000);
    QCOMPARE(pnow->text(), QStringLiteral("ABCD"));
    QVERIFY(m_pty.writeAll("Q00P01.9Y"));
    QTRY_COMPARE_WITH_TIMEOUT(form.trend().itime(), 4, 5000);
    QCOMPARE(pnow->text(), QStringLiteral("ABCD"));
    QVERIFY(m_pty.writeAll("Q00N01.2YQ00N01.2Y"));
    QTRY_COMPARE_WITH_TIMEOUT(form.trend().itime(), 6, 5000);
    QVERIFY(qIsNaN(form.trend().prhistory(2)));
    QVERIFY(qIsNaN(form.trend().prhistory(3)));
    QCOMPARE(form.trend().prhistory(4), 1.2);

    // Red from 0 to 1 and from 4 to 5, nothing between 1 and 4.
    const QImage client = form.centralWidget()->grab().toImage();
    const int level = redRows(client, clientColumn(form, 0.5)).value(0, -1);
    QVERIFY(level >= 0);
    QCOMPARE(redRows(client, clientColumn(form, 4.5)), QList<int>{level});
    for (int column = clientColumn(form, 1) + 1; column < clientColumn(form, 4); ++column)
        QVERIFY2(redRows(client, column).isEmpty(), qPrintable(QString::number(column)));
}

void TestReception::readingGoesStaleWithoutReadings()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(kQuickPoll);
    // The start-up text is no reading: grey, and said so in words.
    QLineEdit *pnow = textBox(form, "pnow");
    QVERIFY(!form.session()->readingIsStale());
    QVERIFY(isGrey(textColor(pnow)));
    QCOMPARE(pnow->toolTip(), QStringLiteral("尚无读数"));
    QCOMPARE(pnow->accessibleDescription(), QStringLiteral("尚无读数"));
    QVERIFY(openPanelPort(form, boxes, m_pty));

    QVERIFY(m_pty.writeAll("Q00N01.5Y"));
    QTRY_COMPARE_WITH_TIMEOUT(pnow->text(), QStringLiteral("01.5"), 5000);
    QVERIFY(!form.session()->readingIsStale());
    QCOMPARE(textColor(pnow), kReadingCyan);
    QCOMPARE(pnow->toolTip(), QString());

    // Polls without a reading make it stale, in grey and in words.
    QTRY_VERIFY_WITH_TIMEOUT(form.session()->readingIsStale(), 10000);
    QVERIFY(isGrey(textColor(pnow)));
    QVERIFY(pnow->accessibleDescription().contains(QStringLiteral("过时")));
    QVERIFY(boxes.messages.isEmpty());
}

void TestReception::pollsOnlyWhileOpen()
{
    constexpr auto interval = 100ms;
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.setPollInterval(interval);
    const QTimer *poll = form.findChild<QTimer *>(QStringLiteral("Timer2"));
    QVERIFY(poll);
    form.serialControl()->setPortMap({{1, m_pty.slavePath()}});
    QVERIFY(!poll->isActive());
    QTest::qWait(int(3 * interval.count()));
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

void TestReception::pollsEveryOneAndAHalfSeconds()
{
    // The one test on the panel's own interval: the first poll waits all of it. A coarse timer
    // may fire up to 5% early.
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QVERIFY(openPanelPort(form, boxes, m_pty));
    QElapsedTimer sinceOpening;
    sinceOpening.start();
    QByteArray polled;
    QTRY_VERIFY_WITH_TIMEOUT((polled += m_pty.readAvailable()).size() >= kPollFrame.size(), 3000);
    QVERIFY2(sinceOpening.elapsed() >= 1425, qPrintable(QString::number(sinceOpening.elapsed())));
    QCOMPARE(polled, kPollFrame);
}

QTEST_MAIN(TestReception)
#include "tst_reception.moc"

void TestReception::cleanup()
{
    // The alarms are kept in the test home's settings; the next test starts with none.
    PanelSettings().setAlarmSettings({});
}

// Set through the real dialog: a high-pressure alarm that stops the pump.
void TestReception::alarmShowsRingsAndStopsOnce()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    int rings = 0;
    form.alarmBell()->setRinger([&rings] { ++rings; });
    QVERIFY(openPanelPort(form, boxes, m_pty));
    QTimer::singleShot(0, &form, [] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        dialog->findChild<QCheckBox *>(QStringLiteral("highOn"))->setChecked(true);
        dialog->findChild<QCheckBox *>(QStringLiteral("highStop"))->setChecked(true);
        dialog->findChild<QDoubleSpinBox *>(QStringLiteral("highLimit"))->setValue(1.0);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    form.findChild<QAction *>(QStringLiteral("alarmSettings"))->trigger();
    QVERIFY(form.alarms()->settings().high.on);
    QCOMPARE(PanelSettings().alarmSettings().high.limit, 1.0);

    QLabel *banner = form.findChild<QLabel *>(QStringLiteral("alarmBanner"));
    // Two readings beyond and one that is no number: not yet.
    QVERIFY(m_pty.writeAll("Q00N01.2YQ00N01.3YQ00NABCDY"));
    QTRY_COMPARE_WITH_TIMEOUT(form.runRecord().readingCount(), 3, 5000);
    QVERIFY(banner->isHidden());
    QVERIFY(m_pty.writeAll("Q00N01.4YQ00N01.5YQ00N01.6Y"));
    QTRY_VERIFY_WITH_TIMEOUT(!banner->isHidden(), 5000);
    QVERIFY2(banner->text().contains(QStringLiteral("压力过高：01.4 MPa（")) &&
                 banner->text().endsWith(QStringLiteral("），已停泵")),
             qPrintable(banner->text()));
    QCOMPARE(rings, 1);
    QTRY_COMPARE_WITH_TIMEOUT(form.runRecord().readingCount(), 6, 5000);
    const QByteArray sent = m_pty.readExactly(4096, 300);
    QCOMPARE(sent.count("Q00S0000Y"), 1);
    QCOMPARE(boxes.messages.size(), 0);

    auto *ack = form.findChild<QPushButton *>(QStringLiteral("alarmAck"));
    QVERIFY(!ack->isHidden());
    QTest::mouseClick(ack, Qt::LeftButton);
    QVERIFY(banner->isHidden());
    QVERIFY(!form.alarmBell()->isRinging());
    QStringList keys;
    for (const RunRecord::Event &event : form.runRecord().events())
        keys << event.key;
    QCOMPARE(keys.filter(QStringLiteral("alarm-")),
             (QStringList{"alarm-raised", "alarm-acted", "alarm-ack"}));
}

// Run under dbus-run-session (see CMakeLists.txt); skipped where no session bus is named.
void TestReception::alarmNotifiesTheDesktop()
{
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("no session bus");
    QDBusConnection bus = QDBusConnection::sessionBus();
    FakeNotifications service;
    QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                               QDBusConnection::ExportAllSlots));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.alarmBell()->setRinger([] {});
    QVERIFY(openPanelPort(form, boxes, m_pty));
    AlarmSettings settings;
    settings.low = {true, 0.5, false};
    form.alarms()->setSettings(settings);
    QVERIFY(m_pty.writeAll("Q00N00.1YQ00N00.1YQ00N00.1Y"));
    QTRY_COMPARE_WITH_TIMEOUT(form.runRecord().readingCount(), 3, 5000);
    // The low alarm waits for a run to have gone out.
    QTest::qWait(100);
    QCOMPARE(service.summaries.size(), 0);
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("Cmdr")), Qt::LeftButton);
    QVERIFY(m_pty.writeAll("Q00N00.1YQ00N00.1YQ00N00.1Y"));
    QTRY_COMPARE_WITH_TIMEOUT(service.summaries, QStringList{QStringLiteral("泵报警：压力过低")},
                              5000);
}
