#include "cupspdfqueue.h"
#include "popplertools.h"
#include "printdialoganswerer.h"
#include "qtprintinglayer.h"
#include "testpage.h"

#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>

// The test page through the real print system: a CUPS queue of cups-pdf made the default
// printer, chosen in the real dialog, and read back from the files the queue writes.
class TestCupsPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void twoCopiesComeOutAsTwoPages();

private:
    CupsPdfQueue m_queue;
};

void TestCupsPrint::initTestCase()
{
    QString why;
    const CupsPdfQueue::SetUp setUp = m_queue.setUp(why);
    if (setUp == CupsPdfQueue::SetUp::Unavailable)
        QSKIP(qPrintable(why));
    QVERIFY2(setUp == CupsPdfQueue::SetUp::Ready, qPrintable(why));
    QCOMPARE(QPrinterInfo::defaultPrinterName(), QString::fromLatin1(CupsPdfQueue::kName));
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

    const QStringList outputs = m_queue.waitForOutput(start);
    QVERIFY2(!outputs.isEmpty(), qPrintable("no new output in " + m_queue.outputDir() +
                                            "; see /var/log/cups/error_log"));
    QString error;
    const QList<QImage> pages = renderPdfFiles(outputs, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(pages.size(), 2);
    for (const QImage &page : std::as_const(pages)) {
        const PageInk ink = pageInk(page);
        QVERIFY(ink.topLeft > 0);
        QCOMPARE(ink.elsewhere, 0);
    }
}

QTEST_MAIN(TestCupsPrint)
#include "tst_cupsprint.moc"
