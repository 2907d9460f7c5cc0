#include "audit/auditlog.h"
#include "cmdline/panelcommandline.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <sys/stat.h>

using PortDevices = QHash<int, QString>;
using DriveFolders = QHash<QChar, QString>;

// What a program's answer is written in; Ascii is English limited to 7-bit bytes.
enum class Language { Ascii, English, Chinese };
Q_DECLARE_METATYPE(Language)

class TestPanelCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void rejected_data();
    void rejected();
    void compactedOptionsRejected_data();
    void compactedOptionsRejected();
    void helpText_data();
    void helpText();
    void programAnswers_data();
    void programAnswers();
    void oneLanguagePerRun_data();
    void oneLanguagePerRun();
    void qtOptionsReachQt();
    void passwordOthersMayReadIsWarned();
    void auditOptions();
    void verifyAuditAnswers_data();
    void verifyAuditAnswers();

private:
    // The program with no display to fall back on (had the panel made its application object
    // for a command line that needs none, it would fail to connect and abort), and no locale
    // but the one given as VARIABLE=VALUE.
    static void startWithoutDisplay(QProcess &process, const QStringList &arguments,
                                    const QStringList &locale = {"LANG=C.UTF-8"},
                                    const QString &program = QStringLiteral(PANEL_EXECUTABLE));
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
    QTest::newRow("Qt options, one dash and two, values apart and joined")
        << QStringList{"corvane-panel", "-platform", "offscreen", "--display", ":1",
                       "-style=Fusion", "-reverse",  "--port",    "1=/dev/a"}
        << PortDevices{{1, "/dev/a"}} << DriveFolders() << false;
    // Qt takes the next argument as the value whatever it looks like, so the panel must too.
    QTest::newRow("Qt option's value looks like an option")
        << QStringList{"corvane-panel", "-qwindowtitle", "--port", "--drive", "d=/x"}
        << PortDevices() << DriveFolders{{u'd', "/x"}} << false;
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
    QTest::newRow("unknown single-dash word") << QStringList{"corvane-panel", "-baud"} << "-baud";
    QTest::newRow("Qt option without its value")
        << QStringList{"corvane-panel", "--port", "1=/dev/a", "-platform"} << "-platform";
    // Qt reads "-platform=xcb" as nothing; accepting it would silently drop the platform.
    QTest::newRow("Qt option joined where Qt reads it apart")
        << QStringList{"corvane-panel", "-platform=offscreen"} << "-platform";
    QTest::newRow("switch with a value") << QStringList{"corvane-panel", "--help=yes"} << "--help";
    QTest::newRow("log without value after a value option")
        << QStringList{"corvane-panel", "--drive", "d=/x", "--log"} << "--log";
    QTest::newRow("log and no log")
        << QStringList{"corvane-panel", "--log", "/tmp/x", "--no-log"} << "--no-log";
    QTest::newRow("a port number given twice")
        << QStringList{"corvane-panel", "--port", "1=/dev/a", "--port", "1=/dev/b"} << "1";
    QTest::newRow("a path longer than the system allows")
        << QStringList{"corvane-panel", "--log", "/tmp/" + QString(5000, u'x')}
        << "/tmp/xxxxx";
    QTest::newRow("SiLA port not a number") << QStringList{"corvane-panel", "--sila", "x"} << "x";
    QTest::newRow("SiLA port beyond 65535")
        << QStringList{"corvane-panel", "--sila", "65536"} << "65536";
    QTest::newRow("SiLA certificate without its key")
        << QStringList{"corvane-panel", "--sila", "0", "--sila-cert", "/tmp/c"} << "--sila-key";
    QTest::newRow("SiLA certificate without the server")
        << QStringList{"corvane-panel", "--sila-cert", "/tmp/c", "--sila-key", "/tmp/k"}
        << "--sila";
    QTest::newRow("broker port 0") << QStringList{"corvane-panel", "--mqtt", "mqtt://lab:0"}
                                   << "mqtt://lab:0";
    QTest::newRow("head without verify-audit")
        << QStringList{"corvane-panel", "--head", "3:" + QString(64, u'a')} << "--head";
    QTest::newRow("head with a short hash")
        << QStringList{"corvane-panel", "--verify-audit", "a.jsonl", "--head", "3:abc"} << "3:abc";
    // Checked files and a window at once would leave one of them not done.
    QTest::newRow("verify-audit with a window option")
        << QStringList{"corvane-panel", "--verify-audit", "a.jsonl", "--port", "1=/dev/a"}
        << "--port";
    QTest::newRow("operator of blanks") << QStringList{"corvane-panel", "--operator", "  "}
                                        << "--operator";
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

void TestPanelCommandLine::compactedOptionsRejected_data()
{
    // corvane-pumpsim's way: "-hv" is -h -v, and -f takes the rest of its word or the next one.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("culprit");

    QTest::newRow("unknown letter among known") << QStringList{"sim", "-hx"} << "'-x'";
    QTest::newRow("value given to a switch") << QStringList{"sim", "-h=1"} << "'-h'";
    QTest::newRow("value letter ends the line") << QStringList{"sim", "-hf"} << "'-f'";
    QTest::newRow("joined value is not an option") << QStringList{"sim", "-fx", "-y"} << "'-y'";
    QTest::newRow("next argument is the value")
        << QStringList{"sim", "-f", "-x", "--bogus"} << "'--bogus'";
}

void TestPanelCommandLine::compactedOptionsRejected()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, culprit);

    const QList<QCommandLineOption> options{QCommandLineOption(QStringList{"h", "help"}),
                                            QCommandLineOption("v"),
                                            QCommandLineOption("f", QString(), "FILE")};
    QCommandLineParser parser;
    parser.addOptions(options);
    QVERIFY(!parser.parse(arguments));
    const CommandLineTexts texts(QLocale::c());
    const QString why =
        texts.whyParseFailed(options, arguments, QCommandLineParser::ParseAsCompactedShortOptions);
    QVERIFY2(why.contains(culprit), qPrintable(why));
}

void TestPanelCommandLine::helpText_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("usage");

    QTest::newRow("Chinese") << QLocale(QLocale::Chinese, QLocale::China) << "用法";
    QTest::newRow("Chinese, Taiwan") << QLocale(QLocale::Chinese, QLocale::Taiwan) << "用法";
    QTest::newRow("unset locale") << QLocale::c() << "Usage";
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << "Usage";
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "Usage";
}

void TestPanelCommandLine::helpText()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, usage);

    const QString help = PanelCommandLine(locale).helpText();
    QVERIFY2(help.startsWith(usage), qPrintable(help));
    for (const char *option : {"--port", "--drive", "--log", "--help", "--version", "-platform"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
}

void TestPanelCommandLine::startWithoutDisplay(QProcess &process, const QStringList &arguments,
                                               const QStringList &locale, const QString &program)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name :
         {"DISPLAY", "WAYLAND_DISPLAY", "LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    for (const QString &variable : locale)
        environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

void TestPanelCommandLine::programAnswers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("version") << QStringList{"--version"} << 0
                             << QStringLiteral("corvane-panel " CORVANE_VERSION "\n") << QString();
    QTest::newRow("unknown option") << QStringList{"--port", "1=/dev/a", "--baud", "9600"} << 2
                                    << QString() << "unknown option '--baud'";
    // Opening a FIFO without a reader would wait before any window, deaf to SIGTERM.
    QTest::newRow("log on a FIFO")
        << QStringList{"--log", "<fifo>"} << 2 << QString() << "不是普通文件";
    // Nobody writes to the FIFO: read as a file, it would hold the panel before its window.
    QTest::newRow("credentials on a FIFO")
        << QStringList{"--mqtt", "mqtt://127.0.0.1", "--mqtt-auth", "<fifo>"} << 2 << QString()
        << "<fifo> is not a regular file but a named pipe\n";
    QTest::newRow("program on a FIFO")
        << QStringList{"--program", "<fifo>"} << 2 << QString()
        << "<fifo>: 程序文件 <fifo> 无法读取：它不是普通文件\n";
    QTest::newRow("certificate authority a folder")
        << QStringList{"--mqtt", "mqtts://127.0.0.1", "--mqtt-ca", "<folder>"} << 2 << QString()
        << "<folder> is not a regular file but a folder\n";
}

void TestPanelCommandLine::programAnswers()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QTemporaryDir folder;
    const QString fifo = folder.filePath(QStringLiteral("fifo"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    arguments.replaceInStrings(QStringLiteral("<fifo>"), fifo);
    arguments.replaceInStrings(QStringLiteral("<folder>"), folder.path());
    err.replace(QStringLiteral("<fifo>"), fifo).replace(QStringLiteral("<folder>"), folder.path());
    QProcess panel;
    startWithoutDisplay(panel, arguments);
    QVERIFY(panel.waitForFinished(10000));
    const QString stdOut = QString::fromUtf8(panel.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(panel.readAllStandardError());
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QVERIFY2(panel.exitCode() == exitCode, qPrintable(stdErr));
    QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
    QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
    // One line, not a usage error's pointer to --help.
    if (exitCode == 2 && err.endsWith(u'\n'))
        QCOMPARE(stdErr.count(u'\n'), 1);
}

void TestPanelCommandLine::oneLanguagePerRun_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("locale");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<Language>("language");

    const QString panel = QStringLiteral(PANEL_EXECUTABLE);
    const QStringList help{"--help"};
    const QStringList bogus{"--port", "1=/dev/a", "--bogus"};
    QTest::newRow("help, C") << panel << QStringList{"LANG=C"} << help << 0 << Language::Ascii;
    QTest::newRow("help, no locale") << panel << QStringList() << help << 0 << Language::Ascii;
    QTest::newRow("help, English")
        << panel << QStringList{"LANG=en_US.UTF-8"} << help << 0 << Language::English;
    QTest::newRow("help, Chinese")
        << panel << QStringList{"LANG=zh_CN.UTF-8"} << help << 0 << Language::Chinese;
    QTest::newRow("help, LC_ALL=C over a Chinese LANG")
        << panel << QStringList{"LANG=zh_CN.UTF-8", "LC_ALL=C"} << help << 0 << Language::Ascii;
    QTest::newRow("error, C") << panel << QStringList{"LANG=C"} << bogus << 2 << Language::Ascii;
    QTest::newRow("error, Chinese")
        << panel << QStringList{"LANG=zh_CN.UTF-8"} << bogus << 2 << Language::Chinese;
    QTest::newRow("error, LC_MESSAGES over LANG")
        << panel << QStringList{"LANG=en_US.UTF-8", "LC_MESSAGES=zh_TW.UTF-8"} << bogus << 2
        << Language::Chinese;
    QTest::newRow("error, LC_ALL over LC_MESSAGES")
        << panel << QStringList{"LC_ALL=en_US.UTF-8", "LC_MESSAGES=zh_CN.UTF-8"} << bogus << 2
        << Language::English;
    QTest::newRow("error, LANGUAGE before LANG")
        << panel << QStringList{"LANG=en_US.UTF-8", "LANGUAGE=zh_CN:en"} << bogus << 2
        << Language::Chinese;
    QTest::newRow("error, LANGUAGE unheard in C")
        << panel << QStringList{"LANG=C", "LANGUAGE=zh_CN"} << bogus << 2 << Language::Ascii;
    const QString pumpsim = QStringLiteral(PUMPSIM_EXECUTABLE);
    QTest::newRow("simulator help, C")
        << pumpsim << QStringList{"LANG=C"} << help << 0 << Language::Ascii;
    QTest::newRow("simulator error, Chinese")
        << pumpsim << QStringList{"LANG=zh_CN.UTF-8"} << QStringList{"--flow", "1", "--bogus"} << 2
        << Language::Chinese;
}

void TestPanelCommandLine::oneLanguagePerRun()
{
    QFETCH(QString, program);
    QFETCH(QStringList, locale);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(Language, language);

    QProcess process;
    startWithoutDisplay(process, arguments, locale, program);
    QVERIFY(process.waitForFinished(10000));
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == exitCode, err.constData());
    // Help on stdout, an error on stderr, and nothing on the other.
    const QByteArray &answer = exitCode == 0 ? out : err;
    QVERIFY2((exitCode == 0 ? err : out).isEmpty(), (exitCode == 0 ? err : out).constData());

    const QString text = QString::fromUtf8(answer);
    const bool chinese = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff;
    });
    QVERIFY2(chinese == (language == Language::Chinese), answer.constData());
    if (language == Language::Ascii) {
        QVERIFY2(std::all_of(answer.begin(), answer.end(), [](char c) { return uchar(c) < 0x80; }),
                 answer.constData());
    }
    const QString name = QFileInfo(program).fileName();
    if (exitCode == 0) {
        // help2man takes the synopsis from this line, in the C locale.
        const QString usage = chinese ? QStringLiteral("用法：") : QStringLiteral("Usage: ");
        QVERIFY2(text.startsWith(usage + name + QStringLiteral(" [")), answer.constData());
    } else {
        const QStringList lines = text.split(u'\n');
        QVERIFY2(lines.size() == 3 && lines.at(2).isEmpty(), answer.constData());
        QVERIFY2(lines.at(0).startsWith(name + QStringLiteral(": ")) &&
                     lines.at(0).contains(QStringLiteral("--bogus")),
                 answer.constData());
        QVERIFY2(lines.at(1).contains(name + QStringLiteral(" --help")), answer.constData());
    }
}

void TestPanelCommandLine::qtOptionsReachQt()
{
    // Only if "--platform offscreen" reaches Qt can the window come up without a display; the
    // reading log is opened once it has, and SIGTERM then ends the panel as closing it does.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath(QStringLiteral("readings.log"));
    QProcess panel;
    startWithoutDisplay(panel, {"--platform", "offscreen", "-style", "Fusion", "--log", log});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log) || panel.state() == QProcess::NotRunning, 20000);
    QVERIFY2(panel.state() == QProcess::Running, panel.readAllStandardError().constData());
    panel.terminate(); // SIGTERM
    QVERIFY(panel.waitForFinished(10000));
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(panel.exitCode(), 0);
}

void TestPanelCommandLine::passwordOthersMayReadIsWarned()
{
    QTemporaryDir folder;
    const QString auth = folder.filePath(QStringLiteral("auth"));
    QFile file(auth);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("panel\nsecret\n") > 0);
    file.close();
    // The owner's alone, the group's too, anyone's.
    for (const mode_t mode : {0600, 0640, 0604}) {
        QVERIFY(::chmod(QFile::encodeName(auth).constData(), mode) == 0);
        PanelCommandLine commandLine(QLocale::c());
        QVERIFY(commandLine.parse({"corvane-panel", "--mqtt", "mqtt://lab", "--mqtt-auth", auth}));
        QVERIFY(commandLine.readMqttFiles());
        QCOMPARE(commandLine.mqtt().password, QStringLiteral("secret"));
        const QString warned = commandLine.warnings().join(u'\n');
        QCOMPARE(warned.contains(QStringLiteral("chmod 600 ") + auth), mode != 0600);
    }
}

void TestPanelCommandLine::auditOptions()
{
    PanelCommandLine panel(QLocale::c());
    QVERIFY2(panel.parse({"corvane-panel", "--audit-dir", "/tmp/a", "--operator", " Li  Wei ",
                          "--program=/tmp/gradient.json"}),
             qPrintable(panel.errorText()));
    QCOMPARE(panel.auditFolder(), QStringLiteral("/tmp/a"));
    QCOMPARE(panel.operatorName(), std::optional<QString>(QStringLiteral("Li Wei")));
    QCOMPARE(panel.programFile(), QStringLiteral("/tmp/gradient.json"));
}

void TestPanelCommandLine::verifyAuditAnswers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("locale");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QStringList c{"LANG=C.UTF-8"};
    QTest::newRow("whole") << QStringList{"--verify-audit", "<trail>"} << c << 0 << "ok, 2 records"
                           << QString();
    QTest::newRow("whole, in Chinese")
        << QStringList{"--verify-audit", "<trail>"} << QStringList{"LANG=zh_CN.UTF-8"} << 0
        << "完好" << QString();
    QTest::newRow("one byte changed")
        << QStringList{"--verify-audit", "<changed>"} << c << 1 << "broken: " << QString();
    QTest::newRow("unreadable") << QStringList{"--verify-audit", "<missing>"} << c << 2
                                << QString() << "missing.jsonl is not a file";
    QTest::newRow("no file given") << QStringList{"--verify-audit"} << c << 2 << QString()
                                   << "--verify-audit needs at least one file\n";
}

void TestPanelCommandLine::verifyAuditAnswers()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, locale);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QTemporaryDir folder;
    AuditLog log;
    log.open(folder.path(), QStringLiteral("panel"), QStringLiteral("s1"), QStringLiteral("lab"),
             QStringLiteral("start"));
    log.close();
    QDirIterator files(folder.filePath(QStringLiteral("panel")), {"*.jsonl"}, QDir::Files);
    QVERIFY(files.hasNext());
    const QString trail = files.next();
    const QString changed = folder.filePath(QStringLiteral("changed.jsonl"));
    QFile copy(changed);
    QVERIFY(QFile::copy(trail, changed) && copy.open(QIODevice::ReadWrite));
    QVERIFY(copy.seek(copy.readAll().indexOf("session-start") + 9) && copy.putChar('o'));
    copy.close();
    arguments.replaceInStrings(QStringLiteral("<trail>"), trail);
    arguments.replaceInStrings(QStringLiteral("<changed>"), changed);
    arguments.replaceInStrings(QStringLiteral("<missing>"), folder.filePath("missing.jsonl"));

    QProcess panel;
    startWithoutDisplay(panel, arguments, locale);
    QVERIFY(panel.waitForFinished(20000));
    const QString stdOut = QString::fromUtf8(panel.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(panel.readAllStandardError());
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QVERIFY2(panel.exitCode() == exitCode, qPrintable(stdOut + stdErr));
    QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
    QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
    if (exitCode == 2)
        QCOMPARE(stdErr.count(u'\n'), 1);
}

QTEST_GUILESS_MAIN(TestPanelCommandLine)
#include "tst_panelcommandline.moc"
