#pragma once

#include "care/bootclock.h"
#include "care/carebook.h"
#include "care/carefile.h"
#include "care/caretally.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <functional>

class PumpSession;
class QTimer;

// Pump care fed from the pump session: every run and stop frame that went out, every flow sent
// or replied, every reading and its going stale, counted by the adapter in use on the boot-time
// clock, kept in the adapter's counter file at least every kWriteEvery while it changes and at
// every stop, so that a panel killed loses at most that much. A file that cannot be written
// keeps the counting in memory, said in the care row, and is written again at the next turn.
// The care row also says a part nearly or over due, and a counter file refused; crossing 90 %
// and 100 % of a limit is an event line (care-due), a service one (care-reset).
class PumpCare : public QObject
{
    Q_OBJECT

public:
    static constexpr auto kWriteEvery = std::chrono::seconds(10);

    // adapter: the adapter the line is open on now (its identity, or a path for one without).
    PumpCare(PumpSession *session, std::function<QString()> adapter, QObject *parent = nullptr);
    ~PumpCare() override;

    // Where the counter files are kept: the panel's data folder unless tests say otherwise.
    static QString defaultFolder();
    void setFolder(const QString &folder) { m_folder = folder; }
    void setBootClock(BootClock clock) { m_boot = std::move(clock); }
    void setWriteFunction(CareFile::WriteFunction write) { m_write = std::move(write); }
    void setWriteInterval(std::chrono::milliseconds interval);
    // The wall clock of the run's record, which the report's range is in.
    void setWallClock(std::function<QDateTime()> clock) { m_wall = std::move(clock); }

    bool hasAdapter() const { return !m_book.adapter.isEmpty(); }
    // The counter file in use; empty before an adapter or when none could be used.
    QString filePath() const { return m_path; }
    // Brought up to now.
    CareBook book();
    // The care row of the status area; empty when there is nothing to say.
    QString stateText() const { return m_stateText; }
    // The published state's "care": each counter under its key with its unit, the limits set
    // and the parts due.
    QJsonObject stateObject();
    // For the run report: the volume pumped between two times (ms since the epoch) and the
    // counters now.
    QString reportText(qint64 fromMs, qint64 toMs);

    // The limits as typed, one a counter. A problem naming the first field refused, and
    // nothing changed; empty when set.
    QString setLimits(const std::array<QString, CareCounter::kCount> &texts);
    // The part was serviced: the counter goes to 0, kept with when, who and the remark.
    void serviced(CareCounter::Kind kind, const QString &who, const QString &remark);
    // Writes the counters now, if they changed since they were written.
    void writeNow();

Q_SIGNALS:
    void stateTextChanged(const QString &text);
    // The counters were written (or tried), a limit or a service changed.
    void changed();
    // A counter was reset after a service, with its value before.
    void counterReset(CareCounter::Kind kind, const QString &before, const QString &remark);

private:
    qint64 now() const { return m_boot ? m_boot() : BootTime::nowMs(); }
    void followAdapter();
    // After every change of the counters: a level crossed, a sample for the report.
    void counted();
    void updateState();

    PumpSession *m_session;
    std::function<QString()> m_adapter;
    BootClock m_boot;
    std::function<QDateTime()> m_wall;
    CareFile::WriteFunction m_write = &CareFile::writeWhole;
    QString m_folder;
    QTimer *m_writeTimer;

    CareBook m_book; // the adapter's limits, services and flow; values from the tally
    CareTally m_tally;
    QString m_path;
    QStringList m_refused;
    QString m_writeProblem;
    QByteArray m_written;
    std::array<int, CareCounter::kCount> m_levels{};
    QString m_stateText;
    // The volume this panel has counted (never reset) against the wall clock, for the report.
    struct Sample
    {
        qint64 wallMs;
        double volumeMl;
    };
    QList<Sample> m_samples;
    double m_pumped = 0;
};
