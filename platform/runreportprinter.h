#pragma once

#include "history/runreport.h"

#include <QPicture>
#include <QRectF>
#include <QString>

class QPagedPaintDevice;

// Lays the run report out on paper: who and what (the panel, its version, the device and the
// pump number), the run's times, the settings in force when the range began, the pressure's
// figures, the curve with its axes right under them (or, for a range without a number, a line
// that says so), each change of the settings, each alarm with what it did and when it was
// acknowledged, the run and stop commands, each pump program that ran (its file and the file's
// SHA-256) with each ramp as one line, and lines for the operator, the sample and a signature.
// Every page is numbered
// ("第 1 页，共 2 页"). Everything stays inside the printable area and at least kLeastMarginMm
// from the paper's edge, whatever margins the device was given (a PDF file's are narrow), on at
// most kMostPages pages: what does not fit is counted on the last.
namespace RunReportPrinter {

struct Header
{
    QString caption; // the panel's caption
    QString version;
    QString device;
    int pumpNumber = 0;
    // The audit trail's head when printed, "seq:hash" as --verify-audit --head takes it; empty
    // without a trail. On paper it witnesses the trail up to there, set in a monospaced face
    // without ligatures, so that its text copied from a PDF is the head itself.
    QString auditHead;
    QString operatorName; // as declared; empty: nobody, a line to write on
    // Pump care: the volume pumped in the report's range and the counters at its end.
    QString care{};
};

inline constexpr int kMostPages = 2;
inline constexpr double kLeastMarginMm = 10;

// Where the report may draw, in the coordinates of a painter begun on the device.
QRectF printableArea(const QPagedPaintDevice *device);

// The pages printed, 0 when the device could not be painted on.
int print(QPagedPaintDevice *device, const Header &header, const RunReport &report,
          const QPicture &curve);

} // namespace RunReportPrinter
