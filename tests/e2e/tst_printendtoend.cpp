#include "tests/platform/popplertools.h"
#include "tests/platform/privatecups.h"
#include "tools/paneldriver/paneldriver.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// How long a step of the panel may take on a busy machine, the sanitizers' build among others:
// only a panel that hangs fails, never a slow one.
constexpr int kWaitMs = 30'000;

} // namespace

// The test page as an operator prints it: the real panel on an X display, 文件(F) → 打印
// chosen with the mouse and keyboard, two copies asked for in the real printer dialog, and
// the pages read back from the PDF of the default queue of a CUPS scheduler of the test's own.
class TestPrintEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void printsTwoCopiesThroughTheDialog();

private:
    bool pumpPolled() const;

    PrivateCups m_cups;
    QTemporaryDir m_dir;
    QProcess m_pump;
    QProcess m_panel;
    PanelDriver m_driver;
};

bool TestPrintEndToEnd::pumpPolled() const
{
    QFile log(m_dir.filePath(QStringLiteral("frames.log")));
    return log.open(QIODevice::ReadOnly) && log.readAll().contains("Q00F0000Y");
}

void TestPrintEndToEnd::initTestCase()
{
    QString why;
    const PrivateCups::SetUp setUp = m_cups.setUp(why);
    if (setUp == PrivateCups::SetUp::Unavailable)
        QSKIP(qPrintable(why));
    QVERIFY2(setUp == PrivateCups::SetUp::Ready, qPrintable(why));

    QVERIFY(m_dir.isValid());
    m_pump.start(QStringLiteral(PUMPSIM_EXECUTABLE),
                 {QStringLiteral("--log"), m_dir.filePath(QStringLiteral("frames.log"))});
    QVERIFY(m_pump.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_pump.canReadLine(), kWaitMs);
    const QString line = QString::fromLocal8Bit(m_pump.readLine()).trimmed();
    const QString device = line.section(QStringLiteral("listening on "), 1);
    QVERIFY2(device.startsWith(u'/'), qPrintable(line));

    m_panel.setProcessChannelMode(QProcess::ForwardedChannels);
    m_panel.start(QStringLiteral(PANEL_EXECUTABLE), {QStringLiteral("--port"), "1=" + device});
    QVERIFY(m_panel.waitForStarted());
    QVERIFY2(m_driver.findWindow(20000), qPrintable(m_driver.lastError()));
    QVERIFY2(m_driver.openPort(QStringLiteral("1"), kWaitMs), qPrintable(m_driver.lastError()));
    // The first poll shows the port open, and with it the menu 文件(F) enabled.
    QTRY_VERIFY_WITH_TIMEOUT(pumpPolled(), kWaitMs);
}

void TestPrintEndToEnd::cleanupTestCase()
{
    for (QProcess *process : {&m_panel, &m_pump}) {
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
    }
}

void TestPrintEndToEnd::printsTwoCopiesThroughTheDialog()
{
    // 打印 is the second item of 文件(F).
    QVERIFY2(m_driver.openFirstEnabledMenu(10000), qPrintable(m_driver.lastError()));
    QVERIFY2(m_driver.pressKeys(
                 {QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")}),
             qPrintable(m_driver.lastError()));
    QVERIFY2(m_driver.focusWindow(QStringLiteral("^打印$"), kWaitMs),
             qPrintable(m_driver.lastError()));

    // The copies box is among the options, which 选项(O) (Alt+O) unfolds a moment later, as
    // its click is animated. 名称(N) (Alt+N) then puts the focus on the printer's name, a fixed
    // point whatever the printer: six fields back, past 取消, 打印, 选项, reverse order and
    // collate, is the copies box.
    QVERIFY2(m_driver.pressKeysUntilResized({QStringLiteral("alt+o")}, kWaitMs),
             qPrintable(m_driver.lastError()));
    QStringList toCopies{QStringLiteral("alt+n")};
    for (int field = 0; field < 6; ++field)
        toCopies.append(QStringLiteral("shift+Tab"));
    toCopies.append(QStringLiteral("ctrl+a"));
    QVERIFY2(m_driver.pressKeys(toCopies), qPrintable(m_driver.lastError()));
    QVERIFY2(m_driver.typeText(QStringLiteral("2")), qPrintable(m_driver.lastError()));
    // The dialog lies over the panel's window: a picture of it tells a wrong field at a glance.
    QTest::qWait(300);
    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    m_driver.grabWindow().save(QStringLiteral(SCREENSHOT_DIR "/print-dialog.png"));
    QVERIFY2(m_driver.pressKeys({QStringLiteral("Return")}), qPrintable(m_driver.lastError()));
    QVERIFY2(m_driver.waitForWindowClosed(10000), qPrintable(m_driver.lastError()));

    const QString output = m_cups.waitForOutput();
    QVERIFY2(!output.isEmpty(), qPrintable("the queue printed nothing:\n" + m_cups.log()));
    QString error;
    const QList<QImage> pages = renderPdfFiles({output}, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(pages.size(), 2);
    for (const QImage &page : std::as_const(pages)) {
        const PageInk ink = pageInk(page);
        QVERIFY(ink.topLeft > 0);
        QCOMPARE(ink.elsewhere, 0);
    }
    QCOMPARE(m_panel.state(), QProcess::Running);
}

QTEST_MAIN(TestPrintEndToEnd)
#include "tst_printendtoend.moc"
