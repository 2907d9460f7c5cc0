#include "tools/paneldriver/paneldriver.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// How long a step of the panel may take on a busy machine, the sanitizers' build among others:
// only a panel that hangs fails, never a slow one.
constexpr int kWaitMs = 30'000;

} // namespace

// The panel as an operator meets it: started as a program on an X display beside the
// simulated pump, looked at through screenshots, and driven with the mouse and keyboard.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void opensAsDesigned();
    void showsLivePressure();
    void comesBackAfterPumpRestart();
    void exitEndsWithoutStopFrame();
    void desktopStartKeepsRecordsWhereUsersLook();

private:
    static bool isBlue(QRgb pixel)
    {
        return qRed(pixel) < 40 && qGreen(pixel) < 40 && qBlue(pixel) > 215;
    }
    static bool isRed(QRgb pixel)
    {
        return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
    }
    // Text of a fresh reading; the grey of a stale one (and its blend into blue) is no match.
    static bool isCyan(QRgb pixel)
    {
        return qRed(pixel) < 90 && qGreen(pixel) > 180 && qBlue(pixel) > 180;
    }
    // The status area over the brand panel, in client coordinates, and its dark blue.
    static constexpr QRect kStatusArea{49, 146, 272, 93};
    static bool isStatusBlue(QRgb pixel)
    {
        return qRed(pixel) < 20 && qGreen(pixel) < 20 && qAbs(qBlue(pixel) - 96) < 20;
    }
    bool startPump();
    QByteArray frameLog() const;
    static int countPixels(const QImage &image, const QRect &area, bool (*test)(QRgb));
    QImage clientShot(const QString &name);

    QTemporaryDir m_dir;
    QProcess m_pump;
    QProcess m_panel;
    QString m_device;
    PanelDriver m_driver;
    QImage m_closedShot;
};

QByteArray TestEndToEnd::frameLog() const
{
    QFile log(m_dir.filePath(QStringLiteral("frames.log")));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

int TestEndToEnd::countPixels(const QImage &image, const QRect &area, bool (*test)(QRgb))
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += test(image.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

QImage TestEndToEnd::clientShot(const QString &name)
{
    const QImage window = m_driver.grabWindow();
    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    window.save(QStringLiteral(SCREENSHOT_DIR "/") + name);
    const QRect client = m_driver.clientRect().translated(-m_driver.windowRect().topLeft());
    return window.copy(client);
}

// The pump behind a symlink that follows its line, as udev keeps /dev/serial/by-id/... for an
// adapter; its log of received frames grows across restarts.
bool TestEndToEnd::startPump()
{
    m_device = m_dir.filePath(QStringLiteral("usb-pump-if00"));
    m_pump.start(QStringLiteral(PUMPSIM_EXECUTABLE),
                 {QStringLiteral("--running"), QStringLiteral("--seed"), QStringLiteral("7"),
                  QStringLiteral("--log"), m_dir.filePath(QStringLiteral("frames.log")),
                  QStringLiteral("--link"), m_device});
    if (!m_pump.waitForStarted())
        return false;
    (void)QTest::qWaitFor([&] { return m_pump.canReadLine(); }, kWaitMs);
    return m_pump.readLine().contains("listening on /");
}

void TestEndToEnd::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(startPump());

    m_panel.setProcessChannelMode(QProcess::ForwardedChannels);
    m_panel.start(QStringLiteral(PANEL_EXECUTABLE),
                  {QStringLiteral("--port"), QStringLiteral("1=") + m_device,
                   QStringLiteral("--log"), m_dir.filePath(QStringLiteral("readings.log"))});
    QVERIFY(m_panel.waitForStarted());
    QVERIFY2(m_driver.findWindow(20000), qPrintable(m_driver.lastError()));
}

void TestEndToEnd::cleanupTestCase()
{
    for (QProcess *process : {&m_panel, &m_pump}) {
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
    }
}

void TestEndToEnd::opensAsDesigned()
{
    // Wait for the first complete paint: the keypad's faces and the white plot.
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT((shot = clientShot(QStringLiteral("panel-closed.png")),
                              countPixels(shot, QRect(60, 330, 600, 100),
                                          [](QRgb p) { return qGray(p) > 245; }) > 50000),
                             10000);
    m_closedShot = shot;
    QCOMPARE(m_driver.windowRect().width(), 727);
    QCOMPARE(shot.size(), QSize(727, 502));

    // The blue background outside the plot, and the plot white inside its frame.
    for (const QPoint p : {QPoint(300, 20), QPoint(20, 480), QPoint(700, 480), QPoint(380, 150)})
        QVERIFY2(isBlue(shot.pixel(p)),
                 qPrintable(QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y())));
    QCOMPARE(countPixels(shot, QRect(45, 317, 655, 135), isBlue), 0);

    // The three text boxes: blue inside; cyan settings, and the current pressure grey until
    // the pump has given a reading.
    for (const int top : {40, 64, 88}) {
        const QRect box(537, top + 1, 39, 19);
        QVERIFY(countPixels(shot, box, isBlue) > box.width() * box.height() / 3);
        if (top == 40) {
            QCOMPARE(countPixels(shot, box, isCyan), 0);
            QVERIFY(countPixels(shot, box, [](QRgb p) {
                        return qAbs(qRed(p) - qGreen(p)) < 20 && qRed(p) > 100;
                    }) > 20);
        } else
            QVERIFY(countPixels(shot, box, isCyan) > 20);
    }

    // Sixteen keys, each showing its white sign; blue between the rows.
    for (const int top : {144, 176, 208, 240}) {
        for (const int left : {448, 491, 535, 579}) {
            const QRect key(left + 3, top + 3, 35, 19);
            QVERIFY2(countPixels(shot, key, [](QRgb p) { return qGray(p) > 200; }) > 10,
                     qPrintable(QStringLiteral("key at %1,%2").arg(left).arg(top)));
        }
    }
    QVERIFY(isBlue(shot.pixel(470, 172)));

    // The clock row is hidden at start-up: only the background shows there.
    QVERIFY(countPixels(shot, QRect(0, 0, 170, 24), isBlue) > 170 * 24 * 9 / 10);
}

void TestEndToEnd::showsLivePressure()
{
    QVERIFY(!m_closedShot.isNull());
    QVERIFY2(m_driver.openPort(QStringLiteral("1"), kWaitMs), qPrintable(m_driver.lastError()));

    // A few polls later: a red trend above the base line and a new number in the top box, in
    // the cyan of a fresh reading.
    const QRect plot(42, 314, 661, 141);
    const int zeroRow = 314 + 141 * 2 / 3;
    const QRect pnow(537, 41, 39, 19);
    QImage shot;
    QString seen;
    const auto live = [&] {
        shot = clientShot(QStringLiteral("panel-live.png"));
        const int red = countPixels(
            shot, QRect(plot.left(), plot.top(), plot.width(), zeroRow - 3 - plot.top()), isRed);
        const int cyan = countPixels(shot, pnow, isCyan);
        const bool changed = shot.copy(pnow) != m_closedShot.copy(pnow);
        seen = QStringLiteral("%1 red pixels of trend, %2 cyan pixels in pnow, pnow %3")
                   .arg(red)
                   .arg(cyan)
                   .arg(changed ? "changed" : "as at start-up");
        return red >= 20 && cyan > 20 && changed;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(live(), qPrintable(seen), 20000);
    // The set-pressure and flow boxes have not been touched.
    QCOMPARE(shot.copy(QRect(537, 65, 39, 19)), m_closedShot.copy(QRect(537, 65, 39, 19)));
    QVERIFY(frameLog().contains("Q00F0000Y"));

    // The reading log has a line for every reading so far, written as it came: local time
    // with milliseconds, a tab, the four characters the pump sent. Events go between them as
    // "#", time, key, text; the first is the program's start.
    QFile log(m_dir.filePath(QStringLiteral("readings.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QVERIFY2(lines.size() >= 3 && lines.last().isEmpty(),
             qPrintable(QString::number(lines.size())));
    QDateTime previous;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        QList<QByteArray> fields = lines[i].split('\t');
        if (fields.first() == "#") {
            QCOMPARE(fields.size(), 4);
            QVERIFY2(i > 0 || fields[2] == "program-start", lines[i].constData());
            fields = {fields[1], QByteArray("00.0")};
        }
        QCOMPARE(fields.size(), 2);
        const QDateTime time =
            QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODateWithMs);
        QVERIFY2(time.isValid() && fields[0].contains('.'), fields[0].constData());
        QVERIFY(!previous.isValid() || previous <= time);
        previous = time;
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d$"))
                     .match(QString::fromLatin1(fields[1]))
                     .hasMatch(),
                 fields[1].constData());
    }
    QVERIFY(qAbs(previous.secsTo(QDateTime::currentDateTime())) < 60);
}

void TestEndToEnd::comesBackAfterPumpRestart()
{
    // The pump's line goes, as when an adapter resets: said over the brand panel, no box.
    QVERIFY(clientShot(QStringLiteral("panel-before-outage.png")).copy(kStatusArea) ==
            m_closedShot.copy(kStatusArea));
    m_pump.kill();
    QVERIFY(m_pump.waitForFinished(5000));
    const int statusPixels = kStatusArea.width() * kStatusArea.height() / 2;
    QTRY_VERIFY_WITH_TIMEOUT(countPixels(clientShot(QStringLiteral("panel-link-lost.png")),
                                         kStatusArea, isStatusBlue) > statusPixels,
                             10000);
    QVERIFY(!m_driver.focusWindow(QStringLiteral("通信"), 1000));

    // Back on a new line behind the same name: the panel finds it by itself and polls again.
    const qsizetype pollsBefore = frameLog().count("Q00F0000Y");
    QVERIFY(startPump());
    QTRY_VERIFY_WITH_TIMEOUT(frameLog().count("Q00F0000Y") > pollsBefore, kWaitMs);
    QFile log(m_dir.filePath(QStringLiteral("readings.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray events = log.readAll();
    QVERIFY(events.contains("\tlink-lost\t") && events.contains("\tlink-back\t"));
}

void TestEndToEnd::exitEndsWithoutStopFrame()
{
    QCOMPARE(m_panel.state(), QProcess::Running);
    // 文件(F) is the first menu once the port is open; 退出 is its last designed item, before
    // the panel's own four.
    QVERIFY2(m_driver.openFirstEnabledMenu(10000), qPrintable(m_driver.lastError()));
    QVERIFY2(m_driver.pressKeys({QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Up"),
                                 QStringLiteral("Up"), QStringLiteral("Up"),
                                 QStringLiteral("Return")}),
             qPrintable(m_driver.lastError()));
    QTRY_COMPARE_WITH_TIMEOUT(m_panel.state(), QProcess::NotRunning, kWaitMs);
    QCOMPARE(m_panel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_panel.exitCode(), 0);

    // A marker behind whatever the panel wrote last: once the pump has logged it, it has
    // logged everything before it too.
    const int line = ::open(qPrintable(m_device), O_WRONLY | O_NOCTTY);
    QVERIFY2(line >= 0, qPrintable(m_device));
    const bool written = ::write(line, "Q99F0000Y", 9) == 9;
    ::close(line);
    QVERIFY(written);
    QTRY_VERIFY_WITH_TIMEOUT(frameLog().contains("Q99F0000Y"), kWaitMs);
    const QByteArray log = frameLog();
    QVERIFY(log.contains("Q00F0000Y"));
    QVERIFY(!log.contains("Q00S0000Y"));
}

// Started as the desktop entry starts it, with no option and a home of its own: the port chosen
// in the 通信 box by its path, the record saved into the documents folder, every reading and
// event in the day's log under the data folder.
void TestEndToEnd::desktopStartKeepsRecordsWhereUsersLook()
{
    // The pump of the cases before goes on, behind its link.
    QCOMPARE(m_pump.state(), QProcess::Running);
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        environment.remove(QLatin1String(variable));
    QProcess panel;
    panel.setProcessEnvironment(environment);
    panel.setProcessChannelMode(QProcess::ForwardedChannels);
    panel.start(QStringLiteral(PANEL_EXECUTABLE), {});
    QVERIFY2(m_driver.findWindow(20000), qPrintable(m_driver.lastError()));

    const qsizetype pollsBefore = frameLog().count("Q00F0000Y");
    QVERIFY2(m_driver.openPort(m_device, kWaitMs), qPrintable(m_driver.lastError()));
    QTRY_VERIFY_WITH_TIMEOUT(frameLog().count("Q00F0000Y") > pollsBefore + 1, kWaitMs);

    // 保存 is the first item of 文件(F); its confirmation is answered with Return.
    QVERIFY2(m_driver.openFirstEnabledMenu(10000), qPrintable(m_driver.lastError()));
    QVERIFY2(m_driver.pressKeys({QStringLiteral("Down"), QStringLiteral("Return")}),
             qPrintable(m_driver.lastError()));
    QVERIFY2(m_driver.focusWindow(QStringLiteral("^存储数据$"), kWaitMs),
             qPrintable(m_driver.lastError()));
    QVERIFY2(m_driver.pressKeys({QStringLiteral("Return")}), qPrintable(m_driver.lastError()));
    const QString record = home.filePath(QStringLiteral("Documents/corvane-panel/mytext.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), kWaitMs);

    panel.terminate();
    QVERIFY(panel.waitForFinished(10000));
    QFile log(home.filePath(QStringLiteral(".local/share/corvane/corvane-panel/readings/") +
                            QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(".log")));
    QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
    const QByteArray lines = log.readAll();
    for (const char *key : {"\tprogram-start\t", "\tlink-open\t", "\tsave\t", "\tlink-closed\t"})
        QVERIFY2(lines.contains(key), key);
    QVERIFY(QRegularExpression(QStringLiteral("\n[0-9T:.+-]+\t\\d\\d\\.\\d\n"))
                .match(QString::fromLatin1(lines))
                .hasMatch());
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
