#include "platform/qtprintinglayer.h"
#include "records/testpage.h"
#include "tests/platform/popplertools.h"
#include "tests/platform/printdialoganswerer.h"
#include "tests/platform/privatecups.h"

#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>

// The test page through the real print system: the default queue of a CUPS scheduler of the
// test's own, chosen in the real dialog, and read back from the PDF the queue writes.
class TestCupsPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void twoCopiesComeOutAsTwoPages();

private:
    PrivateCups m_cups;
};

void TestCupsPrint::initTestCase()
{
    QString why;
    const PrivateCups::SetUp setUp = m_cups.setUp(why);
    if (setUp == PrivateCups::SetUp::Unavailable)
        QSKIP(qPrintable(why));
    QVERIFY2(setUp == PrivateCups::SetUp::Ready, qPrintable(why));
    // Qt sees the private scheduler, not the machine's.
    QCOMPARE(QPrinterInfo::availablePrinterNames(), QStringList{PrivateCups::kName});
    QCOMPARE(QPrinterInfo::defaultPrinterName(), QString::fromLatin1(PrivateCups::kName));
}

void TestCupsPrint::twoCopiesComeOutAsTwoPages()
{
    QtPrintingLayer layer(nullptr);
    PrintDialogAnswerer answerer(2);

    QCOMPARE(TestPage::print(layer), 2);
    QVERIFY2(answerer.problem.isEmpty(), qPrintable(answerer.problem));
    QCOMPARE(answerer.answered, 1);
    QCOMPARE(answerer.unexpected, QStringList());

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
}

QTEST_MAIN(TestCupsPrint)
#include "tst_cupsprint.moc"
