#include "app/historywindow.h"
#include "platform/widgetmodalboxes.h"
#include "records/exportwriter.h"
#include "records/runrecord.h"
#include "tests/platform/popplertools.h"
#include "tests/platform/printdialoganswerer.h"
#include "tests/platform/privatecups.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QXmlStreamReader>

#include <cmath>
#include <sys/stat.h>

// The history window over a long run: the picture, zoom and pan by hand, the three exports
// read back, where it opens and whose its boxes are, and the run report printed through the
// real print dialog to the test's own CUPS scheduler and laid out in PDF files.
class TestHistoryWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void longRunZoomPanExport();
    void exportWaitsOnItsOwnThread();
    void opensInsideTheScreenWithItsOwnBoxes();
    void reportPrintsTheFigures();
    void reportOnPaper_data();
    void reportOnPaper();
    void reportSaysWhatRan();

private:
    QByteArray exported(HistoryWindow &window, const char *action);

    PrivateCups m_cups; // before any printer is made: it points CUPS at itself
    QString m_cupsProblem;
    QTemporaryDir m_dir;
    RunRecord m_record;
    ScriptedBoxes m_boxes;
};

namespace {

// An export runs on a thread that gives way to every other: on a machine busy with builds it
// may take long, and only a hang should fail.
constexpr int kExportWaitMs = 180'000;

const QString kAuditHead =
    QStringLiteral("17:74963eaaad055ad25b5d63a64fce7f274eabf6f6ce9e8ef2954fb7edf428e6d6");

constexpr qint64 kBase = 1'800'000'000'000;
constexpr int kReadings = 100'000;

QString readingText(int i)
{
    // Every thousandth reply is no number; the others climb and fall between 0.5 and 1.5.
    return i % 1000 == 999
               ? QStringLiteral("ABCD")
               : QStringLiteral("%1").arg(1.0 + 0.5 * std::sin(i / 5000.0), 4, 'f', 2, u'0');
}

// The columns of a strip of the image that hold ink.
QList<int> inkColumns(const QImage &image, const QRect &strip)
{
    QList<int> columns;
    for (int x = strip.left(); x <= strip.right(); ++x)
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 160) {
                columns.append(x);
                break;
            }
    return columns;
}

// The widest run of blank columns between the first and the last with ink.
int widestGap(const QList<int> &columns)
{
    int widest = 0;
    for (qsizetype i = 1; i < columns.size(); ++i)
        widest = std::max(widest, columns[i] - columns[i - 1] - 1);
    return widest;
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
    QSignalSpy done(&window, &HistoryWindow::exported);
    window.findChild<QAction *>(QLatin1String(action))->trigger();
    if (!done.wait(kExportWaitMs))
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestHistoryWindow::longRunZoomPanExport()
{
    HistoryWindow window(&m_record, &m_boxes);
    window.setHeaderSource([] {
        return RunReportPrinter::Header{"Corvane(KMW7R35)V2.0", "2.0", "/dev/ttyUSB0", 7};
    });
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

    // PNG and SVG of what is shown; the curve is in the picture, a heading above it and a
    // legend under it.
    const QImage png = QImage::fromData(exported(window, "exportVisiblePng"), "PNG");
    QCOMPARE(png.size(), HistoryPainter::exportSize(view->size()) * view->devicePixelRatioF());
    const int legend = png.height() - qRound(24 * view->devicePixelRatioF());
    bool orange = false;
    for (int x = 0; x < png.width() && !orange; ++x)
        for (int y = legend; y < png.height() && !orange; ++y)
            orange = png.pixelColor(x, y) == HistoryPainter::eventColor("link-lost");
    QVERIFY(orange);
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
    for (int y = 0; y < legend; ++y)
        QVERIFY2(png.pixelColor(outageX, y) != QColor(220, 0, 0), qPrintable(QString::number(y)));

    // The SVG rendered back fills its view box as the PNG fills the picture: ink at the right
    // and bottom edges (the plot's frame, the time labels), the title where the PNG has it and
    // without a wider gap.
    const QByteArray svgData = exported(window, "exportVisibleSvg");
    QXmlStreamReader svg(svgData);
    while (!svg.atEnd())
        svg.readNext();
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
    const auto clock = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString("yyyy-MM-dd HH:mm:ss");
    };
    const QString svgText = QString::fromUtf8(svgData);
    for (const QString &said :
         {clock(view->fromMs()) + " 至 " + clock(view->toMs()), QStringLiteral("/dev/ttyUSB0"),
          QStringLiteral(">压力"), QStringLiteral(">报警<"), QStringLiteral(">其他事件<")})
        QVERIFY2(svgText.contains(said), qPrintable(said));
    QImage drawn(png.size(), QImage::Format_RGB32);
    drawn.fill(Qt::white);
    QPainter painter(&drawn);
    QSvgRenderer(svgData).render(&painter);
    painter.end();
    QVERIFY(!inkColumns(drawn, drawn.rect().adjusted(drawn.width() - 24, 0, 0, 0)).isEmpty());
    QVERIFY(!inkColumns(drawn, drawn.rect().adjusted(0, drawn.height() - 30, 0, 0)).isEmpty());
    const QList<int> title = inkColumns(drawn, QRect(0, 0, png.width(), 28));
    const QList<int> pngTitle = inkColumns(png, QRect(0, 0, png.width(), 28));
    QVERIFY(!title.isEmpty() && !pngTitle.isEmpty());
    QVERIFY(std::abs(title.first() - pngTitle.first()) <= 3);
    QVERIFY(std::abs(title.last() - pngTitle.last()) <= 3);
    QVERIFY(widestGap(title) <= widestGap(pngTitle) + 2);

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

// An export held up on its thread (a share that does not answer) holds up nothing else: the
// window says so and takes no second export meanwhile; the old file stays whole until the new
// one is complete. A name that leads to a pipe is refused, and the pipe stays.
void TestHistoryWindow::exportWaitsOnItsOwnThread()
{
    ExportWriter writer;
    HistoryWindow window(&m_record, &m_boxes, nullptr, &writer);
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(!window.view()->image().isNull(), 10000);
    const QString path = m_dir.filePath(QStringLiteral("held.png"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();

    QSemaphore held;
    writer.submit(
        [&held](const std::atomic_bool &) {
            held.acquire();
            return QString();
        },
        &window, [](const QString &) {});
    QSignalSpy exported(&window, &HistoryWindow::exported);
    m_boxes.answers << path;
    window.findChild<QAction *>(QStringLiteral("exportAllPng"))->trigger();
    const auto *state = window.findChild<QLabel *>(QStringLiteral("historyExportState"));
    QVERIFY(state->isVisible() && state->text().contains(QStringLiteral("held.png")));
    QVERIFY(!window.findChild<QToolButton *>(QStringLiteral("historyExport"))->isEnabled());
    QVERIFY(!window.findChild<QToolButton *>(QStringLiteral("historyReport"))->isEnabled());
    QVERIFY(!window.exportTo(HistoryWindow::Export::Csv, true));
    // The trigger came back with the export not yet begun: the window's thread never waits.
    QCOMPARE(QFile(path).size(), 3);

    held.release();
    QVERIFY(exported.wait(kExportWaitMs));
    QVERIFY(!QImage(path, "PNG").isNull());
    QVERIFY(!state->isVisible());
    QVERIFY(window.findChild<QToolButton *>(QStringLiteral("historyExport"))->isEnabled());

    const QString pipe = m_dir.filePath(QStringLiteral("pipe.csv"));
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    QSignalSpy failed(&window, &HistoryWindow::exportFailed);
    m_boxes.answers << pipe;
    QVERIFY(window.exportTo(HistoryWindow::Export::Csv, true));
    QVERIFY(failed.wait(kExportWaitMs));
    QVERIFY2(failed.first().first().toString().contains(QStringLiteral("不是普通文件")),
             qPrintable(failed.first().first().toString()));
    QVERIFY(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());
    QCOMPARE(m_boxes.messages.size(), 1);
    m_boxes.messages.clear();
}

// Beside a panel low on the screen the window opens whole inside the free area; its export
// box is its own, so that the window manager gives it back the front after the box (not to the
// panel), started in the record's folder with one format listed.
void TestHistoryWindow::opensInsideTheScreenWithItsOwnBoxes()
{
    QWidget panel;
    const QRect free = panel.screen()->availableGeometry();
    panel.setGeometry(free.left() + 300, free.bottom() - 300, 800, 260);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    WidgetModalBoxes boxes(&panel);
    auto *window = new HistoryWindow(&m_record, &boxes, &panel);
    window->setExportFolder([this] { return m_dir.path(); });
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // Beside the panel (above it: there is no room to its sides or below), whole on the screen.
    const QRect frame = window->frameGeometry();
    QVERIFY(free.contains(frame));
    QVERIFY2(!frame.intersects(panel.frameGeometry()),
             qPrintable(QStringLiteral("%1,%2").arg(frame.y()).arg(frame.height())));

    // Read while the box is up, then cancelled.
    QWidget *boxParent = nullptr;
    QStringList filters;
    QString folder;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!box)
            return;
        boxParent = box->parentWidget();
        filters = box->nameFilters();
        folder = box->directory().absolutePath();
        box->reject();
    });
    QVERIFY(!window->exportTo(HistoryWindow::Export::Csv, true));
    QCOMPARE(boxParent, window);
    QCOMPARE(filters, QStringList{QStringLiteral("CSV 文件 (*.csv)")});
    QCOMPARE(folder, QDir(m_dir.path()).absolutePath());
}

void TestHistoryWindow::reportPrintsTheFigures()
{
    if (!m_cupsProblem.isEmpty())
        QSKIP(qPrintable(m_cupsProblem));
    HistoryWindow window(&m_record, &m_boxes);
    window.setHeaderSource([] {
        return RunReportPrinter::Header{"Corvane(KMW7R35)V2.0", "2.0", "/dev/ttyUSB0", 7};
    });
    // Pump care is asked for the report's own range.
    window.setCareSource([](qint64 fromMs, qint64 toMs) {
        return QStringLiteral("本次泵送 %1 ml").arg(toMs - fromMs);
    });
    const auto range = RunReport::defaultRange(m_record);
    QVERIFY(range);
    PrintDialogAnswerer answerer(1);
    int pages = 0;
    connect(&window, &HistoryWindow::reportPrinted, this,
            [&pages](int printed, const QString &) { pages = printed; });
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
          QStringLiteral("第 1 页，共 %1 页").arg(pages),
          QStringLiteral("泵的维护计数：本次泵送 %1 ml").arg(range->second - range->first)}) {
        QVERIFY2(text.contains(expected), qPrintable(expected + u'\n' + text));
    }
}

void TestHistoryWindow::reportOnPaper_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("alarms"); // added to the run's, with lines far wider than the page
    QTest::addColumn<qint64>("fromS");
    QTest::addColumn<qint64>("toS");
    QTest::addColumn<QStringList>("said");
    const QStringList overflowing{"行未印出", "签名", "第 2 页，共 2 页", "压力（MPa）"};
    QTest::newRow("A4, more than two pages")
        << int(QPageSize::A4) << 300 << 0LL << 10'000LL << overflowing;
    QTest::newRow("Letter, more than two pages")
        << int(QPageSize::Letter) << 300 << 0LL << 10'000LL << overflowing;
    QTest::newRow("timed run") << int(QPageSize::A4) << 0 << 2'000LL << 3'000LL
                               << QStringList{"范围开始时的设定：流量 300 ml/min", "操作人员",
                                              "第 1 页，共 1 页", "压力（MPa）"};
    QTest::newRow("no readings (an empty curve)")
        << int(QPageSize::A4) << 0 << 5'530LL << 5'600LL
        << QStringList{"范围内没有读数", "第 1 页，共 1 页"};
}

// Printed to a PDF file, whose margins are narrower than the report's least: at least 10 mm of
// white paper all round, the curve's title within two lines of the last figure (no band
// between them), and no curve where there is no reading.
void TestHistoryWindow::reportOnPaper()
{
    QFETCH(int, page);
    QFETCH(int, alarms);
    QFETCH(qint64, fromS);
    QFETCH(qint64, toS);
    QFETCH(QStringList, said);
    RunReport report = RunReport::compute(m_record, kBase + fromS * 1000, kBase + toS * 1000);
    for (int i = 0; i < alarms; ++i)
        report.alarms.append({kBase + i * 1000, "压力过高" + QString(200, u'9'), 0.6, {}, {}, {}});
    QPicture curve;
    QPainter painter(&curve);
    painter.fillRect(0, 0, 960, 480, Qt::white);
    painter.drawText(QRect(0, 0, 960, 30), Qt::AlignCenter, QStringLiteral("压力（MPa）"));
    painter.end();
    const QString path =
        m_dir.filePath(QStringLiteral("report-%1.pdf").arg(QTest::currentDataTag()));
    QPrinter pdf;
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    pdf.setPageSize(QPageSize(QPageSize::PageSizeId(page)));
    const int pages = RunReportPrinter::print(
        &pdf, {"Corvane(KMW7R35)V2.0", "2.0", "", 0, kAuditHead}, report, curve);
    QString error;
    const QString text =
        QString::fromUtf8(runPoppler(QStringLiteral("pdftotext"), {path, "-"}, error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(pages, alarms > 0 ? RunReportPrinter::kMostPages : 1);
    QCOMPARE(text.contains(QStringLiteral("压力（MPa）")), said.contains("压力（MPa）"));
    // The audit trail's head at printing, whole, for --verify-audit --head from the paper.
    QVERIFY2(text.simplified().remove(u' ').contains(kAuditHead), qPrintable(text));
    for (const QString &expected : said)
        QVERIFY2(text.contains(expected), qPrintable(expected + u'\n' + text));
    // The words' boxes, in points: where the figures end and the curve begins.
    const QString words =
        QString::fromUtf8(runPoppler(QStringLiteral("pdftotext"), {"-bbox", path, "-"}, error));
    const auto top = [&words](const QString &word, int coordinate) {
        const QRegularExpression box(
            QStringLiteral("yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">%1<").arg(word));
        return box.match(words).captured(coordinate).toDouble();
    };
    const double figuresEnd = top("读数", 2);
    const double curveTop = top("压力（MPa）", 1);
    if (said.contains("压力（MPa）"))
        QVERIFY(curveTop > figuresEnd && curveTop - figuresEnd < 28);

    const QList<QImage> rendered = renderPdfFiles({path}, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(rendered.size(), pages);
    for (const QImage &image : rendered) {
        // 36 dots per inch: 10 mm is 14 dots; the outer 13 stay white.
        const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
        const QRect inside = grey.rect().adjusted(13, 13, -13, -13);
        for (int y = 0; y < grey.height(); ++y)
            for (int x = 0; x < grey.width(); ++x)
                QVERIFY2(inside.contains(x, y) || grey.pixel(x, y) == qRgb(255, 255, 255),
                         qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
    }
}

// A run with a program in it, printed to a PDF file and read back with pdftotext: the run and
// stop with their times, the program with its file and hash, its 60 s ramp as one line, the
// operator declared, and the audit head copied back character for character.
void TestHistoryWindow::reportSaysWhatRan()
{
    RunRecord record;
    const auto at = [](qint64 s) { return QDateTime::fromMSecsSinceEpoch(kBase + s * 1000); };
    const QString hash(64, u'f');
    record.addEvent(at(0), "frame-sent", "Q00L0100Y（键盘）");
    record.addEvent(at(5), "frame-sent", "Q00R0000Y（键盘）");
    record.addEvent(at(10), "prog-start",
                    "“升流”（/lab/升流.json，SHA-256 " + hash + "），泵 0，断线时暂停");
    // Its first step sets the flow, in the same millisecond as the ramp's step begins.
    record.addEvent(at(10), "frame-sent", "Q00L0100Y（程序“升流”）");
    record.addEvent(at(10), "prog-step", "第 2 步");
    for (int s = 1; s <= 60; ++s)
        record.addEvent(at(10 + s), "frame-sent",
                        QStringLiteral("Q00L%1Y（程序“升流”）")
                            .arg(100 + (400 * s + 30) / 60, 4, 10, QLatin1Char('0')));
    record.addEvent(at(70), "prog-step", "第 3 步");
    record.addEvent(at(80), "prog-end", "“升流”：结束程序");
    record.addEvent(at(90), "frame-sent", "Q00S0000Y（泵菜单）");
    for (int s = 0; s <= 100; s += 2)
        record.addReading(at(s), QStringLiteral("00.5"));
    const RunReport report = RunReport::compute(record, kBase, kBase + 100'000);

    const QString head = QStringLiteral("42:ffa0ffb1fff2ff") + QString(48, u'e');
    const QString path = m_dir.filePath(QStringLiteral("what-ran.pdf"));
    QPrinter pdf;
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    QCOMPARE(RunReportPrinter::print(
                 &pdf, {"Corvane(KMW7R35)V2.0", "2.0", "/dev/ttyUSB0", 0, head, "王芳"}, report,
                 QPicture()),
             1);
    QString error;
    // pdftotext gives a run of blanks as one.
    QStringList lines;
    for (const QString &line :
         QString::fromUtf8(runPoppler(QStringLiteral("pdftotext"), {path, "-"}, error))
             .split(u'\n'))
        lines << line.simplified();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const auto clock = [&at](qint64 s) { return at(s).toString("yyyy-MM-dd HH:mm:ss"); };
    for (const QString &expected :
         {"审计记录：" + head, clock(5) + " 运行（键盘）", clock(90) + " 停止（泵菜单）",
          "程序“升流”：开始 " + clock(10) + "，结束 " + clock(80) + "（结束程序）",
          QStringLiteral("文件：/lab/升流.json"), "SHA-256：" + hash,
          clock(11) + " 流量 100 → 500 ml/min，60 s（程序“升流”）"}) {
        QVERIFY2(lines.contains(expected), qPrintable(expected));
    }
    QVERIFY2(lines.filter(QStringLiteral("操作人员：王芳")).size() == 1,
             qPrintable(lines.join(u'\n')));
    // The ramp's sixty frames are its one line; the flows set before it are their own.
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^\\d{4}-.* 流量 "))).size(), 3);
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
