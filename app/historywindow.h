#pragma once

#include "platform/historydrawing.h"
#include "platform/historyview.h"
#include "platform/runreportprinter.h"

#include <QList>
#include <QPicture>
#include <QWidget>

#include <functional>

class ModalBoxes;
class QPrinter;
class QToolButton;
class RunRecord;

// The whole run as a picture, beside the panel: every reading kept with its time, zoomed and
// panned by hand or following the newest, exported as PNG, SVG or CSV, and printed as a run
// report. The drawing is done on a thread of its own; the window only shows what comes back.
// It opens over the panel inside the screen's free area, and its boxes belong to it.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    HistoryWindow(const RunRecord *record, ModalBoxes *boxes, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    HistoryView *view() const { return m_view; }
    // What the report says of the panel, asked at the moment of printing.
    void setHeaderSource(std::function<RunReportPrinter::Header()> source)
    {
        m_header = std::move(source);
    }
    // The folder the export box starts in, asked at the moment of export.
    void setExportFolder(std::function<QString()> folder) { m_exportFolder = std::move(folder); }
    // For tests: the printer the report goes to, so that its output can be a PDF file.
    QPrinter *reportPrinter() const { return m_printer.get(); }

    enum class Export { Png, Svg, Csv };
    // The visible range or everything, to a file chosen in a box. False when not written; a
    // box says why.
    bool exportTo(Export kind, bool everything);
    // Prints the report of the last timed run (or everything), or of the visible range.
    void printReport(bool visibleRange);

Q_SIGNALS:
    void exported(const QString &path);
    void reportPrinted(int pages);

protected:
    void showEvent(QShowEvent *event) override;

private:
    HistoryRenderer::Request rangeRequest(bool everything, QSize size) const;
    void scheduleRefresh();

    const RunRecord *m_record;
    ModalBoxes *m_boxes;
    HistoryDrawing *m_drawing;
    HistoryView *m_view;
    QList<HistoryView::Mark> m_marks;
    QTimer *m_refresh;
    std::function<RunReportPrinter::Header()> m_header;
    std::function<QString()> m_exportFolder;
    bool m_placed = false;
    std::unique_ptr<QPrinter> m_printer;
};
