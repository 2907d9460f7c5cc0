#include "platform/qtprintinglayer.h"
#include "records/testpage.h"
#include "tests/platform/popplertools.h"
#include "tests/platform/printdialoganswerer.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// The real layer, except that it reports `copies` copies and fails its `failingLine`-th line.
class FailingLayer final : public PrintingLayer
{
public:
    FailingLayer(QtPrintingLayer &real, int copies, int failingLine)
        : m_real(real), m_copies(copies), m_failingLine(failingLine)
    {
    }

    bool showPrinter() override { return m_real.showPrinter(); }
    int copies() const override { return m_copies; }
    bool printLine(const QString &text) override
    {
        return ++m_lines != m_failingLine && m_real.printLine(text);
    }
    bool endPage() override { return m_real.endPage(); }
    void endDoc() override { m_real.endDoc(); }

private:
    QtPrintingLayer &m_real;
    int m_copies;
    int m_failingLine;
    int m_lines = 0;
};

} // namespace

// The test page printed to a PDF file through the real printer dialog, read back with poppler.
class TestQtPrintingLayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void pagesFollowDialog_data();
    void pagesFollowDialog();
    void failureKeepsEarlierCopies_data();
    void failureKeepsEarlierCopies();

private:
    // The file holds `pages` pages, each bearing only the test line; no file for no pages.
    void verifyPdf(int pages);

    QTemporaryDir m_dir;
    QString m_pdf;
};

void TestQtPrintingLayer::init()
{
    QVERIFY(m_dir.isValid());
    m_pdf = m_dir.filePath(QStringLiteral("testpage.pdf"));
    QFile::remove(m_pdf);
}

void TestQtPrintingLayer::verifyPdf(int pages)
{
    if (pages == 0) {
        QVERIFY2(!QFile::exists(m_pdf), "a print that printed nothing left a file");
        return;
    }
    QString error;
    const int pageCount = pdfPageCount(m_pdf, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(pageCount, pages);
    const QByteArray text = runPoppler(QStringLiteral("pdftotext"), {m_pdf, "-"}, error);
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
    // pdftotext ends every page with a form feed.
    const QStringList pageTexts = QString::fromUtf8(text).split(u'\f');
    QCOMPARE(pageTexts.size(), pages + 1);
    for (int page = 0; page < pages; ++page)
        QCOMPARE(pageTexts[page].trimmed(), QString::fromUtf8(TestPage::kLine));
    const QTemporaryDir pngDir;
    const QList<QImage> rendered = renderPdfPages(m_pdf, pngDir.path(), error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(rendered.size(), pages);
    for (const QImage &page : rendered) {
        const PageInk ink = pageInk(page);
        QVERIFY(ink.topLeft > 0);
        QCOMPARE(ink.elsewhere, 0);
    }
}

void TestQtPrintingLayer::pagesFollowDialog_data()
{
    QTest::addColumn<int>("copies");

    QTest::newRow("cancelled") << 0;
    QTest::newRow("one copy") << 1;
    QTest::newRow("three copies") << 3;
}

void TestQtPrintingLayer::pagesFollowDialog()
{
    QFETCH(int, copies);
    QtPrintingLayer layer(nullptr);
    layer.setPdfOutput(m_pdf);
    PrintDialogAnswerer answerer(copies);

    QCOMPARE(TestPage::print(layer), copies);
    QVERIFY2(answerer.problem.isEmpty(), qPrintable(answerer.problem));
    QCOMPARE(answerer.answered, 1);
    QCOMPARE(answerer.unexpected, QStringList());
    verifyPdf(copies);
}

void TestQtPrintingLayer::failureKeepsEarlierCopies_data()
{
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("failingLine");
    QTest::addColumn<int>("printed");

    QTest::newRow("second of three fails") << 3 << 2 << 1;
    QTest::newRow("first fails") << 3 << 1 << 0;
    QTest::newRow("no copies") << 0 << 1 << 0;
    QTest::newRow("negative copies") << -2 << 1 << 0;
}

void TestQtPrintingLayer::failureKeepsEarlierCopies()
{
    QFETCH(int, copies);
    QFETCH(int, failingLine);
    QFETCH(int, printed);
    QtPrintingLayer real(nullptr);
    real.setPdfOutput(m_pdf);
    FailingLayer layer(real, copies, failingLine);
    PrintDialogAnswerer answerer(1);

    QCOMPARE(TestPage::print(layer), printed);
    QCOMPARE(answerer.unexpected, QStringList());
    verifyPdf(printed);
}

QTEST_MAIN(TestQtPrintingLayer)
#include "tst_qtprintinglayer.moc"
