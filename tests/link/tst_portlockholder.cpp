#include "link/portlockholder.h"

#include <QTest>

// Who holds a port, from the text of its lock file; process 1234 is alive, 999 has ended.
class TestPortLockHolder : public QObject
{
    Q_OBJECT

private slots:
    void fromText_data();
    void fromText();
    void lockFileNames();
};

void TestPortLockHolder::fromText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("pid"); // 0: nobody holds the port
    QTest::addColumn<QString>("program");
    // Each row names the fault it catches.
    QTest::newRow("QLockFile's lines (not read)")
        << QByteArray("1234\nminicom\nlab-pc\n") << 1234LL << "minicom";
    QTest::newRow("UUCP's one line (name taken with the id)")
        << QByteArray("      1234 minicom root\n") << 1234LL << "minicom";
    QTest::newRow("id alone (a nameless holder missed)") << QByteArray("1234\n") << 1234LL << "";
    QTest::newRow("ended process (a killed program blamed)")
        << QByteArray("999\ncutecom\nlab-pc\n") << 0LL << "";
    QTest::newRow("no id (garbage taken for process 0)") << QByteArray("minicom\n") << 0LL << "";
    QTest::newRow("empty (a file being written)") << QByteArray() << 0LL << "";
    QTest::newRow("negative id (a process group signalled)")
        << QByteArray("-1234\nminicom\n") << 0LL << "";
    QTest::newRow("id beyond a pid (truncated to another)")
        << QByteArray("4294968530\nminicom\n") << 0LL << "";
}

void TestPortLockHolder::fromText()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, pid);
    QFETCH(QString, program);
    const auto holder = PortLockHolder::fromText(text, [](qint64 id) { return id != 999; });
    QCOMPARE(holder ? holder->pid : 0, pid);
    QCOMPARE(holder ? holder->program : QString(), program);
}

// Named as QSerialPort names them: a pseudo-terminal's slash becomes an underscore.
void TestPortLockHolder::lockFileNames()
{
    QCOMPARE(PortLockHolder::lockFilePaths(QStringLiteral("/dev/ttyUSB0")).first(),
             QStringLiteral("/var/lock/LCK..ttyUSB0"));
    QVERIFY(PortLockHolder::lockFilePaths(QStringLiteral("/dev/pts/3"))
                .contains(QStringLiteral("/run/lock/LCK..pts_3")));
}

QTEST_MAIN(TestPortLockHolder)
#include "tst_portlockholder.moc"
