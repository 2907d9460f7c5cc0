#include "records/testpage.h"

int TestPage::print(PrintingLayer &printer)
{
    if (!printer.showPrinter())
        return 0;

    const QString line = QString::fromUtf8(kLine);
    const int copies = printer.copies();
    int printed = 0;
    while (printed < copies && printer.printLine(line) && printer.endPage())
        ++printed;
    // Ending the document hands over what was printed, so a failed copy withdraws nothing.
    printer.endDoc();
    return printed;
}
