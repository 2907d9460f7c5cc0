#pragma once

#include <QString>

// The printer operations the test-page print relies on. Each returns false on a failure;
// the caller then stops and says nothing.
class PrintingLayer
{
public:
    virtual ~PrintingLayer() = default;

    // The printer dialog; false when cancelled (cancel counts as a failure) or no printer.
    virtual bool showPrinter() = 0;
    // Copies chosen in the dialog, read after it has closed.
    virtual int copies() const = 0;
    // One line of text at the current print position, then a line end, in the default font.
    virtual bool printLine(const QString &text) = 0;
    // The copy is complete: its page comes out on its own.
    virtual bool endPage() = 0;
    // Ends the printed document; what was printed so far is kept.
    virtual void endDoc() = 0;
};
