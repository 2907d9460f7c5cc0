#pragma once

#include "records/printinglayer.h"

#include <QPainter>
#include <QPrinter>

class QWidget;

// The printer operations over QPrinter and the platform's print dialog ("CommonDialog1").
// The printer starts as the default printer with its default font and margins. Copies are
// read from the dialog and then printed one page each, so the printer itself is told to make
// one copy. Each line goes below the previous one from the top left of the printable area; a
// copy's page is closed when the next line or the end of the document comes, so n copies make
// n pages and no blank one after them. Meant for one print: make a new one for the next.
class QtPrintingLayer final : public PrintingLayer
{
public:
    explicit QtPrintingLayer(QWidget *dialogParent);

    // Prints to a PDF file instead, whichever printer is chosen; the dialog still shows, offers
    // the file and gives the copies.
    void setPdfOutput(const QString &path);

    // Where the pages went, once the dialog is answered: the printer's name or the file.
    QString destination() const;

    bool showPrinter() override;
    int copies() const override { return m_copies; }
    bool printLine(const QString &text) override;
    bool endPage() override;
    void endDoc() override;

private:
    QWidget *m_dialogParent;
    QPrinter m_printer;
    QPainter m_painter;
    QString m_pdfOutput;
    int m_copies = 0;
    qreal m_lineTop = 0;
    bool m_pageEnded = false;
};
