#pragma once

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

// A cups-pdf printer queue made the default printer of CUPS, for printing through the real
// print system and reading the pages back from the files the queue writes. A scheduler
// already running is used as it is and left running; one started here is stopped when the
// queue object goes, and so are the output files it handed out.
class CupsPdfQueue
{
public:
    enum class SetUp { Ready, Unavailable, Failed };

    static constexpr char kName[] = "PDF";

    ~CupsPdfQueue()
    {
        for (const QString &file : std::as_const(m_outputs))
            QFile::remove(file);
        if (m_cupsd.state() == QProcess::NotRunning)
            return;
        m_cupsd.terminate();
        m_cupsd.waitForFinished(10000);
    }

    // Ready once the queue is the default printer. Unavailable where this machine cannot run
    // CUPS (not root, not installed); Failed when CUPS runs but refuses the queue. `why` says
    // what went wrong.
    SetUp setUp(QString &why)
    {
        if (geteuid() != 0) {
            why = QStringLiteral("starting cupsd and adding a printer queue need root");
            return SetUp::Unavailable;
        }
        const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), kSbin);
        const QString lpadmin = QStandardPaths::findExecutable(QStringLiteral("lpadmin"), kSbin);
        if (cupsd.isEmpty() || lpadmin.isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("lpstat")).isEmpty()) {
            why = QStringLiteral("cupsd, lpadmin or lpstat is missing: scripts/install-deps.sh "
                                 "installs cups");
            return SetUp::Unavailable;
        }
        if (!QFile::exists(QString::fromLatin1(kModelPpd))) {
            why = QStringLiteral("the cups-pdf printer is missing: scripts/install-deps.sh "
                                 "installs printer-driver-cups-pdf");
            return SetUp::Unavailable;
        }

        if (!schedulerRunning()) {
            m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
            m_cupsd.start(cupsd, {"-f"});
            m_cupsd.waitForStarted();
            QDeadlineTimer deadline(kSchedulerStart);
            while (!schedulerRunning() && m_cupsd.state() == QProcess::Running &&
                   !deadline.hasExpired())
                QTest::qWait(200);
            if (!schedulerRunning()) {
                why = QStringLiteral("cupsd could not be started: ") + m_cupsd.errorString() +
                      u' ' + QString::fromLocal8Bit(m_cupsd.readAll());
                return SetUp::Unavailable;
            }
        }

        if (run(lpadmin, {"-p", kName, "-E", "-v", "cups-pdf:/", "-m", kModel}, &why) != 0 ||
            run(lpadmin, {"-d", kName}, &why) != 0)
            return SetUp::Failed;
        // Jobs left over from an interrupted run would add pages of their own.
        run(QStringLiteral("cancel"), {"-a", kName});
        // The default printer is what the operator's environment would pick: only CUPS
        // decides here, for this process and the programs it starts.
        qunsetenv("PRINTER");
        qunsetenv("LPDEST");
        m_outDir = outDir();
        return SetUp::Ready;
    }

    // The queue's new output files since `since`, once at least one has come and no job of
    // the queue is left; empty when none came in time.
    QStringList waitForOutput(const QDateTime &since)
    {
        QDeadlineTimer deadline(kJobsDone);
        QStringList files;
        QString pending;
        for (;;) {
            const bool idle =
                run(QStringLiteral("lpstat"), {"-o", kName}, &pending) == 0 && pending.isEmpty();
            files.clear();
            const QFileInfoList entries =
                QDir(m_outDir).entryInfoList({"*.pdf"}, QDir::Files, QDir::Name);
            for (const QFileInfo &entry : entries) {
                if (entry.lastModified() >= since)
                    files.append(entry.absoluteFilePath());
            }
            if ((idle && !files.isEmpty()) || deadline.hasExpired())
                break;
            QTest::qWait(250);
        }
        m_outputs += files;
        return files;
    }

    QString outputDir() const { return m_outDir; }

private:
    static constexpr char kModel[] = "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd";
    static constexpr char kModelPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
    static constexpr char kCupsPdfConf[] = "/etc/cups/cups-pdf.conf";
    static constexpr auto kSchedulerStart = std::chrono::seconds(20);
    static constexpr auto kJobsDone = std::chrono::seconds(60);
    static inline const QStringList kSbin{"/usr/sbin", "/sbin"};

    // Runs a CUPS tool; returns its exit code (-1 when it did not run) and what it printed.
    static int run(const QString &tool, const QStringList &arguments, QString *output = nullptr)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(tool, arguments);
        if (!process.waitForStarted() || !process.waitForFinished(30000))
            return -1;
        if (output)
            *output = QString::fromLocal8Bit(process.readAll()).trimmed();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    static bool schedulerRunning()
    {
        QString state;
        return run(QStringLiteral("lpstat"), {"-r"}, &state) == 0 &&
               state == QLatin1String("scheduler is running");
    }

    // Where cups-pdf writes the jobs of this user: the Out setting of its configuration.
    static QString outDir()
    {
        const passwd *user = getpwuid(geteuid());
        QString out = QStringLiteral("/var/spool/cups-pdf/${USER}");
        QFile conf(QString::fromLatin1(kCupsPdfConf));
        if (conf.open(QIODevice::ReadOnly | QIODevice::Text)) {
            while (!conf.atEnd()) {
                const QString line = QString::fromLocal8Bit(conf.readLine()).trimmed();
                if (line.startsWith(QLatin1String("Out ")))
                    out = line.mid(4).trimmed();
            }
        }
        return out.replace(QLatin1String("${HOME}"), QString::fromLocal8Bit(user->pw_dir))
            .replace(QLatin1String("${USER}"), QString::fromLocal8Bit(user->pw_name));
    }

    QProcess m_cupsd;
    QString m_outDir;
    QStringList m_outputs;
};
