#include "platform/qtprintinglayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QPrintDialog>

QtPrintingLayer::QtPrintingLayer(QWidget *dialogParent) : m_dialogParent(dialogParent) {}

void QtPrintingLayer::setPdfOutput(const QString &path)
{
    m_pdfOutput = path;
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setOutputFileName(path);
}

QString QtPrintingLayer::destination() const
{
    if (m_printer.outputFormat() == QPrinter::PdfFormat && !m_printer.outputFileName().isEmpty())
        return QCoreApplication::translate("QtPrintingLayer", "文件 %1")
            .arg(QDir::toNativeSeparators(m_printer.outputFileName()));
    return QCoreApplication::translate("QtPrintingLayer", "打印机 %1").arg(m_printer.printerName());
}

bool QtPrintingLayer::showPrinter()
{
    QPrintDialog dialog(&m_printer, m_dialogParent);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    m_copies = m_printer.copyCount();
    // Where printers exist the dialog selects the default one over the file: set it again.
    if (!m_pdfOutput.isEmpty())
        setPdfOutput(m_pdfOutput);
    // Each copy is printed as a page of its own; the printer must not repeat them.
    m_printer.setCopyCount(1);
    return true;
}

bool QtPrintingLayer::printLine(const QString &text)
{
    if (!m_painter.isActive()) {
        if (!m_painter.begin(&m_printer))
            return false;
    } else if (m_pageEnded) {
        if (!m_printer.newPage())
            return false;
        m_lineTop = 0;
    }
    m_pageEnded = false;

    const QRectF line(0, m_lineTop, m_printer.pageRect(QPrinter::DevicePixel).width(),
                      m_painter.fontMetrics().height());
    m_painter.drawText(line, Qt::AlignLeft | Qt::AlignTop, text);
    m_lineTop += m_painter.fontMetrics().lineSpacing();
    return true;
}

bool QtPrintingLayer::endPage()
{
    if (!m_painter.isActive())
        return false;
    m_pageEnded = true;
    return true;
}

void QtPrintingLayer::endDoc()
{
    if (m_painter.isActive())
        m_painter.end();
}
