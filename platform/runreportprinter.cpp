#include "platform/runreportprinter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>

namespace RunReportPrinter {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RunReportPrinter", text);
}

QString clock(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString pressure(double value)
{
    return QStringLiteral("%1 MPa").arg(value, 0, 'f', 2);
}

QStringList figureLines(const Header &header, const RunReport &report)
{
    QStringList lines;
    lines << tr("设备：%1    泵编号：%2")
                 .arg(header.device.isEmpty() ? tr("（未打开）") : header.device)
                 .arg(header.pumpNumber);
    lines << tr("范围：%1 至 %2").arg(clock(report.fromMs), clock(report.toMs));
    lines << tr("定时运行：开始 %1，结束 %2；设定时间 %3")
                 .arg(report.startMs ? clock(*report.startMs) : tr("—"),
                      report.endMs ? clock(*report.endMs) : tr("—"),
                      report.setTime.isEmpty() ? tr("—") : report.setTime);
    if (report.numbers > 0)
        lines << tr("压力：最低 %1，最高 %2，平均 %3，最后 %4")
                     .arg(pressure(report.minimum), pressure(report.maximum), pressure(report.mean),
                          report.last);
    else
        lines << tr("压力：范围内没有数值读数");
    lines << tr("读数 %1 个（数值 %2 个），间断 %3 处")
                 .arg(report.readings)
                 .arg(report.numbers)
                 .arg(report.gaps);
    return lines;
}

QStringList listLines(const RunReport &report)
{
    QStringList lines;
    lines << tr("发送的设定：%1 条").arg(report.setpoints.size());
    for (const RunReport::Line &line : report.setpoints)
        lines << QStringLiteral("    %1  %2").arg(clock(line.ms), line.text);
    lines << tr("报警：%1 次").arg(report.alarms.size());
    for (const RunReport::Line &line : report.alarms)
        lines << QStringLiteral("    %1  %2").arg(clock(line.ms), line.text);
    return lines;
}

} // namespace

int print(QPagedPaintDevice *device, const Header &header, const RunReport &report,
          const QPicture &curve)
{
    QPainter painter;
    if (!painter.begin(device))
        return 0;
    // The painter's coordinates are the printable area's, in device pixels.
    const QRectF page(QPointF(0, 0), QSizeF(device->width(), device->height()));
    QFont font = painter.font();
    font.setPointSizeF(10);
    painter.setFont(font);
    const QFontMetricsF metrics(painter.font(), device);
    const double line = metrics.lineSpacing();

    double y = 0;
    QFont titleFont = font;
    titleFont.setPointSizeF(14);
    titleFont.setBold(true);
    painter.setFont(titleFont);
    const double titleLine = QFontMetricsF(titleFont, device).lineSpacing();
    painter.drawText(QRectF(0, y, page.width(), titleLine), Qt::AlignLeft | Qt::AlignVCenter,
                     tr("运行报告  %1  版本 %2").arg(header.caption, header.version));
    y += titleLine * 1.3;
    painter.setFont(font);
    for (const QString &text : figureLines(header, report)) {
        painter.drawText(QRectF(0, y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideRight, page.width()));
        y += line;
    }
    y += line / 2;

    // The curve takes the lower half of the first page, its picture scaled to fit.
    const double curveTop = std::max(y + line * 8, page.height() / 2);
    const QRectF curveArea(0, curveTop, page.width(), page.bottom() - curveTop);
    const QStringList lists = listLines(report);
    int pages = 1;
    qsizetype next = 0;
    for (; next < lists.size() && y + line <= curveTop - line / 2; ++next) {
        painter.drawText(QRectF(0, y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(lists[next], Qt::ElideRight, page.width()));
        y += line;
    }
    if (!curve.boundingRect().isEmpty()) {
        const QRectF source = curve.boundingRect();
        const double scale =
            std::min(curveArea.width() / source.width(), curveArea.height() / source.height());
        painter.save();
        painter.translate(curveArea.topLeft());
        painter.scale(scale, scale);
        painter.translate(-source.topLeft());
        painter.drawPicture(QPointF(0, 0), curve);
        painter.restore();
    }
    if (next < lists.size()) {
        if (!device->newPage())
            return pages;
        ++pages;
        y = 0;
        const qsizetype fitting = qsizetype((page.height() - line) / line);
        for (qsizetype shown = 0; next < lists.size() && shown < fitting; ++next, ++shown) {
            painter.drawText(QRectF(0, y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                             metrics.elidedText(lists[next], Qt::ElideRight, page.width()));
            y += line;
        }
        if (next < lists.size())
            painter.drawText(QRectF(0, y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                             tr("……另有 %1 行未印出").arg(lists.size() - next));
    }
    painter.end();
    return pages;
}

} // namespace RunReportPrinter
