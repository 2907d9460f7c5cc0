#include "popplertools.h"
#include "printdialoganswerer.h"
#include "qtprintinglayer.h"
#include "testpage.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr char kQueue[] = "PDF";
constexpr char kQueueModel[] = "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd";
constexpr char kQueuePpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
constexpr char kCupsPdfConf[] = "/etc/cups/cups-pdf.conf";
constexpr auto kSchedulerStart = std::chrono::seconds(20);
constexpr auto kJobsDone = std::chrono::seconds(120);

// Runs a CUPS tool; returns its exit code (-1 when it did not run) and what it printed.
int runCups(const QString &tool, const QStringList &arguments, QString *output = nullptr)
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

bool schedulerRunning()
{
    QString state;
    return runCups(QStringLiteral("lpstat"), {"-r"}, &state) == 0 &&
           state == QLatin1String("scheduler is running");
}

// Where cups-pdf writes the jobs of this user: the Out setting of its configuration.
QString cupsPdfOutDir()
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

} // namespace

// The test page through the real print system: a CUPS queue of cups-pdf made the default
// printer, chosen in the real dialog, and read back from the files the queue writes.
class TestCupsPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void twoCopiesComeOutAsTwoPages();

private:
    // The queue's new output files since `since`, once no job of the queue is left.
    QStringList waitForOutput(const QDateTime &since);

    QProcess m_cupsd;
    QString m_outDir;
};

void TestCupsPrint::initTestCase()
{
    if (geteuid() != 0)
        QSKIP("starting cupsd and adding a printer queue need root");
    const QString cupsd =
        QStandardPaths::findExecutable(QStringLiteral("cupsd"), {"/usr/sbin", "/sbin"});
    if (cupsd.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("lpstat")).isEmpty())
        QSKIP("cupsd or lpstat is missing: scripts/install-deps.sh installs cups");
    if (!QFile::exists(QString::fromLatin1(kQueuePpd)))
        QSKIP("the cups-pdf printer is missing: scripts/install-deps.sh installs "
              "printer-driver-cups-pdf");

    // A scheduler already running is used as it is and left running.
    if (!schedulerRunning()) {
        m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
        m_cupsd.start(cupsd, {"-f"});
        QDeadlineTimer deadline(kSchedulerStart);
        while (!schedulerRunning() && m_cupsd.state() == QProcess::Running &&
               !deadline.hasExpired())
            QTest::qWait(200);
        if (!schedulerRunning()) {
            const QString why = QStringLiteral("cupsd could not be started: ") +
                                QString::fromLocal8Bit(m_cupsd.readAll());
            QSKIP(qPrintable(why));
        }
    }

    const QString lpadmin =
        QStandardPaths::findExecutable(QStringLiteral("lpadmin"), {"/usr/sbin", "/sbin"});
    QString output;
    QVERIFY2(
        runCups(lpadmin, {"-p", kQueue, "-E", "-v", "cups-pdf:/", "-m", kQueueModel}, &output) == 0,
        qPrintable(output));
    QVERIFY2(runCups(lpadmin, {"-d", kQueue}, &output) == 0, qPrintable(output));
    // Jobs left over from an interrupted run would add pages of their own.
    runCups(QStringLiteral("cancel"), {"-a", kQueue});

    // The default printer is what the operator's environment would pick; only CUPS decides here.
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    QCOMPARE(QPrinterInfo::defaultPrinterName(), QString::fromLatin1(kQueue));
    m_outDir = cupsPdfOutDir();
}

void TestCupsPrint::cleanupTestCase()
{
    if (m_cupsd.state() == QProcess::NotRunning)
        return;
    m_cupsd.terminate();
    m_cupsd.waitForFinished(10000);
}

QStringList TestCupsPrint::waitForOutput(const QDateTime &since)
{
    QDeadlineTimer deadline(kJobsDone);
    QString pending;
    do {
        QTest::qWait(250);
    } while (runCups(QStringLiteral("lpstat"), {"-o", kQueue}, &pending) == 0 &&
             !pending.isEmpty() && !deadline.hasExpired());

    QStringList files;
    const QFileInfoList entries = QDir(m_outDir).entryInfoList({"*.pdf"}, QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.lastModified() >= since)
            files.append(entry.absoluteFilePath());
    }
    return files;
}

void TestCupsPrint::twoCopiesComeOutAsTwoPages()
{
    // File times have whole seconds on some file systems.
    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
    QtPrintingLayer layer(nullptr);
    PrintDialogAnswerer answerer(2);

    QCOMPARE(TestPage::print(layer), 2);
    QVERIFY2(answerer.problem.isEmpty(), qPrintable(answerer.problem));
    QCOMPARE(answerer.answered, 1);
    QCOMPARE(answerer.unexpected, QStringList());

    const QStringList outputs = waitForOutput(start);
    QVERIFY2(!outputs.isEmpty(),
             qPrintable("no new output in " + m_outDir + "; see /var/log/cups/error_log"));
    QTemporaryDir pngDir;
    QList<QImage> pages;
    QString error;
    for (const QString &file : outputs) {
        const QTemporaryDir fileDir(pngDir.filePath(QStringLiteral("XXXXXX")));
        pages += renderPdfPages(file, fileDir.path(), error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QFile::remove(file);
    }
    QCOMPARE(pages.size(), 2);
    for (const QImage &page : std::as_const(pages)) {
        const PageInk ink = pageInk(page);
        QVERIFY(ink.topLeft > 0);
        QCOMPARE(ink.elsewhere, 0);
    }
}

QTEST_MAIN(TestCupsPrint)
#include "tst_cupsprint.moc"
