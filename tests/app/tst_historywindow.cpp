#include "app/historywindow.h"
#include "records/runrecord.h"
#include "tests/platform/popplertools.h"
#include "tests/platform/printdialoganswerer.h"
#include "tests/platform/privatecups.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>

// The history window over a long run: the picture, zoom and pan by hand, the three exports
// read back, and the run report printed through the real print dialog to the test's own CUPS
// scheduler and to a PDF file.
class TestHistoryWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void longRunZoomPanExport();
    void reportPrintsTheFigures();
    void reportToAPdfFile_data();
    void reportToAPdfFile();
    void reportStaysOnTwoPagesInside_data();
    void reportStaysOnTwoPagesInside();

private:
    QByteArray exported(HistoryWindow &window, const char *action);

    PrivateCups m_cups; // before any printer is made: it points CUPS at itself
    QString m_cupsProblem;
    QTemporaryDir m_dir;
    RunRecord m_record;
    ScriptedBoxes m_boxes;
};

namespace {

constexpr qint64 kBase = 1'800'000'000'000;
constexpr int kReadings = 100'000;

QString readingText(int i)
{
    // Every thousandth reply is no number; the others climb and fall between 0.5 and 1.5.
    return i % 1000 == 999
               ? QStringLiteral("ABCD")
               : QStringLiteral("%1").arg(1.0 + 0.5 * std::sin(i / 5000.0), 4, 'f', 2, u'0');
}

} // namespace

void TestHistoryWindow::initTestCase()
{
    if (m_cups.setUp(m_cupsProblem) == PrivateCups::SetUp::Ready)
        m_cupsProblem.clear();
    QVERIFY(m_dir.isValid());
    for (int i = 0; i < kReadings; ++i) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(kBase + i * 100LL);
        if (i % 10'000 == 5'000)
            m_record.addEvent(at, QStringLiteral("link-lost"), QStringLiteral("gone"));
        if (i == 19'000)
            m_record.addEvent(at, QStringLiteral("run-set"), QStringLiteral("10 分"));
        if (i == 19'500)
            m_record.addEvent(at, QStringLiteral("frame-sent"),
                              QStringLiteral("Q00L0300Y（键盘）"));
        if (i == 20'000)
            m_record.addEvent(at, QStringLiteral("run-start"), QString());
        if (i == 30'000)
            m_record.addEvent(at, QStringLiteral("run-end"), QStringLiteral("到设定时间"));
        // The line lost at 5,520 s stays away for 100 s.
        if (i == 55'200)
            m_record.addEvent(at, QStringLiteral("link-lost"), QStringLiteral("unplugged"));
        if (i < 55'200 || i >= 56'200)
            m_record.addReading(at, readingText(i));
    }
}

QByteArray TestHistoryWindow::exported(HistoryWindow &window, const char *action)
{
    const QString path = m_dir.filePath(QLatin1String(action));
    m_boxes.answers << path;
    window.findChild<QAction *>(QLatin1String(action))->trigger();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestHistoryWindow::longRunZoomPanExport()
{
    HistoryWindow window(&m_record, &m_boxes);
    window.show();
    HistoryView *view = window.view();
    // Opened following the newest reading: all of it at first, which ends with the last one.
    QTRY_VERIFY_WITH_TIMEOUT(!view->image().isNull(), 10000);
    const qint64 last = kBase + (kReadings - 1) * 100LL;
    const qint64 outage = kBase + 5'570'000;
    QCOMPARE(view->toMs(), last);
    QCOMPARE(view->fromMs(), kBase);

    // The wheel zooms in about the pointer; a drag to the left shows later times.
    const QPoint middle = view->rect().center();
    QWheelEvent wheel(middle, view->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    QTRY_VERIFY_WITH_TIMEOUT(view->toMs() - view->fromMs() < (last - kBase) * 0.81, 5000);
    QVERIFY(!view->follows());
    const qint64 zoomedFrom = view->fromMs();
    QTest::mousePress(view, Qt::LeftButton, {}, middle);
    QTest::mouseMove(view, middle - QPoint(100, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, middle - QPoint(100, 0));
    QTRY_VERIFY_WITH_TIMEOUT(view->fromMs() > zoomedFrom, 5000);

    // PNG and SVG of what is shown; the curve is in the picture.
    const QImage png = QImage::fromData(exported(window, "exportVisiblePng"), "PNG");
    QCOMPARE(png.size(), view->size() * view->devicePixelRatioF());
    QVERIFY(png.convertToFormat(QImage::Format_RGB32).pixelColor(png.rect().center()).isValid());
    bool red = false;
    for (int x = 0; x < png.width() && !red; x += 2)
        for (int y = 0; y < png.height() && !red; ++y)
            red = png.pixelColor(x, y) == QColor(220, 0, 0);
    QVERIFY(red);
    // No line across the outage.
    QVERIFY(view->fromMs() < outage && outage < view->toMs());
    const QRectF area = HistoryPainter::plotArea(view->rect());
    const int outageX =
        qRound((area.left() + double(outage - view->fromMs()) /
                                  double(view->toMs() - view->fromMs()) * area.width()) *
               view->devicePixelRatioF());
    for (int y = 0; y < png.height(); ++y)
        QVERIFY2(png.pixelColor(outageX, y) != QColor(220, 0, 0), qPrintable(QString::number(y)));
    QXmlStreamReader svg(exported(window, "exportVisibleSvg"));
    while (!svg.atEnd())
        svg.readNext();
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));

    // Everything as CSV, read back: every reading and event, in time order.
    const QList<QByteArray> rows = exported(window, "exportAllCsv").split('\n');
    QCOMPARE(rows.first(), QByteArray("time,elapsed_s,event,text,value"));
    qint32 reading = 0;
    qsizetype event = 0;
    for (qsizetype i = 1; i < rows.size() - 1; ++i) {
        const QList<QByteArray> fields = rows[i].split(',');
        QCOMPARE(fields.size(), 5);
        if (!fields[2].isEmpty()) {
            QCOMPARE(QString::fromUtf8(fields[2]), m_record.events().at(event++).key);
            continue;
        }
        const RunRecord::Reading expected = m_record.reading(reading++);
        QCOMPARE(QString::fromUtf8(fields[3]), expected.text);
        QCOMPARE(fields[4].isEmpty(), !expected.value);
        if (expected.value)
            QCOMPARE(fields[4].toDouble(), *expected.value);
    }
    QCOMPARE(reading, m_record.readingCount());
    QCOMPARE(event, m_record.events().size());
    QCOMPARE(m_boxes.messages.size(), 0);
}

void TestHistoryWindow::reportPrintsTheFigures()
{
    if (!m_cupsProblem.isEmpty())
        QSKIP(qPrintable(m_cupsProblem));
    HistoryWindow window(&m_record, &m_boxes);
    window.setHeaderSource([] {
        return RunReportPrinter::Header{"Corvane(KMW7R35)V2.0", "2.0", "/dev/ttyUSB0", 7};
    });
    PrintDialogAnswerer answerer(1);
    int pages = 0;
    connect(&window, &HistoryWindow::reportPrinted, this,
            [&pages](int printed) { pages = printed; });
    window.findChild<QAction *>(QStringLiteral("reportLastRun"))->trigger();
    QCOMPARE(answerer.answered, 1);
    QVERIFY(pages >= 1 && pages <= RunReportPrinter::kMostPages);

    const QString output = m_cups.waitForOutput();
    QVERIFY2(!output.isEmpty(), qPrintable("the queue printed nothing:\n" + m_cups.log()));
    QString error;
    const QString text =
        QString::fromUtf8(runPoppler(QStringLiteral("pdftotext"), {output, "-"}, error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(pdfPageCount(output, error), pages);
    // The timed run is readings 20,000 to 30,000: its figures, not the whole run's.
    for (const QString &expected :
         {QStringLiteral("Corvane(KMW7R35)V2.0"), QStringLiteral("/dev/ttyUSB0"),
          QStringLiteral("泵编号：7"), QStringLiteral("10 分"), QStringLiteral("读数 10001 个"),
          QStringLiteral("最后 %1 MPa").arg(*m_record.reading(30'000).value, 0, 'f', 2),
          QStringLiteral("第 1 页，共 %1 页").arg(pages)}) {
        QVERIFY2(text.contains(expected), qPrintable(expected + u'\n' + text));
    }
}

void TestHistoryWindow::reportToAPdfFile_data()
{
    QTest::addColumn<bool>("lastRun"); // else the visible range, inside the outage
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<bool>("curve");
    QTest::newRow("timed run") << true
                               << QStringList{"范围开始时的设定：流量 300 ml/min", "操作人员",
                                              "签名", "第 1 页，共 1 页"}
                               << true;
    QTest::newRow("no readings") << false << QStringList{"范围内没有读数", "第 1 页，共 1 页"}
                                 << false;
}

// Printed to a file from the print dialog, with the narrow margins a PDF file gets: at least
// 10 mm of white paper all round, the curve right under the figures (no band between them), or
// no curve at all where there is nothing to draw.
void TestHistoryWindow::reportToAPdfFile()
{
    QFETCH(bool, lastRun);
    QFETCH(QStringList, said);
    QFETCH(bool, curve);
    HistoryWindow window(&m_record, &m_boxes);
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(!window.view()->image().isNull(), 10000);
    window.view()->setRange(kBase + 5'530'000, kBase + 5'600'000);
    QTRY_COMPARE_WITH_TIMEOUT(window.view()->fromMs(), kBase + 5'530'000, 10000);
    const QString path = m_dir.filePath(QStringLiteral("report-%1.pdf").arg(lastRun));
    // The print dialog's own choice "Print to File (PDF)", the last of its printers.
    bool answered = false;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        auto *printers =
            dialog ? dialog->findChild<QComboBox *>(QStringLiteral("printers")) : nullptr;
        auto *file = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("filename")) : nullptr;
        if (!printers || !file || !dialog->isVisible())
            return;
        answer.stop();
        printers->setCurrentIndex(printers->count() - 1);
        file->setText(path);
        answered = true;
        dialog->accept();
    });
    answer.start(20);
    window.findChild<QAction *>(lastRun ? "reportLastRun" : "reportVisible")->trigger();
    QVERIFY(answered);

    QString error;
    const QString text =
        QString::fromUtf8(runPoppler(QStringLiteral("pdftotext"), {path, "-"}, error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (const QString &expected : said)
        QVERIFY2(text.contains(expected), qPrintable(expected + u'\n' + text));
    QCOMPARE(text.contains(QStringLiteral("压力（MPa）")), curve);
    if (curve) {
        // The words' boxes, in points: the curve's title within two lines of the last figure.
        const QString boxes =
            QString::fromUtf8(runPoppler(QStringLiteral("pdftotext"), {"-bbox", path, "-"}, error));
        const QRegularExpression word(
            QStringLiteral("yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">([^<]*)<"));
        double figuresEnd = -1;
        double curveTop = -1;
        for (auto match = word.globalMatch(boxes); match.hasNext();) {
            const QRegularExpressionMatch found = match.next();
            if (found.captured(3) == u"读数")
                figuresEnd = found.captured(2).toDouble();
            else if (found.captured(3) == u"压力（MPa）" && curveTop < 0)
                curveTop = found.captured(1).toDouble();
        }
        QVERIFY2(figuresEnd > 0 && curveTop > figuresEnd && curveTop - figuresEnd < 28,
                 qPrintable(QStringLiteral("figures end at %1 pt, the curve begins at %2 pt")
                                .arg(figuresEnd)
                                .arg(curveTop)));
    }
    const QList<QImage> rendered = renderPdfFiles({path}, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (const QImage &page : rendered) {
        // 36 dots per inch: 10 mm is 14 dots; the outer 13 stay white.
        const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
        const QRect inside = grey.rect().adjusted(13, 13, -13, -13);
        for (int y = 0; y < grey.height(); ++y)
            for (int x = 0; x < grey.width(); ++x)
                QVERIFY2(inside.contains(x, y) || grey.pixel(x, y) == qRgb(255, 255, 255),
                         qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
    }
}

void TestHistoryWindow::reportStaysOnTwoPagesInside_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("A4") << int(QPageSize::A4);
    QTest::newRow("Letter") << int(QPageSize::Letter);
}

// A run with more settings and alarms than two pages hold, and lines far wider than the page.
void TestHistoryWindow::reportStaysOnTwoPagesInside()
{
    QFETCH(int, page);
    RunReport report = RunReport::compute(m_record, kBase, kBase + 10'000'000);
    for (int i = 0; i < 300; ++i)
        report.alarms.append({kBase + i * 1000, QStringLiteral("压力过高：") + QString(200, u'9')});
    const QString path = m_dir.filePath(QStringLiteral("report-%1.pdf").arg(page));
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::PageSizeId(page)));
    // Margins narrower than the report's least: it keeps its own 10 mm.
    pdf.setPageMargins(QMarginsF(3, 3, 3, 3), QPageLayout::Millimeter);
    const int pages =
        RunReportPrinter::print(&pdf, {"Corvane(KMW7R35)V2.0", "2.0", "", 0}, report, QPicture());
    QCOMPARE(pages, RunReportPrinter::kMostPages);
    QString error;
    const QList<QImage> rendered = renderPdfFiles({path}, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(rendered.size(), pages);
    // What did not fit is counted; the signature lines and the page numbers are there still.
    const QString text =
        QString::fromUtf8(runPoppler(QStringLiteral("pdftotext"), {path, "-"}, error));
    for (const char *expected : {"行未印出", "签名", "第 2 页，共 2 页"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    for (const QImage &image : rendered) {
        // 36 dots per inch: 10 mm is 14 dots; the outer 12 stay white.
        const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
        const QRect inside = grey.rect().adjusted(12, 12, -12, -12);
        for (int y = 0; y < grey.height(); ++y)
            for (int x = 0; x < grey.width(); ++x)
                QVERIFY2(inside.contains(x, y) || grey.pixel(x, y) == qRgb(255, 255, 255),
                         qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
    }
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
