#include "app/historywindow.h"
#include "records/runrecord.h"
#include "tests/platform/popplertools.h"
#include "tests/platform/printdialoganswerer.h"
#include "tests/platform/privatecups.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QFile>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>

// The history window over a long run: the picture, zoom and pan by hand, the three exports
// read back, and the run report printed through the real print dialog to the test's own
// CUPS scheduler.
class TestHistoryWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void longRunZoomPanExport();
    void reportPrintsTheFigures();
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
          QStringLiteral("最后 ") + m_record.reading(30'000).text}) {
        QVERIFY2(text.contains(expected), qPrintable(expected + u'\n' + text));
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
    // A printer's unprintable edge of 10 mm: nothing may be drawn into it.
    pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    const int pages = RunReportPrinter::print(&pdf, {"Corvane(KMW7R35)V2.0", "2.0", "", 0},
                                              report, QPicture());
    QCOMPARE(pages, RunReportPrinter::kMostPages);
    QString error;
    const QList<QImage> rendered = renderPdfFiles({path}, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(rendered.size(), pages);
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
