#pragma once

#include "link/pressuretrend.h"
#include "session/pumpsession.h"

#include <QObject>

class PlotArea;
class QLineEdit;

// The current pressure as the window shows it: the reading in its box, grey and said in words
// while it is not current, and the trend drawn a step at each reply, broken where the line
// was lost.
class ReadingDisplay : public QObject
{
    Q_OBJECT

public:
    ReadingDisplay(PumpSession *session, QLineEdit *box, PlotArea *plot, QObject *parent);

    const PressureTrend &trend() const { return m_trend; }
    // The box and the trend as the window comes up: "00.0" is the box's designed text, not a
    // reading.
    void reset();

private:
    void showReading(const QString &text);
    void drawTrendStep();
    void showCurrency();

    PumpSession *m_session;
    QLineEdit *m_box;
    PlotArea *m_plot;
    PressureTrend m_trend;
};
