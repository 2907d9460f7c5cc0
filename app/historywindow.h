#pragma once

#include "platform/historydrawing.h"
#include "platform/historyview.h"
#include "platform/runreportprinter.h"

#include <QList>
#include <QPicture>
#include <QWidget>

#include <atomic>
#include <functional>

class ExportWriter;
class ModalBoxes;
class QIODevice;
class QLabel;
class QPrinter;
class QToolButton;
class RunRecord;

// The whole run as a picture, beside the panel: every reading kept with its time, zoomed and
// panned by hand or following the newest, exported as PNG, SVG or CSV, and printed as a run
// report. The drawing is done on a thread of its own, and the files are written on another (the
// panel's ExportWriter, or one of its own) from a copy taken when asked: the window only shows
// what comes back, and that an export is under way. It opens over the panel inside the screen's
// free area, and its boxes belong to it.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    HistoryWindow(const RunRecord *record, ModalBoxes *boxes, QWidget *parent = nullptr,
                  ExportWriter *writer = nullptr);
    ~HistoryWindow() override;

    HistoryView *view() const { return m_view; }
    // What the report says of the panel, asked at the moment of printing.
    void setHeaderSource(std::function<RunReportPrinter::Header()> source)
    {
        m_header = std::move(source);
    }
    // Pump care's line for the report of a range (ms since the epoch), asked when it is printed.
    void setCareSource(std::function<QString(qint64 fromMs, qint64 toMs)> source)
    {
        m_care = std::move(source);
    }
    // Pump care's counters, one line under the curve.
    void setCareLine(const QString &text);
    // The folder the export box starts in, asked at the moment of export.
    void setExportFolder(std::function<QString()> folder) { m_exportFolder = std::move(folder); }
    // For tests: the printer the report goes to, so that its output can be a PDF file.
    QPrinter *reportPrinter() const { return m_printer.get(); }

    enum class Export { Png, Svg, Csv };
    // The visible range or everything, to a file chosen in a box. False when no export was
    // begun (the box cancelled); once written, exported() comes, or a box says why not.
    bool exportTo(Export kind, bool everything);
    // Prints the report of the last timed run (or everything), or of the visible range. A
    // report printed to a PDF file is written as an export is.
    void printReport(bool visibleRange);
    // An export or a report to a file under way; the export and report items wait meanwhile.
    bool exporting() const { return m_exporting > 0; }

Q_SIGNALS:
    void exported(const QString &path);
    void exportFailed(const QString &reason);
    // pages 0: nothing came out (a box has said why). what: the report, its range and where it
    // went, for the run's events.
    void reportPrinted(int pages, const QString &what);

protected:
    void showEvent(QShowEvent *event) override;

private:
    static QString printedText(const RunReport &report, int pages, const QString &where);
    // What an exported picture says above its curve: the range, the device and the panel.
    QStringList exportHeading(const HistoryRenderer::Request &request) const;
    HistoryRenderer::Request rangeRequest(bool everything, QSize size) const;
    void scheduleRefresh();
    // Writes a file's bytes on the export thread, giving up when told the panel is closing.
    using Produce = std::function<bool(QIODevice *device, const std::atomic_bool &cancelled)>;
    // Writes path on the export thread from produce; done has the answer.
    void writeFile(const QString &path, Produce produce,
                   std::function<void(const QString &failure)> done);
    void setExporting(int change, const QString &path = QString());

    const RunRecord *m_record;
    ModalBoxes *m_boxes;
    HistoryDrawing *m_drawing;
    HistoryView *m_view;
    QList<HistoryView::Mark> m_marks;
    QTimer *m_refresh;
    ExportWriter *m_writer;
    QToolButton *m_exportButton;
    QToolButton *m_reportButton;
    QLabel *m_exportState;
    int m_exporting = 0;
    std::function<RunReportPrinter::Header()> m_header;
    std::function<QString(qint64, qint64)> m_care;
    QLabel *m_careLine;
    std::function<QString()> m_exportFolder;
    bool m_placed = false;
    std::unique_ptr<QPrinter> m_printer;
};
