#include "tools/pty/pseudoterminal.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 2000;

int openPanelSide(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
}

QByteArray readPanelSide(int fd, int count)
{
    QByteArray bytes;
    pollfd pfd{fd, POLLIN, 0};
    char buffer[64];
    while (bytes.size() < count && ::poll(&pfd, 1, kWaitMs) > 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        bytes.append(buffer, got);
    }
    return bytes;
}

} // namespace

class TestPseudoTerminal : public QObject
{
    Q_OBJECT

private slots:
    void carriesBytesRawAcrossPanelReopen();
    void showsPanelLineSettings();
};

void TestPseudoTerminal::carriesBytesRawAcrossPanelReopen()
{
    PseudoTerminal pty;
    QString error;
    QVERIFY2(pty.open(&error), qPrintable(error));

    // The panel has configured nothing yet: the held slave's raw mode alone must keep CR, LF
    // and control bytes as they are and must not echo them back.
    const QByteArray awkward("Q00N01.2Y\r\n\x03\x11\x7f\xff", 15);
    int panel = openPanelSide(pty.slavePath());
    QVERIFY(panel >= 0);
    QVERIFY(pty.writeAll(awkward));
    QCOMPARE(readPanelSide(panel, awkward.size()), awkward);
    QCOMPARE(::write(panel, awkward.constData(), awkward.size()), ssize_t(awkward.size()));
    QCOMPARE(pty.readExactly(4, kWaitMs), awkward.left(4));
    QCOMPARE(pty.readExactly(100, 200), awkward.mid(4));

    // Without the held slave descriptor the master would now read EIO.
    ::close(panel);
    QCOMPARE(pty.readAvailable(), QByteArray());
    QVERIFY2(pty.errorString().isEmpty(), qPrintable(pty.errorString()));
    panel = openPanelSide(pty.slavePath());
    QCOMPARE(::write(panel, "Q00F0000Y", 9), ssize_t(9));
    QCOMPARE(pty.readExactly(9, kWaitMs), QByteArray("Q00F0000Y"));
    ::close(panel);
}

void TestPseudoTerminal::showsPanelLineSettings()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    termios settings{};
    QVERIFY(pty.slaveSettings(&settings));
    QCOMPARE(::cfgetospeed(&settings), speed_t(B9600));
    QCOMPARE(settings.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));

    const int panel = openPanelSide(pty.slavePath());
    QVERIFY(panel >= 0);
    termios panelSettings = settings;
    ::cfsetspeed(&panelSettings, B19200);
    panelSettings.c_cflag |= CSTOPB;
    QCOMPARE(::tcsetattr(panel, TCSANOW, &panelSettings), 0);
    QVERIFY(pty.slaveSettings(&settings));
    QCOMPARE(::cfgetospeed(&settings), speed_t(B19200));
    QCOMPARE(settings.c_cflag & CSTOPB, tcflag_t(CSTOPB));
    ::close(panel);
}

QTEST_APPLESS_MAIN(TestPseudoTerminal)
#include "tst_pseudoterminal.moc"
