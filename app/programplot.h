#pragma once

#include "program/programplan.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <optional>

// A program's planned flow and protection limit over its own time, with the pressure read while
// it runs and a mark at the second it has reached. Flow goes on the left axis in ml/min, the
// limit and the readings share the right one in MPa, so that a reading can be seen against the
// limit it must stay under. The time axis counts seconds from the program's start, in minutes
// once the program is longer than a few of them.
class ProgramPlot : public QWidget
{
    Q_OBJECT

public:
    // Where a value goes inside the plot's area. Every top is a round number at or above the
    // highest value it must show, so nothing planned runs off the top.
    struct Scale
    {
        QRectF area;
        double seconds = 0;   // the time axis' span
        double timeStep = 0;  // between ticks, in seconds
        bool minutes = false; // the ticks read in minutes
        double flowTop = 0;   // ml/min
        double flowStep = 0;
        double mpaTop = 0;
        double mpaStep = 0;

        double x(double second) const;
        double flowY(double mlPerMin) const;
        double mpaY(double mpa) const;
    };

    static Scale scale(const QRectF &area, qint64 seconds, double highestFlow, double highestMpa);
    // Where the lines go inside the widget's rectangle.
    static QRectF plotArea(const QRectF &bounds);

    explicit ProgramPlot(QWidget *parent = nullptr);

    void setPlan(const QList<ProgramPlan::Point> &points, qint64 totalSeconds);
    void addReading(qint64 second, double mpa);
    void clearReadings();
    // No mark when nothing runs.
    void setMarker(std::optional<qint64> second);
    // The plan did not run from `from` up to `to` (the steps left early for the end block): its
    // lines stop there and go on at `to`. None: the plan runs whole.
    void setSkipped(std::optional<qint64> from, qint64 to);

    // Readings further apart than this on the program's time were not taken in between (a wait
    // that ended early, the end block begun early, a stretch without replies): no line joins them.
    static constexpr qint64 kJoinedSeconds = 5;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Reading
    {
        qint64 second;
        double mpa;
    };

    QList<ProgramPlan::Point> m_points;
    qint64 m_totalSeconds = 0;
    int m_highestFlow = 0;
    int m_highestLimitTenths = 0;
    QList<Reading> m_readings;
    double m_highestReading = 0;
    std::optional<qint64> m_marker;
    std::optional<qint64> m_skippedFrom;
    qint64 m_skippedTo = 0;
};
