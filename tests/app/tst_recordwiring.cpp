#include "app/form1.h"
#include "app/historywindow.h"
#include "records/exportwriter.h"
#include "records/logwriter.h"
#include "tests/support/panelport.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

namespace {

// Saves and exports are written on a thread that gives way to every other: on a machine busy
// with builds they may take a while, and only a hang should fail.
constexpr int kSaveWaitMs = 60'000;

// True when this process holds a descriptor open on the file.
bool processHoldsOpen(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target)
            return true;
    }
    return false;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

// 保存 and the reading log as the operator meets them: readings come in on the line and
// are saved on demand; failures are told and never confirmed.
class TestRecordWiring : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void savedReadingsAreThoseReceived();
    void defaultFolderAndSaveAs();
    void saveHeldUpHoldsUpNothing();
    void failedSaveIsNotConfirmed_data();
    void failedSaveIsNotConfirmed();
    void logFailureIsToldOnce();

private:
    PseudoTerminal m_pty;
    QTemporaryDir m_drive;
};

void TestRecordWiring::init()
{
    m_pty.hangUp();
    QVERIFY(m_pty.open());
}

void TestRecordWiring::savedReadingsAreThoseReceived()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.recordSaving().setDriveFolders({{u'd', m_drive.path()}});
    form.setPollInterval(std::chrono::hours(1));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    const QString path = m_drive.filePath(QStringLiteral("mytext.txt"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content that must go\n");
    }

    // Settings and unreadable values are no readings; noise between frames is no reading.
    QByteArray line("Q00N01.0Yxx");
    line += '\0';
    line += "Q00P02.0YQ00N00.5YQ00NABCDYQ00N1.25YQ00N-1.5YQ00N02.0YQ00N0001YQ00N 0.7YQ00N9999Y";
    QVERIFY(m_pty.writeAll(line));
    QTRY_COMPARE(form.records().count(), 8);

    QByteArray shownContent;
    bool heldOpen = false;
    boxes.whileShown = [&](const ScriptedBoxes::Message &) {
        shownContent = contentOf(path);
        heldOpen = processHoldsOpen(path);
    };
    form.findChild<QAction *>(QStringLiteral("save"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.messages.size(), 1, kSaveWaitMs);
    QCOMPARE(boxes.messages[0].prompt, QStringLiteral("当前压力数值以存储"));
    QCOMPARE(boxes.messages[0].title, QStringLiteral("存储数据"));
    // The confirmation comes once the new record is in place and closed.
    QVERIFY(!heldOpen);
    const QByteArray expected("1\t0.5\t1.25\t-1.5\t2\n1\t0.7\t9999");
    QCOMPARE(shownContent, expected);
    QCOMPARE(contentOf(path), expected);

    // The history reads the same run: its CSV holds every reply, numbers or not.
    form.findChild<QAction *>(QStringLiteral("history"))->trigger();
    QVERIFY(form.historyWindow() && form.historyWindow()->isVisible());
    const QString csv = m_drive.filePath(QStringLiteral("history.csv"));
    boxes.answers << csv;
    QSignalSpy exported(form.historyWindow(), &HistoryWindow::exported);
    QVERIFY(form.historyWindow()->exportTo(HistoryWindow::Export::Csv, true));
    QTRY_COMPARE_WITH_TIMEOUT(exported.size(), 1, kSaveWaitMs);
    QCOMPARE(contentOf(csv).count("\n,"), 0);
    QCOMPARE(contentOf(csv).count(",,"), 9); // the nine replies, between the events' keys
}

// Drive d:'s default folder is made at the first save; 另存为… writes the same record where
// the operator says, offering the record file's own path.
void TestRecordWiring::defaultFolderAndSaveAs()
{
    const QString folder = m_drive.filePath(QStringLiteral("Documents/corvane-panel"));
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.recordSaving().setDriveFolders({{u'd', folder}}, folder);
    form.setPollInterval(std::chrono::hours(1));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    QVERIFY(m_pty.writeAll("Q00N01.0YQ00N00.5Y"));
    QTRY_COMPARE(form.records().count(), 2);

    form.findChild<QAction *>(QStringLiteral("save"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.messages.value(0).prompt, QStringLiteral("当前压力数值以存储"),
                              kSaveWaitMs);
    QCOMPARE(contentOf(folder + QStringLiteral("/mytext.txt")), QByteArray("1\t0.5"));

    const QString elsewhere = m_drive.filePath(QStringLiteral("run-7.txt"));
    boxes.answers << elsewhere;
    form.findChild<QAction *>(QStringLiteral("saveAs"))->trigger();
    QCOMPARE(boxes.questions.last().defaultAnswer, folder + QStringLiteral("/mytext.txt"));
    QTRY_COMPARE_WITH_TIMEOUT(boxes.messages.size(), 2, kSaveWaitMs);
    QCOMPARE(contentOf(elsewhere), QByteArray("1\t0.5"));
    boxes.answers << QString(); // cancelled: nothing more
    form.findChild<QAction *>(QStringLiteral("saveAs"))->trigger();
    QCOMPARE(boxes.messages.size(), 2);
}

// A save held up on its thread (a disk that does not answer): readings still arrive, the old
// record stays until the new one is complete, and the record saved is the one of the moment
// 保存 was chosen.
void TestRecordWiring::saveHeldUpHoldsUpNothing()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.recordSaving().setDriveFolders({{u'd', m_drive.path()}});
    form.setPollInterval(std::chrono::hours(1));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    QVERIFY(m_pty.writeAll("Q00N01.0Y"));
    QTRY_COMPARE(form.records().count(), 1);
    const QString path = m_drive.filePath(QStringLiteral("mytext.txt"));
    QFile::remove(path);

    QSemaphore held;
    form.exports()->submit(
        [&held](const std::atomic_bool &) {
            held.acquire();
            return QString();
        },
        &form, [](const QString &) {});
    form.findChild<QAction *>(QStringLiteral("save"))->trigger();
    QVERIFY(m_pty.writeAll("Q00N02.0Y"));
    QTRY_COMPARE(form.records().count(), 2);
    QVERIFY(boxes.messages.isEmpty() && !QFile::exists(path));

    held.release();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.messages.size(), 1, kSaveWaitMs);
    QCOMPARE(boxes.messages[0].prompt, QStringLiteral("当前压力数值以存储"));
    QCOMPARE(contentOf(path), QByteArray("1")); // not the 2.0 that came after
}

void TestRecordWiring::failedSaveIsNotConfirmed_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("missing folder") << "no-such-folder";
    QTest::newRow("name leads to a pipe") << "pipe";
}

void TestRecordWiring::failedSaveIsNotConfirmed()
{
    QFETCH(QString, folder);
    const QString drive = m_drive.filePath(folder);
    if (folder == u"pipe") {
        QVERIFY(QDir().mkpath(drive));
        const QByteArray pipe = QFile::encodeName(drive + QStringLiteral("/fifo"));
        QVERIFY(::mkfifo(pipe.constData(), 0600) == 0);
        QVERIFY(
            QFile::link(drive + QStringLiteral("/fifo"), drive + QStringLiteral("/mytext.txt")));
    }
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.recordSaving().setDriveFolders({{u'd', drive}});
    form.setPollInterval(std::chrono::hours(1));
    QVERIFY(openPanelPort(form, boxes, m_pty));
    QVERIFY(m_pty.writeAll("Q00N01.0Y"));
    QTRY_COMPARE(form.records().count(), 1);

    form.findChild<QAction *>(QStringLiteral("save"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.messages.size(), 1, kSaveWaitMs);
    QVERIFY2(boxes.messages[0].prompt.contains(QStringLiteral("mytext.txt")),
             qPrintable(boxes.messages[0].prompt));
    QVERIFY(boxes.messages[0].prompt != QStringLiteral("当前压力数值以存储"));
}

// A log that cannot be written (the disk full at its first line) is told once, in the status
// area; the panel goes on; the folder of the log is shown where no file manager opens it.
void TestRecordWiring::logFailureIsToldOnce()
{
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    QString error;
    QVERIFY(!form.readingLog()->openFile(m_drive.path(), &error));
    QVERIFY2(error.contains(m_drive.path()), qPrintable(error));
    form.readingLog()->setWriteFunction([](int, const char *, qint64) -> qint64 {
        errno = ENOSPC;
        return -1;
    });
    const QString path = m_drive.filePath(QStringLiteral("readings.log"));
    QVERIFY(form.readingLog()->openFile(path, &error));
    form.setPollInterval(std::chrono::hours(1));
    QVERIFY(openPanelPort(form, boxes, m_pty));

    QVERIFY(m_pty.writeAll("Q00N01.0YQ00N01.1YQ00N01.2Y"));
    QTRY_COMPARE(form.records().count(), 3);
    const QLabel *logState = form.findChild<QLabel *>(QStringLiteral("logState"));
    QTRY_VERIFY(logState->text().contains(QStringLiteral("磁盘已满")));
    QVERIFY(logState->text().contains(path));
    // The panel goes on: readings still arrive, and no box is shown.
    QVERIFY(m_pty.writeAll("Q00N01.3Y"));
    QTRY_COMPARE(form.records().count(), 4);
    QCOMPARE(boxes.messages.size(), 0);

    QVERIFY(form.readingLog()->openFile(path, &error));
    form.findChild<QAction *>(QStringLiteral("openLogFolder"))->trigger();
    QCOMPARE(logState->text(), QStringLiteral("读数日志文件夹：") + m_drive.path());
}

QTEST_MAIN(TestRecordWiring)
#include "tst_recordwiring.moc"
