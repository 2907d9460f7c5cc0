#include "status/statusrows.h"

#include <algorithm>

QString StatusRows::name(Line line)
{
    static const char *const kNames[kLines] = {"alarmBanner", "stopState",    "runState",
                                               "linkState",   "programState", "auditState",
                                               "remoteState", "careState",    "mqttState",
                                               "logState"};
    return QString::fromLatin1(kNames[int(line)]);
}

void StatusRows::setAlarms(const QStringList &texts)
{
    m_alarms = texts;
    m_alarms.removeAll(QString());
}

void StatusRows::setText(Line line, const QString &text)
{
    m_standing[int(line)] = text;
}

void StatusRows::setPassing(Line line, const QString &text)
{
    m_passing[int(line)] = text;
}

QString StatusRows::text(Line line) const
{
    if (line == Line::Alarm)
        return m_alarms.value(0);
    const QString &passing = m_passing[int(line)];
    return passing.isEmpty() ? m_standing[int(line)] : passing;
}

QList<StatusRows::Row> StatusRows::rows() const
{
    QList<Row> rows;
    for (int i = 0; i < m_alarms.size(); ++i)
        rows.append({Line::Alarm, i, m_alarms.at(i)});
    for (int line = int(Line::Stop); line < kLines; ++line) {
        if (const QString said = text(Line(line)); !said.isEmpty())
            rows.append({Line(line), 0, said});
    }
    return rows;
}

StatusRows::Plan StatusRows::plan(int room) const
{
    const QList<Row> all = rows();
    Plan plan;
    if (all.size() <= room) {
        plan.shown = all;
        return plan;
    }
    // The row that says what folded takes a place of its own.
    const qsizetype kept = std::max(room - 1, 0);
    plan.shown = all.first(kept);
    int alarms = 0;
    int others = 0;
    QStringList texts;
    for (const Row &row : all.sliced(kept)) {
        ++(row.line == Line::Alarm ? alarms : others);
        texts << row.text;
    }
    QStringList counts;
    if (alarms > 0)
        counts << QStringLiteral("另有 %1 条报警").arg(alarms);
    if (others > 0)
        counts << QStringLiteral("另有 %1 条").arg(others);
    plan.more = counts.join(QStringLiteral("；"));
    plan.moreTip = texts.join(u'\n');
    return plan;
}
