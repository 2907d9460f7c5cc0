#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// What the status area shows, row by row: every line that has something to say, one row each
// (every raised alarm a row of its own), in order of importance. When the rows outnumber the
// room, the least important fold into one last row that counts them and keeps their texts for
// its tooltip; alarms are the last to fold, so they are the last to leave the screen. A line
// may show a passing text (what answered a click) over its standing one until that is taken
// back; the standing text is then shown again.
class StatusRows
{
public:
    // In order of importance.
    enum class Line { Alarm, Stop, Run, Link, Program, Audit, Remote, Care, Mqtt, Log };
    static constexpr int kLines = int(Line::Log) + 1;

    struct Row
    {
        Line line;
        int index = 0; // an alarm's place among the alarms; 0 for the other lines
        QString text;

        bool operator==(const Row &) const = default;
    };

    struct Plan
    {
        QList<Row> shown;
        QString more;    // what the folded row says; empty when nothing folds
        QString moreTip; // the folded rows' texts, one a line
    };

    // The objectName of the line's rows in the window.
    static QString name(Line line);

    void setAlarms(const QStringList &texts);
    // An empty text: the line has nothing to say.
    void setText(Line line, const QString &text);
    // Shown over the standing text until an empty passing text takes it back.
    void setPassing(Line line, const QString &text);

    // What the line says now (an alarm line: its first alarm).
    QString text(Line line) const;
    // What it says when no passing text is over it.
    QString standing(Line line) const { return m_standing[int(line)]; }
    QList<Row> rows() const;
    // room: how many rows fit. With more rows than that, room - 1 are shown and one says what
    // folded.
    Plan plan(int room) const;

private:
    QStringList m_alarms;
    std::array<QString, kLines> m_standing;
    std::array<QString, kLines> m_passing;
};
