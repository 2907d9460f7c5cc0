#include "app/historywindow.h"

#include "app/besidepanel.h"
#include "history/historycsv.h"
#include "history/runreport.h"
#include "platform/historypainter.h"
#include "platform/modalboxes.h"
#include "records/exportwriter.h"
#include "records/recordfile.h"
#include "records/runrecord.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSvgGenerator>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Readings come a few times a second at most; the picture follows them this often.
constexpr int kRefreshMs = 250;

} // namespace

HistoryWindow::HistoryWindow(const RunRecord *record, ModalBoxes *boxes, QWidget *parent,
                             ExportWriter *writer)
    : QWidget(parent, Qt::Window), m_record(record), m_boxes(boxes),
      m_drawing(new HistoryDrawing(this)), m_view(new HistoryView(this)),
      m_refresh(new QTimer(this)), m_writer(writer ? writer : new ExportWriter(this)),
      m_exportButton(new QToolButton(this)), m_reportButton(new QToolButton(this)),
      m_exportState(new QLabel(this)), m_careLine(new QLabel(this)), m_printer(std::make_unique<QPrinter>())
{
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(tr("历史曲线"));
    resize(900, 520);

    // What the run holds so far, in the order it came (a lost line breaks the curve where it
    // was), then everything as it comes.
    const QList<RunRecord::Event> &events = record->events();
    qsizetype e = 0;
    const auto pushEvent = [this](const RunRecord::Event &event) {
        m_drawing->event(event.time.toMSecsSinceEpoch(), event.key, event.text);
        m_marks.append({event.time.toMSecsSinceEpoch(), event.key, event.text});
    };
    // The settings in force before the events kept, which are older than every reading kept.
    for (const RunRecord::Event &event : record->inForceBefore())
        pushEvent(event);
    for (qint32 i = 0; i < record->readingCount(); ++i) {
        for (; e < events.size() && events[e].time.toMSecsSinceEpoch() <= record->readingMs(i); ++e)
            pushEvent(events[e]);
        m_drawing->reading(record->readingMs(i), record->readingValue(i));
    }
    for (; e < events.size(); ++e)
        pushEvent(events[e]);
    connect(record, &RunRecord::readingAdded, this, [this](const RunRecord::Reading &reading) {
        m_drawing->reading(reading.time.toMSecsSinceEpoch(), reading.value.value_or(std::nan("")));
        scheduleRefresh();
    });
    connect(record, &RunRecord::eventAdded, this, [this](const RunRecord::Event &event) {
        m_drawing->event(event.time.toMSecsSinceEpoch(), event.key, event.text);
        m_marks.append({event.time.toMSecsSinceEpoch(), event.key, event.text});
        scheduleRefresh();
    });

    connect(m_view, &HistoryView::renderWanted, m_drawing, &HistoryDrawing::request);
    connect(m_drawing, &HistoryDrawing::rendered, m_view,
            [this](const QImage &image, const HistoryRenderer::Request &request) {
                m_view->showPicture(image, request);
            });

    m_view->setTitle(tr("压力历史（MPa）"));
    m_view->setMarks(&m_marks);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, m_view, &HistoryView::refresh);

    auto *reset = new QPushButton(tr("全部"), this);
    reset->setObjectName(QStringLiteral("historyReset"));
    connect(reset, &QPushButton::clicked, m_view, &HistoryView::showWhole);
    auto *follow = new QCheckBox(tr("跟随最新读数"), this);
    follow->setObjectName(QStringLiteral("historyFollow"));
    follow->setChecked(m_view->follows());
    connect(follow, &QCheckBox::toggled, m_view, &HistoryView::setFollow);
    connect(m_view, &HistoryView::followChanged, follow, &QCheckBox::setChecked);

    QToolButton *exportButton = m_exportButton;
    exportButton->setObjectName(QStringLiteral("historyExport"));
    exportButton->setText(tr("导出"));
    exportButton->setPopupMode(QToolButton::InstantPopup);
    auto *exportMenu = new QMenu(exportButton);
    const struct
    {
        const char *name;
        const char *text;
        Export kind;
        bool everything;
    } exports[] = {{"exportVisiblePng", "可见范围为 PNG…", Export::Png, false},
                   {"exportVisibleSvg", "可见范围为 SVG…", Export::Svg, false},
                   {"exportVisibleCsv", "可见范围为 CSV…", Export::Csv, false},
                   {"exportAllPng", "全部为 PNG…", Export::Png, true},
                   {"exportAllSvg", "全部为 SVG…", Export::Svg, true},
                   {"exportAllCsv", "全部为 CSV…", Export::Csv, true}};
    for (const auto &entry : exports) {
        QAction *action = exportMenu->addAction(tr(entry.text));
        action->setObjectName(QLatin1String(entry.name));
        connect(action, &QAction::triggered, this,
                [this, kind = entry.kind, everything = entry.everything] {
                    exportTo(kind, everything);
                });
    }
    exportButton->setMenu(exportMenu);

    QToolButton *reportButton = m_reportButton;
    reportButton->setObjectName(QStringLiteral("historyReport"));
    reportButton->setText(tr("运行报告"));
    reportButton->setPopupMode(QToolButton::InstantPopup);
    auto *reportMenu = new QMenu(reportButton);
    QAction *lastRun = reportMenu->addAction(tr("上次定时运行（或全部）…"));
    lastRun->setObjectName(QStringLiteral("reportLastRun"));
    connect(lastRun, &QAction::triggered, this, [this] { printReport(false); });
    QAction *visible = reportMenu->addAction(tr("可见范围…"));
    visible->setObjectName(QStringLiteral("reportVisible"));
    connect(visible, &QAction::triggered, this, [this] { printReport(true); });
    reportButton->setMenu(reportMenu);

    auto *tools = new QHBoxLayout;
    tools->addWidget(reset);
    tools->addWidget(follow);
    tools->addStretch();
    m_exportState->setObjectName(QStringLiteral("historyExportState"));
    m_exportState->hide();
    tools->addWidget(m_exportState);
    tools->addWidget(exportButton);
    tools->addWidget(reportButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(m_view, 1);
    m_careLine->setObjectName(QStringLiteral("historyCare"));
    m_careLine->setWordWrap(true);
    m_careLine->hide();
    layout->addWidget(m_careLine);
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::showEvent(QShowEvent *event)
{
    // Placed once, before it is first mapped; after that where the operator put it.
    if (!m_placed) {
        m_placed = true;
        BesidePanel::place(this);
    }
    QWidget::showEvent(event);
    m_view->refresh();
}

void HistoryWindow::scheduleRefresh()
{
    // Only a picture that shows the newest readings changes with them.
    if (isVisible() && (m_view->follows() || m_view->current().whole) && !m_refresh->isActive())
        m_refresh->start();
}

HistoryRenderer::Request HistoryWindow::rangeRequest(bool everything, QSize size) const
{
    HistoryRenderer::Request request = m_view->current();
    request.fromMs = m_view->fromMs();
    request.toMs = m_view->toMs();
    request.whole = everything;
    request.follow = false;
    request.size = size;
    request.devicePixelRatio = 1;
    request.id = 0;
    return request;
}

bool HistoryWindow::exportTo(Export kind, bool everything)
{
    if (exporting())
        return false;
    const char *suffix = kind == Export::Png ? "png" : kind == Export::Svg ? "svg" : "csv";
    const QString filter = kind == Export::Png   ? tr("PNG 图像 (*.png)")
                           : kind == Export::Svg ? tr("SVG 图像 (*.svg)")
                                                 : tr("CSV 文件 (*.csv)");
    const QString name = QStringLiteral("history.%1").arg(QLatin1String(suffix));
    const QString folder = m_exportFolder ? m_exportFolder() : QString();
    const QString path = m_boxes->saveFileBox(
        tr("导出历史曲线"), folder.isEmpty() ? name : QDir(folder).filePath(name), filter, this);
    if (path.isEmpty())
        return false;

    // What the export thread writes from, taken now: the readings copied (24 MB at a million),
    // the events and the drawing shared.
    Produce produce;
    if (kind == Export::Csv) {
        const qint64 from = everything ? std::numeric_limits<qint64>::min() : m_view->fromMs();
        const qint64 to = everything ? std::numeric_limits<qint64>::max() : m_view->toMs();
        produce = [snapshot = m_record->snapshot(), from, to](QIODevice *device,
                                                              const std::atomic_bool &cancelled) {
            return HistoryCsv::write(device, snapshot, from, to, &cancelled);
        };
    } else {
        const HistoryRenderer::Request request = rangeRequest(everything, m_view->size());
        const QPicture drawn = m_drawing->picture(request);
        const QSize curveSize = m_view->size();
        const QSize size = HistoryPainter::exportSize(curveSize);
        const qreal ratio = m_view->devicePixelRatioF();
        const QStringList heading = exportHeading(request);
        if (kind == Export::Png) {
            produce = [drawn, curveSize, size, ratio, heading](QIODevice *device,
                                                               const std::atomic_bool &) {
                QImage image(size * ratio, QImage::Format_RGB32);
                image.setDevicePixelRatio(ratio);
                QPainter painter(&image);
                HistoryPainter::paintExport(painter, drawn, curveSize, heading);
                painter.end();
                // Made whole in memory: the image writer does not say when a write failed.
                QBuffer png;
                png.open(QIODevice::WriteOnly);
                return image.save(&png, "PNG") && device->write(png.data()) == png.size();
            };
        } else {
            produce = [drawn, curveSize, size, heading](QIODevice *device,
                                                        const std::atomic_bool &) {
                QBuffer text;
                text.open(QIODevice::WriteOnly);
                QSvgGenerator svg;
                svg.setOutputDevice(&text);
                svg.setSize(size);
                // At the picture's own resolution: at any other, every group is scaled by their
                // ratio and the drawing no longer fills the view box.
                svg.setResolution(drawn.logicalDpiX());
                svg.setViewBox(QRect(QPoint(0, 0), size));
                svg.setTitle(heading.value(0));
                svg.setDescription(heading.value(1));
                QPainter painter;
                if (!painter.begin(&svg))
                    return false;
                HistoryPainter::paintExport(painter, drawn, curveSize, heading);
                return painter.end() && device->write(text.data()) == text.size();
            };
        }
    }
    writeFile(path, std::move(produce), [this, path](const QString &failure) {
        if (!failure.isEmpty()) {
            m_boxes->messageBox(tr("导出失败：%1").arg(failure), tr("历史曲线"));
            Q_EMIT exportFailed(failure);
            return;
        }
        Q_EMIT exported(path);
    });
    return true;
}

void HistoryWindow::writeFile(const QString &path, Produce produce,
                              std::function<void(const QString &failure)> done)
{
    setExporting(+1, path);
    m_writer->submit(
        [path, produce = std::move(produce)](const std::atomic_bool &cancelled) {
            // The panel is closing: an export not yet written is not begun.
            if (cancelled)
                return QStringLiteral("已取消");
            RecordFile file(path, QStringLiteral("导出文件"));
            return file.save([&](QIODevice *device) { return produce(device, cancelled); })
                       ? QString()
                       : file.errorText();
        },
        this,
        [this, done = std::move(done)](const QString &failure) {
            setExporting(-1);
            done(failure);
        });
}

void HistoryWindow::setExporting(int change, const QString &path)
{
    m_exporting += change;
    if (!path.isEmpty())
        m_exportState->setText(tr("正在导出 %1…").arg(QFileInfo(path).fileName()));
    m_exportState->setVisible(exporting());
    m_exportButton->setEnabled(!exporting());
    m_reportButton->setEnabled(!exporting());
}

void HistoryWindow::setCareLine(const QString &text)
{
    m_careLine->setText(text.isEmpty() ? QString() : tr("泵的维护计数：%1").arg(text));
    m_careLine->setVisible(!text.isEmpty());
}

void HistoryWindow::printReport(bool visibleRange)
{
    if (exporting())
        return;
    std::pair<qint64, qint64> range{m_view->fromMs(), m_view->toMs()};
    if (!visibleRange) {
        const auto last = RunReport::defaultRange(*m_record);
        if (!last) {
            m_boxes->messageBox(tr("还没有读数或事件，没有可报告的内容。"), tr("运行报告"));
            return;
        }
        range = *last;
    }
    const RunReport report = RunReport::compute(*m_record, range.first, range.second);
    HistoryRenderer::Request request;
    request.fromMs = range.first;
    request.toMs = std::max(range.second, range.first + 1000);
    request.size = QSize(960, 480);
    request.title = tr("压力（MPa）");
    const QPicture curve = m_drawing->picture(request);

    QPrintDialog dialog(m_printer.get(), this);
    // The print dialog of 打印, under the same name.
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    RunReportPrinter::Header header = m_header ? m_header() : RunReportPrinter::Header{};
    if (m_care)
        header.care = m_care(range.first, range.second);
    if (m_printer->outputFormat() == QPrinter::PdfFormat &&
        !m_printer->outputFileName().isEmpty()) {
        // To a file: written as an export is, on its thread and in place of the old file only
        // once complete. The printer's page and resolution are copied for it.
        auto pages = std::make_shared<int>(0);
        writeFile(
            m_printer->outputFileName(),
            [pages, header, report, curve, layout = m_printer->pageLayout(),
             resolution = m_printer->resolution(),
             creator = m_printer->creator()](QIODevice *device, const std::atomic_bool &) {
                QBuffer document;
                document.open(QIODevice::WriteOnly);
                {
                    QPdfWriter pdf(&document);
                    pdf.setPageLayout(layout);
                    pdf.setResolution(resolution);
                    pdf.setCreator(creator);
                    *pages = RunReportPrinter::print(&pdf, header, report, curve);
                }
                return *pages > 0 && device->write(document.data()) == document.size();
            },
            [this, pages, report,
             where = tr("文件 %1").arg(QDir::toNativeSeparators(m_printer->outputFileName()))](
                const QString &failure) {
                if (!failure.isEmpty())
                    m_boxes->messageBox(tr("运行报告未能打印：%1").arg(failure), tr("运行报告"));
                const int printed = failure.isEmpty() ? *pages : 0;
                Q_EMIT reportPrinted(printed, printedText(report, printed, where));
            });
        return;
    }
    const int pages = RunReportPrinter::print(m_printer.get(), header, report, curve);
    if (pages == 0)
        m_boxes->messageBox(tr("运行报告未能打印。"), tr("运行报告"));
    Q_EMIT reportPrinted(pages,
                         printedText(report, pages, tr("打印机 %1").arg(m_printer->printerName())));
}

QStringList HistoryWindow::exportHeading(const HistoryRenderer::Request &request) const
{
    qint64 from = request.fromMs;
    qint64 to = request.toMs;
    if (request.whole && m_record->readingCount() > 0) {
        from = m_record->readingMs(0);
        to = m_record->readingMs(m_record->readingCount() - 1);
    }
    const auto clock = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    const RunReportPrinter::Header header = m_header ? m_header() : RunReportPrinter::Header{};
    return {tr("压力历史  %1 至 %2").arg(clock(from), clock(to)),
            tr("设备：%1    泵编号：%2    %3 版本 %4")
                .arg(header.device.isEmpty() ? tr("（未打开）") : header.device)
                .arg(header.pumpNumber)
                .arg(header.caption, header.version)};
}

QString HistoryWindow::printedText(const RunReport &report, int pages, const QString &where)
{
    const auto clock = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    return tr("运行报告 %1 页（%2 至 %3），%4")
        .arg(QString::number(pages), clock(report.fromMs), clock(report.toMs), where);
}
