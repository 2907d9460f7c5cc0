#include "link/portlockholder.h"
#include "tools/paneldriver/paneldriver.h"
#include "tools/pty/pseudoterminal.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <csignal>

// The panel ended by a signal while its port is open, as a session logout, a service manager
// or Ctrl+C in a terminal ends it: it must leave as closing its window does, with the port's
// lock file gone so that the next user can open the port, and without waiting for ever for a
// broker that never answers.
class TestTerminationSignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void endsAsClosing_data();
    void endsAsClosing();
};

void TestTerminationSignals::endsAsClosing_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("publishing"); // to a broker that takes the connection, then is silent

    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGINT") << int(SIGINT) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
    QTest::newRow("SIGTERM, publishing") << int(SIGTERM) << true;
}

void TestTerminationSignals::endsAsClosing()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, publishing);

    PseudoTerminal line;
    QString error;
    QVERIFY2(line.open(&error), qPrintable(error));
    QProcess panel;
    qint64 panelId = -1; // kept: a process that has ended has no id in QProcess
    // The terminal's lock file, whose number may be another program's as soon as it is freed:
    // a lock is the panel's only while it names its process, alive or not.
    const QStringList lockFiles = PortLockHolder::lockFilePaths(line.slavePath());
    const auto locked = [&] {
        for (const QString &path : lockFiles) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const auto holder = PortLockHolder::fromText(file.read(4096), [](qint64) { return true; });
            if (holder && holder->pid == panelId)
                return true;
        }
        return false;
    };
    panel.setProcessChannelMode(QProcess::ForwardedChannels);
    // A shell without job control starts its background jobs with SIGINT ignored, and the
    // panel keeps an ignored signal ignored; start it the way a desktop or a terminal does.
    panel.setChildProcessModifier([] {
        for (const int number : {SIGTERM, SIGINT, SIGHUP})
            std::signal(number, SIG_DFL);
    });
    QStringList arguments = {QStringLiteral("-platform"), QStringLiteral("xcb"),
                             QStringLiteral("--style"),   QStringLiteral("Fusion"),
                             QStringLiteral("--port"),    QStringLiteral("1=") + line.slavePath()};
    QTcpServer silent;
    if (publishing) {
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        arguments << QStringList{"--mqtt",
                                 QStringLiteral("mqtt://127.0.0.1:%1").arg(silent.serverPort()),
                                 "--mqtt-id", "terminated"};
    }
    panel.start(QStringLiteral(PANEL_EXECUTABLE), arguments);
    QVERIFY(panel.waitForStarted());
    panelId = panel.processId();
    PanelDriver driver;
    QVERIFY2(driver.findWindow(20000), qPrintable(driver.lastError()));
    QVERIFY2(driver.openPort(QStringLiteral("1"), 10000), qPrintable(driver.lastError()));
    QTRY_VERIFY2_WITH_TIMEOUT(locked(), qPrintable(lockFiles.join(u' ')), 10000);

    QCOMPARE(::kill(pid_t(panel.processId()), signalNumber), 0);
    QVERIFY(panel.waitForFinished(10000));
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(panel.exitCode(), 0);
    QVERIFY2(!locked(), qPrintable(lockFiles.join(u' ')));
}

QTEST_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
