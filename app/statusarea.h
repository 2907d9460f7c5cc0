#pragma once

#include "status/statusrows.h"

#include <QFrame>
#include <QHash>

#include <array>
#include <chrono>

class QPushButton;
class QTimer;
class StatusRow;

// The panel's non-modal notices, drawn over the brand panel of the background picture, which
// holds no control: one row a line that has something to say, in order of importance (the
// rules are StatusRows'), each text whole or elided with the whole in its tooltip, no row
// over another. With nothing to say the area is not there at all; while its rows fit, it
// covers the lower part of the brand panel whole, so no caption shows half; with more it
// covers the whole panel, and what still does not fit folds into its last row (statusMore).
// A safety row (an alarm, an owed stop, an interrupted run) takes as many lines as its whole
// text needs while there is room, and is elided only when there is none. An alarm whose
// condition has ended and that waits for its acknowledgement is drawn in grey, not red.
class StatusArea : public QFrame
{
    Q_OBJECT

public:
    using Line = StatusRows::Line;

    // How long a passing text (what answered a click) is shown.
    static constexpr auto kPassingShown = std::chrono::seconds(10);

    // lower: where the area sits while its rows fit there; whole: the most it may cover. Both
    // in the parent's coordinates.
    StatusArea(const QRect &lower, const QRect &whole, QWidget *parent = nullptr);

    // One row each, raised first; cleared: for each, its condition has ended.
    void setAlarms(const QStringList &texts, const QList<bool> &cleared = {});
    // An empty text: the line has nothing to say.
    void setLine(Line line, const QString &text);
    QString standingText(Line line) const { return m_rows.standing(line); }
    // Shown for kPassingShown over the line's standing text.
    void pass(Line line, const QString &text);
    // A button at the end of the line's first row, shown whenever the line says something
    // (on the folded row when the line's rows fold).
    QPushButton *addButton(Line line, const QString &objectName, const QString &text);

private:
    StatusRow *rowFor(const StatusRows::Row &row);
    int rowHeight() const;
    int roomIn(const QRect &place) const;
    QList<QPushButton *> buttonsOf(const StatusRows::Row &row) const;
    // The lines row's whole text takes beside its buttons: one, unless it is a safety row.
    int linesWanted(const StatusRows::Row &row, int width);
    void lay();

    QRect m_lower;
    QRect m_whole;
    StatusRows m_rows;
    QList<StatusRow *> m_alarmRows;
    QList<bool> m_alarmCleared;
    std::array<StatusRow *, StatusRows::kLines> m_lineRows{};
    StatusRow *m_more;
    QHash<Line, QPushButton *> m_buttons;
    QHash<Line, QTimer *> m_passing;
};
