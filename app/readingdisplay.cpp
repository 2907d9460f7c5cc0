#include "app/readingdisplay.h"

#include "app/panelpalette.h"
#include "platform/plotarea.h"

#include <QLineEdit>

ReadingDisplay::ReadingDisplay(PumpSession *session, QLineEdit *box, PlotArea *plot,
                               QObject *parent)
    : QObject(parent), m_session(session), m_box(box), m_plot(plot)
{
    connect(session, &PumpSession::reading, this, &ReadingDisplay::showReading);
    connect(session, &PumpSession::replyHandled, this, &ReadingDisplay::drawTrendStep);
    connect(session, &PumpSession::readingCurrencyChanged, this, &ReadingDisplay::showCurrency);
    connect(session, &PumpSession::linkChanged, this,
            [this](PumpSession::Link link, PumpSession::Link before) {
                // Readings from before an outage and after it are not joined by a line.
                if (link == PumpSession::Link::Open && before == PumpSession::Link::Lost)
                    m_trend.breakLine();
            });
}

void ReadingDisplay::reset()
{
    m_plot->setScale(PressureTrend::kScaleTopLeft, PressureTrend::kScaleBottomRight);
    m_trend.setPrhistory(0, 0.0);
    showCurrency();
}

void ReadingDisplay::showReading(const QString &text)
{
    m_box->setText(text);
    // The trend's text for those who cannot see it: its scale and the latest reading.
    m_plot->setAccessibleDescription(tr("纵轴 %1 到 %2 MPa；最新读数 %3")
                                         .arg(PressureTrend::kScaleBottomRight.y())
                                         .arg(PressureTrend::kScaleTopLeft.y())
                                         .arg(text));
}

void ReadingDisplay::drawTrendStep()
{
    for (const QLineF &axis : PressureTrend::axisLines())
        m_plot->line(axis);
    const PressureTrend::Step step = m_trend.addSample(m_box->text());
    if (step.segment)
        m_plot->line(*step.segment, PanelPalette::kTrendRed);
    if (step.sweepEnded)
        m_plot->cls();
}

void ReadingDisplay::showCurrency()
{
    // Grey until a reading has come and whenever it is no longer current; said in words too,
    // for whoever cannot tell grey from cyan.
    const bool has = m_session->hasReading();
    const bool stale = m_session->readingIsStale();
    const QColor color = has && !stale ? PanelPalette::kCyan : PanelPalette::kStaleGrey;
    if (QPalette palette = m_box->palette(); palette.color(QPalette::Text) != color) {
        palette.setColor(QPalette::Text, color);
        m_box->setPalette(palette);
    }
    const QString cue = !has    ? tr("尚无读数")
                        : stale ? tr("读数已过时：最近没有收到泵的压力读数")
                                : QString();
    if (m_box->toolTip() == cue)
        return;
    m_box->setToolTip(cue);
    m_box->setAccessibleDescription(cue);
}
