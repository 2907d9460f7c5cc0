#pragma once

#include "alarms/alarmsettings.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Watches the pressure and the line for the operator, by the alarms they set. Only current-
// pressure replies are readings: a pressure alarm is raised by kReadingsToRaise numeric
// readings in a row beyond its limit (a reading that is no number neither counts nor breaks
// the row) and its condition ends kHysteresis back inside the limit. The low alarm is watched
// only while the last run or stop frame that went out was a run. The no-reading alarm counts
// from the last reply while the port is open, the link alarm from the moment the line was lost.
// A raised alarm is latched until acknowledged, even when its condition has ended; it is not
// raised again while its condition lasts. Time comes from an injected clock; the owner calls
// check() when msUntilCheck() says.
class AlarmMonitor : public QObject
{
    Q_OBJECT

public:
    enum class Kind { High, Low, Silence, Link };
    static constexpr int kReadingsToRaise = 3;

    struct Alarm
    {
        Kind kind;
        QDateTime raisedAt;
        QString value;      // the reading or the time that raised it
        bool stops = false; // its action stops the pump
    };

    // A condition that ended: what raised it, and what ended it.
    struct Clearing
    {
        Kind kind;
        QString raisedBy;
        QString clearedBy; // the reading's text, or in words what happened
        bool byReading;
    };

    struct Clock
    {
        std::function<qint64()> monotonicMs; // deadlines
        std::function<QDateTime()> wall;     // what the operator is told
    };

    explicit AlarmMonitor(Clock clock = {}, QObject *parent = nullptr);

    // New settings start every count afresh; a condition that lasts stays raised (not raised
    // again), a lost line counts from when it was lost, and latched alarms stay until
    // acknowledged.
    void setSettings(const AlarmSettings &settings);
    const AlarmSettings &settings() const { return m_settings; }

    void readingArrived(const QString &text, std::optional<double> value);
    // A run (true) or stop (false) frame went out to the pump.
    void pumpCommanded(bool running);
    void portOpened();
    void portClosed();
    void linkLost();

    // Raises the time alarms that are due.
    void check();
    // How long until check() has something to do; none while no time alarm is waiting.
    std::optional<qint64> msUntilCheck() const;

    void acknowledgeAll();
    const QList<Alarm> &latched() const { return m_latched; }
    bool conditionActive(Kind kind) const { return watch(kind).active; }

    // The alarm's name for the operator.
    static QString name(Kind kind);
    // Its name for machines: high, low, silence or link.
    static QString id(Kind kind);
    // The high and low alarms watch the pressure; the others, time.
    static bool isPressure(Kind kind) { return kind == Kind::High || kind == Kind::Low; }
    // A value that raised it, with the unit for pressure.
    static QString valueText(Kind kind, const QString &value);

Q_SIGNALS:
    void raised(const AlarmMonitor::Alarm &alarm);
    void cleared(const AlarmMonitor::Clearing &clearing);
    // The alarm's action: stop the pump. Once for each time it is raised.
    void stopWanted(const AlarmMonitor::Alarm &alarm);
    void acknowledged(const QList<AlarmMonitor::Alarm> &alarms);
    // setSettings() changed them; not said when they were already so.
    void settingsChanged(const AlarmSettings &before, const AlarmSettings &after);

private:
    struct Watch
    {
        bool active = false;              // the condition holds now
        int row = 0;                      // readings in a row beyond the limit
        std::optional<qint64> deadlineMs; // a time alarm is raised then
        QString raisedBy;                 // while active
    };

    Watch &watch(Kind kind) { return m_watches[int(kind)]; }
    const Watch &watch(Kind kind) const { return m_watches[int(kind)]; }
    void pressureReading(Kind kind, const AlarmSettings::Pressure &setting, double value,
                         const QString &text);
    void raise(Kind kind, const QString &value, bool stops);
    void clear(Kind kind, const QString &clearedBy, bool byReading = true);
    void restartSilence();
    qint64 now() const;

    Clock m_clock;
    AlarmSettings m_settings;
    Watch m_watches[4];
    bool m_pumpRunning = false;
    bool m_portOpen = false;
    std::optional<qint64> m_lostAtMs; // while the line is lost
    QList<Alarm> m_latched;
};
