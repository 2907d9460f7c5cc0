#pragma once

#include "history/runreport.h"

#include <QPicture>
#include <QString>

class QPagedPaintDevice;

// Lays the run report out on paper: who and what (the panel, its version, the device and the
// pump number), the run's times and settings, the pressure's figures, the alarms, and the curve
// with its axes. Everything stays inside the printable area, on at most two pages: the first
// holds the figures and the curve; a second only the lines that did not fit.
namespace RunReportPrinter {

struct Header
{
    QString caption; // the panel's caption
    QString version;
    QString device;
    int pumpNumber = 0;
};

inline constexpr int kMostPages = 2;

// The pages printed, 0 when the device could not be painted on.
int print(QPagedPaintDevice *device, const Header &header, const RunReport &report,
          const QPicture &curve);

} // namespace RunReportPrinter
