#include "link/portlockholder.h"
#include "platform/serialcontrol.h"
#include "tools/pty/pseudoterminal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// CPU time this process has used so far, in milliseconds.
double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

} // namespace

// The serial control against pseudo-terminals: real ttys with the panel on the slave side.
class TestSerialControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void opensMappedPortWithLineSettings();
    void framesGoOutWhole();
    void receiveEventWaitsForThreshold();
    void hangUpClosesOnceWithoutSpinning();
    void settingsText_data();
    void settingsText();
    void openFailuresNameDeviceAndReason_data();
    void openFailuresNameDeviceAndReason();
    void portHeldByAnotherFailsToOpen();
    void lockFileText_data();
    void lockFileText();
    void lockFileNamesTheHolder();
    void switchingPortsKeepsOldUntilNewOpens();
    void lateFailureReportSparesNextPort();
    void outputWhileClosedIsRefused();

private:
    bool openOn(SerialControl &control, PseudoTerminal &pty, int port = 1);

    PseudoTerminal m_pty;
};

bool TestSerialControl::openOn(SerialControl &control, PseudoTerminal &pty, int port)
{
    if (!pty.isOpen() && !pty.open())
        return false;
    control.setPortMap({{port, pty.slavePath()}});
    control.setCommPort(port);
    return control.setPortOpen(true) && control.setSettings(QStringLiteral("9600,n,8,1"));
}

void TestSerialControl::init()
{
    m_pty.hangUp();
    QVERIFY(m_pty.open());
}

void TestSerialControl::opensMappedPortWithLineSettings()
{
    SerialControl control;
    QVERIFY(openOn(control, m_pty, 7));
    QCOMPARE(control.openDevice(), m_pty.slavePath());

    termios line{};
    QVERIFY(m_pty.slaveSettings(&line));
    QCOMPARE(cfgetispeed(&line), speed_t(B9600));
    QCOMPARE(cfgetospeed(&line), speed_t(B9600));
    // A pseudo-terminal always reads back 8 data bits and no parity, whatever was set, so
    // only the speed, the stop bits and the flow control tell here.
    QCOMPARE(line.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(line.c_iflag & (IXON | IXOFF), tcflag_t(0));
}

void TestSerialControl::framesGoOutWhole()
{
    SerialControl control;
    QVERIFY(openOn(control, m_pty));
    QVERIFY(control.setOutput("Q00F0000Y"));
    QVERIFY(control.setOutput("Q00R0000Y"));
    // Everything that arrives within the wait: two frames and nothing else, no CR or LF.
    QCOMPARE(m_pty.readExactly(19, 1000), QByteArray("Q00F0000YQ00R0000Y"));
}

void TestSerialControl::receiveEventWaitsForThreshold()
{
    SerialControl control;
    QVERIFY(openOn(control, m_pty));
    control.setRThreshold(9);
    QSignalSpy events(&control, &SerialControl::OnComm);

    QVERIFY(m_pty.writeAll("Q00N01"));
    QVERIFY(m_pty.writeAll("."));
    QVERIFY(m_pty.writeAll("5"));
    QTest::qWait(300);
    QCOMPARE(events.count(), 0);

    QVERIFY(m_pty.writeAll("Y"));
    QTRY_COMPARE(events.count(), 1);
    QCOMPARE(control.commEvent(), SerialControl::kEventReceive);
    QCOMPARE(control.input(), QByteArray("Q00N01.5Y"));
    QCOMPARE(control.input(), QByteArray());

    control.setInputLen(4);
    QVERIFY(m_pty.writeAll("Q00P02.0Y"));
    QTRY_COMPARE(events.count(), 2);
    QCOMPARE(control.input(), QByteArray("Q00P"));
}

void TestSerialControl::hangUpClosesOnceWithoutSpinning()
{
    SerialControl control;
    QVERIFY(openOn(control, m_pty));
    control.setRThreshold(9);
    QSignalSpy failures(&control, &SerialControl::failed);

    m_pty.hangUp();
    QTRY_COMPARE(failures.count(), 1);
    QVERIFY(!control.portOpen());
    const QString reason = failures.first().first().toString();
    QVERIFY2(reason.contains(control.deviceForPort(1)), qPrintable(reason));

    // A hung-up tty that stayed open would report errors again and again, and a loop that
    // kept waking up for it would use the whole processor while the event loop idles here.
    QElapsedTimer wall;
    const double cpuBefore = processCpuMs();
    wall.start();
    QTest::qWait(500);
    const double cpuUsed = processCpuMs() - cpuBefore;
    const qint64 wallUsed = wall.elapsed();
    QVERIFY2(cpuUsed < 0.4 * wallUsed,
             qPrintable(QStringLiteral("%1 ms of CPU in %2 ms").arg(cpuUsed).arg(wallUsed)));
    QCOMPARE(failures.count(), 1);

    // And the control opens again once a line is there.
    PseudoTerminal another;
    QVERIFY(openOn(control, another));
    QVERIFY(control.setOutput("Q00F0000Y"));
    QCOMPARE(another.readExactly(9, 1000), QByteArray("Q00F0000Y"));
}

void TestSerialControl::settingsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<uint>("speed"); // what the tty shows afterwards
    QTest::addColumn<bool>("twoStopBits");
    QTest::newRow("the panel's own") << "9600,n,8,1" << true << uint(B9600) << false;
    QTest::newRow("19200 baud, 2 stop bits") << "19200,n,8,2" << true << uint(B19200) << true;
    QTest::newRow("blanks") << " 4800 , n , 8 , 1 " << true << uint(B4800) << false;
    QTest::newRow("unknown parity") << "19200,x,8,1" << false << uint(B9600) << false;
    QTest::newRow("nine data bits") << "19200,n,9,1" << false << uint(B9600) << false;
    QTest::newRow("three stop bits") << "9600,n,8,3" << false << uint(B9600) << false;
    QTest::newRow("no baud") << ",n,8,2" << false << uint(B9600) << false;
    QTest::newRow("too few fields") << "19200,n,8" << false << uint(B9600) << false;
}

void TestSerialControl::settingsText()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(uint, speed);
    QFETCH(bool, twoStopBits);
    SerialControl control;
    QVERIFY(openOn(control, m_pty));
    QCOMPARE(control.setSettings(text), accepted);
    QCOMPARE(control.settings(), accepted ? text : QStringLiteral("9600,n,8,1"));
    if (!accepted)
        QVERIFY(!control.errorString().isEmpty());

    termios line{};
    QVERIFY(m_pty.slaveSettings(&line));
    QCOMPARE(uint(cfgetospeed(&line)), speed);
    QCOMPARE(bool(line.c_cflag & CSTOPB), twoStopBits);
}

void TestSerialControl::openFailuresNameDeviceAndReason_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("no such device") << "/dev/corvane-no-such-port";
    QTest::newRow("not a serial port") << "/dev/null";
}

void TestSerialControl::openFailuresNameDeviceAndReason()
{
    QFETCH(QString, device);
    SerialControl control;
    control.setPortMap({{1, device}});
    QVERIFY(!control.setPortOpen(true));
    QVERIFY(!control.portOpen());
    QVERIFY2(control.errorString().contains(device), qPrintable(control.errorString()));

    control.setCommPort(0);
    QVERIFY(!control.setPortOpen(true));
    QVERIFY(!control.errorString().isEmpty());
}

void TestSerialControl::portHeldByAnotherFailsToOpen()
{
    SerialControl first;
    QVERIFY(openOn(first, m_pty));
    SerialControl second;
    second.setPortMap({{2, m_pty.slavePath()}});
    second.setCommPort(2);
    QVERIFY(!second.setPortOpen(true));
    QVERIFY(!second.portOpen());
    QVERIFY2(second.errorString().contains(m_pty.slavePath()), qPrintable(second.errorString()));

    // Nor under another name, as /dev/serial/by-id/... names a ttyUSB: one device, one holder,
    // root or not.
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("by-id-pump"));
    QVERIFY(m_pty.makeSymlink(link));
    second.setPortMap({{2, link}});
    QVERIFY(!second.setPortOpen(true));
    QCOMPARE(second.openFailure(), SerialControl::OpenFailure::InUse);

    // A program that keeps no lock file but holds the device's flock keeps it too.
    first.setPortOpen(false);
    const int holder = ::open(QFile::encodeName(m_pty.slavePath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
    QVERIFY(!second.setPortOpen(true));
    QCOMPARE(second.openFailure(), SerialControl::OpenFailure::InUse);
    ::close(holder);
    QVERIFY(second.setPortOpen(true));
    second.setPortOpen(false);
    QVERIFY(openOn(first, m_pty));

    // The holder goes on unharmed.
    QVERIFY(first.setOutput("Q00F0000Y"));
    QCOMPARE(m_pty.readExactly(9, 1000), QByteArray("Q00F0000Y"));
    QCOMPARE(first.canonicalDevice(), m_pty.slavePath());
}

// Who holds a port by its lock file's text; process 1234 is alive, 999 has ended.
void TestSerialControl::lockFileText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("pid"); // 0: nobody holds the port
    QTest::addColumn<QString>("program");
    QTest::newRow("QLockFile's lines") << QByteArray("1234\nminicom\nlab\n") << 1234LL << "minicom";
    QTest::newRow("UUCP's one line (its name taken with the id)")
        << QByteArray("      1234 minicom root\n") << 1234LL << "minicom";
    QTest::newRow("ended process (a killed program blamed)")
        << QByteArray("999\ncutecom\n") << 0LL << "";
    QTest::newRow("no id (garbage read as process 0)") << QByteArray("minicom\n") << 0LL << "";
    QTest::newRow("id beyond a pid (another process signalled)")
        << QByteArray("4294968530\nminicom\n") << 0LL << "";
}

void TestSerialControl::lockFileText()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, pid);
    QFETCH(QString, program);
    const auto holder = PortLockHolder::fromText(text, [](qint64 id) { return id != 999; });
    QCOMPARE(holder ? holder->pid : 0, pid);
    QCOMPARE(holder ? holder->program : QString(), program);
}

// The box names the program whose lock file holds the port, not a missing right: here the
// test itself, with a lock file of its own for its own pseudo-terminal.
void TestSerialControl::lockFileNamesTheHolder()
{
    const QStringList paths = PortLockHolder::lockFilePaths(m_pty.slavePath());
    const auto writable = std::find_if(paths.begin(), paths.end(), [](const QString &path) {
        return QFileInfo(QFileInfo(path).path()).isWritable();
    });
    QVERIFY(writable != paths.end());
    QLockFile lock(*writable);
    QVERIFY2(lock.tryLock(0), qPrintable(*writable + QStringLiteral(" is held by another")));
    SerialControl control;
    control.setPortMap({{1, m_pty.slavePath()}});
    QVERIFY(!control.setPortOpen(true));
    QCOMPARE(control.openFailure(), SerialControl::OpenFailure::InUse);
    const QString named = QStringLiteral("正被程序 %1（进程 %2）使用")
                              .arg(QCoreApplication::applicationName())
                              .arg(QCoreApplication::applicationPid());
    QVERIFY2(control.errorString().contains(named), qPrintable(control.errorString()));
    lock.unlock();
    QVERIFY(control.setPortOpen(true));
}

void TestSerialControl::switchingPortsKeepsOldUntilNewOpens()
{
    SerialControl control;
    QVERIFY(openOn(control, m_pty));

    control.setPortMap({{1, m_pty.slavePath()}, {2, QStringLiteral("/dev/corvane-no-such-port")}});
    control.setCommPort(2);
    QVERIFY(!control.setPortOpen(true));
    QVERIFY(control.portOpen());
    QCOMPARE(control.openDevice(), m_pty.slavePath());

    PseudoTerminal second;
    QVERIFY(second.open());
    control.setPortMap({{1, m_pty.slavePath()}, {3, second.slavePath()}});
    control.setCommPort(3);
    QVERIFY(control.setPortOpen(true));
    QCOMPARE(control.openDevice(), second.slavePath());
    QVERIFY(control.setOutput("Q00S0000Y"));
    QCOMPARE(second.readExactly(9, 1000), QByteArray("Q00S0000Y"));
    QCOMPARE(m_pty.readAvailable(), QByteArray());

    // Choosing the port that is already open keeps it.
    QVERIFY(control.setPortOpen(true));
    QCOMPARE(control.openDevice(), second.slavePath());
}

void TestSerialControl::lateFailureReportSparesNextPort()
{
    SerialControl control;
    QVERIFY(openOn(control, m_pty));
    QSignalSpy failures(&control, &SerialControl::failed);

    // A write to the hung-up line fails on the spot; its report waits for the event loop.
    m_pty.hangUp();
    control.setOutput("Q00F0000Y");
    QVERIFY(!control.portOpen());
    QCOMPARE(failures.count(), 0);

    // The operator opens another port before the report is delivered.
    PseudoTerminal another;
    QVERIFY(openOn(control, another, 2));
    QTest::qWait(100);
    QCOMPARE(failures.count(), 0);
    QVERIFY(control.portOpen());
    QVERIFY(control.setOutput("Q00R0000Y"));
    QCOMPARE(another.readExactly(9, 1000), QByteArray("Q00R0000Y"));
}

void TestSerialControl::outputWhileClosedIsRefused()
{
    SerialControl control;
    QVERIFY(!control.setOutput("Q00R0000Y"));
    QVERIFY(!control.errorString().isEmpty());
    QCOMPARE(control.input(), QByteArray());
}

QTEST_GUILESS_MAIN(TestSerialControl)
#include "tst_serialcontrol.moc"
