#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/un.h>

// A CUPS scheduler of the test's own, in a temporary folder: its configuration, spool, logs
// and state live there, it listens on a Unix socket there and nowhere else, and its one
// queue, the default of this scheduler, writes each job's PDF to a file there. Every CUPS
// client of the test process and of the programs it starts talks to it alone, so the
// machine's printers, default printer and scheduler are never seen or touched.
class PrivateCups
{
public:
    enum class SetUp { Ready, Unavailable, Failed };

    static constexpr char kName[] = "TestPDF";

    PrivateCups()
    {
        // Set before Qt's print support first asks libcups for a server, which it then keeps;
        // libcups takes a value starting with '/' for a local socket.
        qputenv("CUPS_SERVER", QFile::encodeName(socketPath()));
        // The default printer is the one the operator's environment would pick: only the
        // scheduler decides here.
        qunsetenv("PRINTER");
        qunsetenv("LPDEST");
    }

    ~PrivateCups()
    {
        if (m_cupsd.state() == QProcess::NotRunning)
            return;
        m_cupsd.terminate();
        if (!m_cupsd.waitForFinished(10000))
            m_cupsd.kill();
        m_cupsd.waitForFinished(5000);
    }

    // Ready once the scheduler runs with the queue as its default. Unavailable where this
    // machine cannot run it (something not installed); Failed when CUPS refuses what it is
    // given. `why` says what went wrong.
    SetUp setUp(QString &why)
    {
        const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), kSbin);
        const QString lpadmin = QStandardPaths::findExecutable(QStringLiteral("lpadmin"), kSbin);
        if (cupsd.isEmpty() || lpadmin.isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("lpstat")).isEmpty()) {
            why = QStringLiteral("cupsd, lpadmin or lpstat is missing: scripts/install-deps.sh "
                                 "installs cups-daemon and cups-client");
            return SetUp::Unavailable;
        }
        // Turns the PDF Qt sends into the pages the queue prints, copies included.
        if (!QFileInfo(QStringLiteral("/usr/lib/cups/filter/pdftopdf")).isExecutable()) {
            why = QStringLiteral("the pdftopdf filter is missing: scripts/install-deps.sh "
                                 "installs cups-filters-core-drivers");
            return SetUp::Unavailable;
        }
        if (!m_dir.isValid() || m_dir.path().contains(u' ') ||
            QFile::encodeName(socketPath()).size() >= qsizetype(sizeof(sockaddr_un::sun_path))) {
            why = QStringLiteral("no temporary folder with a short path without spaces for the "
                                 "scheduler's socket: ") + m_dir.path();
            return SetUp::Unavailable;
        }
        if (!writeConfiguration(why))
            return SetUp::Failed;

        m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
        // Goes with the test should the test be killed.
        m_cupsd.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        const QStringList arguments{"-f", "-c", path("conf/cupsd.conf"), "-s",
                                    path("conf/cups-files.conf")};
        // AppArmor, where it is on, keeps the installed cupsd to the system's folders; a copy
        // in the test's folder is the same program without that profile. Where that folder
        // cannot run programs (noexec), the installed one is tried.
        m_cupsd.start(QFile::copy(cupsd, path("cupsd")) ? path("cupsd") : cupsd, arguments);
        if (!m_cupsd.waitForStarted() && m_cupsd.program() != cupsd)
            m_cupsd.start(cupsd, arguments);
        QDeadlineTimer deadline(kSchedulerStart);
        while (!schedulerRunning() && m_cupsd.state() != QProcess::NotRunning &&
               !deadline.hasExpired())
            QTest::qWait(100);
        if (!schedulerRunning()) {
            why = QStringLiteral("cupsd did not start: ") + m_cupsd.errorString() + u' ' +
                  QString::fromLocal8Bit(m_cupsd.readAll()) + u'\n' + log();
            return SetUp::Failed;
        }

        if (run(lpadmin, {"-p", kName, "-E", "-v", "file://" + path("out/print.pdf"), "-P",
                          path("pdf.ppd")},
                &why) != 0 ||
            run(lpadmin, {"-d", kName}, &why) != 0) {
            why += u'\n' + log();
            return SetUp::Failed;
        }
        return SetUp::Ready;
    }

    // The PDF the queue wrote, once it has written one and has no job left; empty when none
    // came in time.
    QString waitForOutput()
    {
        const QString output = path("out/print.pdf");
        QDeadlineTimer deadline(kJobsDone);
        QString pending;
        for (;;) {
            const bool idle =
                run(QStringLiteral("lpstat"), {"-o", kName}, &pending) == 0 && pending.isEmpty();
            if (idle && QFileInfo(output).size() > 0)
                return output;
            if (deadline.hasExpired())
                return {};
            QTest::qWait(250);
        }
    }

    // The end of the scheduler's log, for failure messages: the folder goes with the test.
    QString log() const
    {
        QFile file(path("log/error_log"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return QStringLiteral("(no scheduler log)");
        const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(u'\n');
        return lines.mid(qMax(0, lines.size() - 40)).join(u'\n');
    }

private:
    static constexpr auto kSchedulerStart = std::chrono::seconds(20);
    static constexpr auto kJobsDone = std::chrono::seconds(60);
    static inline const QStringList kSbin{"/usr/sbin", "/sbin"};

    // Takes the PDF from pdftopdf as it is; pdftopdf makes the copies, since the file cannot.
    static constexpr char kPpd[] = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TESTPDF.PPD"
*Manufacturer: "Test"
*Product: "(PDF File)"
*ModelName: "PDF File"
*ShortNickName: "PDF File"
*NickName: "PDF File"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*cupsVersion: 2.4
*cupsManualCopies: True
*cupsFilter2: "application/vnd.cups-pdf application/pdf 0 -"
*OpenUI *PageSize: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: ""
*PageSize Letter/Letter: ""
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*DefaultPageRegion: A4
*PageRegion A4/A4: ""
*PageRegion Letter/Letter: ""
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595 842"
*ImageableArea Letter/Letter: "0 0 612 792"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/Letter: "612 792"
)ppd";

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString socketPath() const { return path("run/cups.sock"); }

    bool writeConfiguration(QString &why)
    {
        // Filters run as the scheduler's unprivileged user when it is root: they must reach
        // the spool through this folder, without reading it.
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ExeOwner | QFile::ExeGroup |
                                                QFile::ExeOther);
        for (const char *dir : {"conf", "spool/tmp", "log", "cache", "state", "run", "out"}) {
            if (!QDir().mkpath(path(dir))) {
                why = QStringLiteral("cannot make ") + path(dir);
                return false;
            }
        }
        // The socket answers administration without asking who: only its owner reaches it.
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QString files =
            QStringLiteral("ServerRoot %1/conf\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                           "CacheDir %1/cache\nStateDir %1/state\nServerKeychain %1/conf/ssl\n"
                           "ErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                           "PageLog %1/log/page_log\nPrintcap %1/state/printcap\n"
                           "CreateSelfSignedCerts no\nFileDevice Yes\n")
                .arg(m_dir.path());
        const QString daemon =
            QStringLiteral("Listen %1\nLogLevel info\nMaxLogSize 0\nBrowsing No\n"
                           "BrowseLocalProtocols none\nDefaultShared No\nWebInterface No\n"
                           "ErrorPolicy abort-job\nPreserveJobHistory No\n"
                           "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n"
                           "</Policy>\n")
                .arg(socketPath());
        if (!write(path("conf/cups-files.conf"), files.toLocal8Bit()) ||
            !write(path("conf/cupsd.conf"), daemon.toLocal8Bit()) ||
            !write(path("pdf.ppd"), kPpd)) {
            why = QStringLiteral("cannot write the scheduler's configuration in ") + m_dir.path();
            return false;
        }
        return true;
    }

    static bool write(const QString &name, const QByteArray &text)
    {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }

    // Runs a CUPS tool against this scheduler; returns its exit code (-1 when it did not
    // run) and what it printed.
    int run(const QString &tool, const QStringList &arguments, QString *output = nullptr) const
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(tool, QStringList{"-h", socketPath()} + arguments);
        if (!process.waitForStarted() || !process.waitForFinished(30000))
            return -1;
        if (output)
            *output = QString::fromLocal8Bit(process.readAll()).trimmed();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    bool schedulerRunning() const
    {
        QString state;
        return run(QStringLiteral("lpstat"), {"-r"}, &state) == 0 &&
               state == QLatin1String("scheduler is running");
    }

    QTemporaryDir m_dir;
    QProcess m_cupsd;
};
