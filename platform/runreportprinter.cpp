#include "platform/runreportprinter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetricsF>
#include <QPageLayout>
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

// Every pressure on the report in this one form.
QString pressure(double value)
{
    return QStringLiteral("%1 MPa").arg(value, 0, 'f', 2);
}

QString settingText(const RunReport::Setting &setting)
{
    // A ramp: "流量 100 → 500 ml/min，60 s".
    if (setting.ramp() && setting.kind != RunReport::Setting::Kind::Pump) {
        const bool flow = setting.kind == RunReport::Setting::Kind::Flow;
        const auto number = [flow](double value) {
            return flow ? QString::number(value) : QString::number(value, 'f', 2);
        };
        return tr("%1 %2 → %3 %4，%5 s")
            .arg(flow ? tr("流量") : tr("保护压力"), setting.from ? number(*setting.from) : tr("—"),
                 number(setting.value), flow ? QStringLiteral("ml/min") : QStringLiteral("MPa"))
            .arg(setting.seconds);
    }
    switch (setting.kind) {
    case RunReport::Setting::Kind::Flow:
        return tr("流量 %1 ml/min").arg(setting.value);
    case RunReport::Setting::Kind::Pressure:
        return tr("保护压力 %1").arg(pressure(setting.value));
    case RunReport::Setting::Kind::Pump:
        return tr("泵编号 %1").arg(setting.value);
    }
    return {};
}

QString alarmText(const RunReport::Alarm &alarm)
{
    const QString action = alarm.action == RunReport::Alarm::Action::StopSent ? tr("已发送停止命令")
                           : alarm.action == RunReport::Alarm::Action::StopOwed
                               ? tr("停止命令未能送到泵，线路恢复后发送")
                               : tr("仅报警，未停泵");
    return tr("%1 %2：%3；%4")
        .arg(alarm.name, alarm.pressure ? pressure(*alarm.pressure) : alarm.value, action,
             alarm.acknowledgedMs ? tr("确认于 %1").arg(clock(*alarm.acknowledgedMs))
                                  : tr("未确认"));
}

struct Item
{
    // Mono: in a monospaced face, for text that is copied back (a hash).
    enum class Kind { Title, Text, Mono, Curve, Signature } kind;
    QString text;
};

QList<Item> items(const Header &header, const RunReport &report, bool withCurve)
{
    QList<Item> items;
    const auto text = [&items](const QString &line) { items.append({Item::Kind::Text, line}); };
    items.append(
        {Item::Kind::Title, tr("运行报告  %1  版本 %2").arg(header.caption, header.version)});
    text(tr("设备：%1    泵编号：%2")
             .arg(header.device.isEmpty() ? tr("（未打开）") : header.device)
             .arg(header.pumpNumber));
    if (!header.auditHead.isEmpty())
        items.append({Item::Kind::Mono, tr("审计记录：%1").arg(header.auditHead)});
    if (!header.care.isEmpty())
        text(tr("泵的维护计数：%1").arg(header.care));
    text(tr("范围：%1 至 %2").arg(clock(report.fromMs), clock(report.toMs)));
    text(tr("定时运行：开始 %1，结束 %2；设定时间 %3")
             .arg(report.startMs ? clock(*report.startMs) : tr("—"),
                  report.endMs ? clock(*report.endMs) : tr("—"),
                  report.setTime.isEmpty() ? tr("—") : report.setTime));
    const auto inForce = [](const std::optional<RunReport::Setting> &setting, const char *none) {
        return setting ? settingText(*setting) : tr(none);
    };
    text(tr("范围开始时的设定：%1，%2，%3")
             .arg(inForce(report.flowAtStart, "流量 —"),
                  inForce(report.pressureAtStart, "保护压力 —"),
                  inForce(report.pumpAtStart, "泵编号 —")));
    if (report.numbers > 0) {
        const QString last = report.lastValue ? pressure(*report.lastValue)
                                              : tr("“%1”（不是数值）").arg(report.last);
        text(tr("压力：最低 %1，最高 %2，平均 %3，最后 %4")
                 .arg(pressure(report.minimum), pressure(report.maximum), pressure(report.mean),
                      last));
    }
    text(tr("读数 %1 个（数值 %2 个），间断 %3 处")
             .arg(report.readings)
             .arg(report.numbers)
             .arg(report.gaps));
    if (report.readings == 0)
        text(tr("范围内没有读数，因此没有曲线。"));
    else if (report.numbers == 0)
        text(tr("范围内的读数都不是数值，因此没有曲线。"));
    else if (withCurve)
        items.append({Item::Kind::Curve, {}});

    // What ran: the pump's run and stop commands and the programs, each with its file.
    text(tr("运行与停止：%1 次").arg(report.commands.size()));
    for (const RunReport::Command &command : report.commands)
        text(QStringLiteral("    %1  %2%3")
                 .arg(clock(command.ms), command.run ? tr("运行") : tr("停止"),
                      command.source.isEmpty() ? QString() : tr("（%1）").arg(command.source)));
    for (const RunReport::ProgramRun &program : report.programs) {
        text(tr("程序“%1”：开始 %2，结束 %3")
                 .arg(program.name, clock(program.startMs),
                      program.endMs ? tr("%1（%2）").arg(clock(*program.endMs), program.ended)
                                    : tr("—（未结束）")));
        if (!program.file.isEmpty())
            text(tr("    文件：%1").arg(program.file));
        if (!program.sha256.isEmpty())
            items.append({Item::Kind::Mono, tr("    SHA-256：%1").arg(program.sha256)});
    }
    text(tr("设定的变更：%1 条").arg(report.changes.size()));
    for (const RunReport::Setting &setting : report.changes)
        text(QStringLiteral("    %1  %2%3")
                 .arg(clock(setting.ms), settingText(setting),
                      setting.source.isEmpty() ? QString() : tr("（%1）").arg(setting.source)));
    text(tr("报警：%1 次").arg(report.alarms.size()));
    for (const RunReport::Alarm &alarm : report.alarms)
        text(QStringLiteral("    %1  %2").arg(clock(alarm.ms), alarmText(alarm)));
    return items;
}

struct Placed
{
    int page;
    double y;
    Item item;
};

} // namespace

QRectF printableArea(const QPagedPaintDevice *device)
{
    QPageLayout layout = device->pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    // A full-page painter reaches the paper's edge: the printer's own unprintable edge is
    // then the least margin.
    const QMarginsF given =
        layout.mode() == QPageLayout::FullPageMode ? layout.minimumMargins() : layout.margins();
    const QMarginsF margins(
        std::max(given.left(), kLeastMarginMm), std::max(given.top(), kLeastMarginMm),
        std::max(given.right(), kLeastMarginMm), std::max(given.bottom(), kLeastMarginMm));
    const int dpi = device->logicalDpiX();
    const double perMm = dpi / 25.4;
    const QRectF paper = layout.fullRectPixels(dpi);
    const QRectF inside = paper.adjusted(margins.left() * perMm, margins.top() * perMm,
                                         -margins.right() * perMm, -margins.bottom() * perMm);
    // The painter's origin is the top left of the paint rectangle.
    return inside.translated(-QPointF(layout.paintRectPixels(dpi).topLeft()));
}

int print(QPagedPaintDevice *device, const Header &header, const RunReport &report,
          const QPicture &curve)
{
    QPainter painter;
    if (!painter.begin(device))
        return 0;
    const QRectF area = printableArea(device);
    QFont font = painter.font();
    font.setPointSizeF(10);
    const QFontMetricsF metrics(font, device);
    const double line = metrics.lineSpacing();
    // Hex digits in a monospaced face, which has no "ff" or "fi" ligature that a PDF reader
    // would copy as one sign.
    QFont monoFont(QStringLiteral("DejaVu Sans Mono"));
    monoFont.setStyleHint(QFont::Monospace);
    monoFont.setFixedPitch(true);
    monoFont.setPointSizeF(9);
    const QFontMetricsF monoMetrics(monoFont, device);
    QFont titleFont = font;
    titleFont.setPointSizeF(14);
    titleFont.setBold(true);
    const double titleHeight = QFontMetricsF(titleFont, device).lineSpacing() * 1.3;
    // The curve right under the figures, as wide as the page, in the picture's proportions.
    const QRectF source = curve.boundingRect();
    const double curveHeight =
        source.isEmpty()
            ? 0
            : std::min(area.width() * source.height() / source.width(), area.height() * 0.45) +
                  line / 2;
    const double signatureHeight = line * 3.5;
    const double bodyHeight = area.height() - line * 1.5; // the page number under it
    const auto heightOf = [&](const Item &item) {
        return item.kind == Item::Kind::Title   ? titleHeight
               : item.kind == Item::Kind::Curve ? curveHeight
                                                : line;
    };

    // Laid out first, so that every page can say how many there are.
    const QList<Item> all = items(header, report, !source.isEmpty());
    QList<Placed> placed;
    int page = 0;
    double y = 0;
    qsizetype next = 0;
    while (next < all.size()) {
        const double height = heightOf(all[next]);
        // The last page keeps room for the signature lines and for the count of lines left out.
        const bool lastPage = page == kMostPages - 1;
        const double limit = lastPage ? bodyHeight - signatureHeight - line : bodyHeight;
        if (y + height > limit) {
            if (lastPage || y == 0)
                break;
            ++page;
            y = 0;
            continue;
        }
        placed.append({page, y, all[next++]});
        y += height;
    }
    if (next < all.size()) {
        placed.append(
            {page, y, {Item::Kind::Text, tr("……另有 %1 行未印出").arg(all.size() - next)}});
        y += line;
    }
    if (y + signatureHeight > bodyHeight) {
        ++page;
        y = 0;
    }
    placed.append({page, y, {Item::Kind::Signature, {}}});
    const int pages = page + 1;

    const auto drawLine = [&](double top, const QString &text, Qt::Alignment align) {
        painter.drawText(QRectF(area.left(), area.top() + top, area.width(), line),
                         align | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideRight, area.width()));
    };
    int drawn = 0;
    for (const Placed &at : placed) {
        for (; drawn < at.page; ++drawn) {
            painter.setFont(font);
            drawLine(bodyHeight + line / 2, tr("第 %1 页，共 %2 页").arg(drawn + 1).arg(pages),
                     Qt::AlignHCenter);
            if (!device->newPage()) {
                painter.end();
                return drawn + 1;
            }
        }
        painter.setFont(at.item.kind == Item::Kind::Title  ? titleFont
                        : at.item.kind == Item::Kind::Mono ? monoFont
                                                           : font);
        switch (at.item.kind) {
        case Item::Kind::Title:
            painter.drawText(QRectF(area.left(), area.top() + at.y, area.width(), titleHeight),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             QFontMetricsF(titleFont, device)
                                 .elidedText(at.item.text, Qt::ElideRight, area.width()));
            break;
        case Item::Kind::Text:
            drawLine(at.y, at.item.text, Qt::AlignLeft);
            break;
        case Item::Kind::Mono:
            // Whole or not at all: a hash cut short witnesses nothing.
            painter.drawText(QRectF(area.left(), area.top() + at.y, area.width(), line),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWrapAnywhere, at.item.text);
            break;
        case Item::Kind::Curve: {
            const double scale =
                std::min(area.width() / source.width(), (curveHeight - line / 2) / source.height());
            painter.save();
            painter.translate(area.left(), area.top() + at.y);
            painter.scale(scale, scale);
            painter.translate(-source.topLeft());
            painter.drawPicture(QPointF(0, 0), curve);
            painter.restore();
            break;
        }
        case Item::Kind::Signature:
            drawLine(at.y + line,
                     tr("操作人员：%1    样品：____________________")
                         .arg(header.operatorName.isEmpty() ? QStringLiteral("____________________")
                                                            : header.operatorName),
                     Qt::AlignLeft);
            drawLine(at.y + line * 2.5,
                     tr("签名：____________________    日期：____________________"), Qt::AlignLeft);
            break;
        }
    }
    painter.setFont(font);
    drawLine(bodyHeight + line / 2, tr("第 %1 页，共 %2 页").arg(pages).arg(pages),
             Qt::AlignHCenter);
    painter.end();
    return pages;
}

} // namespace RunReportPrinter
