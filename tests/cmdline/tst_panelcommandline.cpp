#include "panelcommandline.h"

#include <QTest>

using PortDevices = QHash<int, QString>;
using DriveFolders = QHash<QChar, QString>;

class TestPanelCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void rejected_data();
    void rejected();
    void helpTextNamesOptions();
};

void TestPanelCommandLine::accepted_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<PortDevices>("ports");
    QTest::addColumn<DriveFolders>("drives");
    QTest::addColumn<bool>("help");

    QTest::newRow("no options") << QStringList{"corvane-panel"} << PortDevices() << DriveFolders()
                                << false;
    QTest::newRow("port, separate value")
        << QStringList{"corvane-panel", "--port", "1=/dev/pts/3"} << PortDevices{{1, "/dev/pts/3"}}
        << DriveFolders() << false;
    QTest::newRow("port, joined value")
        << QStringList{"corvane-panel", "--port=2=/dev/ttyUSB0"} << PortDevices{{2, "/dev/ttyUSB0"}}
        << DriveFolders() << false;
    QTest::newRow("port repeated")
        << QStringList{"corvane-panel", "--port", "1=/dev/pts/3", "--port=2=/dev/pts/4"}
        << PortDevices{{1, "/dev/pts/3"}, {2, "/dev/pts/4"}} << DriveFolders() << false;
    QTest::newRow("highest port") << QStringList{"corvane-panel", "--port", "32767=/dev/a"}
                                  << PortDevices{{32767, "/dev/a"}} << DriveFolders() << false;
    QTest::newRow("drive letter") << QStringList{"corvane-panel", "--drive", "d=/tmp/x"}
                                  << PortDevices() << DriveFolders{{u'd', "/tmp/x"}} << false;
    QTest::newRow("drive letter with colon")
        << QStringList{"corvane-panel", "--drive", "d:=/tmp/x"} << PortDevices()
        << DriveFolders{{u'd', "/tmp/x"}} << false;
    QTest::newRow("uppercase drive, joined")
        << QStringList{"corvane-panel", "--drive=D:=/tmp/x"} << PortDevices()
        << DriveFolders{{u'd', "/tmp/x"}} << false;
    QTest::newRow("drive repeated")
        << QStringList{"corvane-panel", "--drive", "d=/tmp/x", "--drive", "e=/tmp/y"}
        << PortDevices() << DriveFolders{{u'd', "/tmp/x"}, {u'e', "/tmp/y"}} << false;
    QTest::newRow("help") << QStringList{"corvane-panel", "--help"} << PortDevices()
                          << DriveFolders() << true;
    QTest::newRow("help among options")
        << QStringList{"corvane-panel", "--port", "1=/dev/a", "-h", "--drive", "d=/x"}
        << PortDevices{{1, "/dev/a"}} << DriveFolders{{u'd', "/x"}} << true;
}

void TestPanelCommandLine::accepted()
{
    QFETCH(QStringList, arguments);
    QFETCH(PortDevices, ports);
    QFETCH(DriveFolders, drives);
    QFETCH(bool, help);

    PanelCommandLine commandLine;
    QVERIFY2(commandLine.parse(arguments), qPrintable(commandLine.errorText()));
    QCOMPARE(commandLine.portDevices(), ports);
    QCOMPARE(commandLine.driveFolders(), drives);
    QCOMPARE(commandLine.helpRequested(), help);
}

void TestPanelCommandLine::rejected_data()
{
    // `culprit` is the piece the error message has to name so the operator can fix it.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("culprit");

    QTest::newRow("unknown option") << QStringList{"corvane-panel", "--baud", "9600"} << "--baud";
    QTest::newRow("positional argument") << QStringList{"corvane-panel", "COM1"} << "COM1";
    QTest::newRow("port without value") << QStringList{"corvane-panel", "--port"} << "--port";
    QTest::newRow("drive without value") << QStringList{"corvane-panel", "--drive"} << "--drive";
    QTest::newRow("port empty joined value") << QStringList{"corvane-panel", "--port="} << "--port";
    QTest::newRow("port number not a number")
        << QStringList{"corvane-panel", "--port", "x=/dev/a"} << "x";
    QTest::newRow("port 0") << QStringList{"corvane-panel", "--port", "0=/dev/a"} << "0";
    QTest::newRow("port negative") << QStringList{"corvane-panel", "--port", "-1=/dev/a"} << "-1";
    QTest::newRow("port beyond 32767")
        << QStringList{"corvane-panel", "--port", "32768=/dev/a"} << "32768";
    QTest::newRow("port without device") << QStringList{"corvane-panel", "--port", "1="} << "1=";
    QTest::newRow("port without number")
        << QStringList{"corvane-panel", "--port", "=/dev/a"} << "=/dev/a";
    QTest::newRow("port without =") << QStringList{"corvane-panel", "--port", "/dev/a"} << "/dev/a";
    QTest::newRow("drive two letters") << QStringList{"corvane-panel", "--drive", "dd=/x"} << "dd";
    QTest::newRow("drive digit") << QStringList{"corvane-panel", "--drive", "1=/x"} << "1";
    QTest::newRow("drive colon only")
        << QStringList{"corvane-panel", "--drive", ":=/x"} << "--drive";
    QTest::newRow("drive non-ASCII letter")
        << QStringList{"corvane-panel", "--drive", QString::fromUtf8("é=/x")}
        << QString::fromUtf8("é");
    QTest::newRow("drive without folder") << QStringList{"corvane-panel", "--drive", "d="} << "d=";
    QTest::newRow("bad option after good ones")
        << QStringList{"corvane-panel", "--port", "1=/dev/a", "--bogus"} << "--bogus";
}

void TestPanelCommandLine::rejected()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, culprit);

    PanelCommandLine commandLine;
    QVERIFY(!commandLine.parse(arguments));
    QVERIFY2(commandLine.errorText().contains(culprit),
             qPrintable(QStringLiteral("\"%1\" does not mention \"%2\"")
                            .arg(commandLine.errorText(), culprit)));
}

void TestPanelCommandLine::helpTextNamesOptions()
{
    const QString help = PanelCommandLine::helpText();
    for (const char *option : {"--port", "--drive", "--help"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
}

QTEST_GUILESS_MAIN(TestPanelCommandLine)
#include "tst_panelcommandline.moc"
