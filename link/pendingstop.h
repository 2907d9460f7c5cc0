#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The one stop frame the panel owes the pump while the link is down: however many causes
// there are (the operator's STOP, a timed run that ended, an alarm), one stop is held and sent
// once, first, when the same adapter is back. It belongs to the device it was owed on and is
// never sent to another: opening another device cancels it. Each cause keeps who it came
// from, so that the stop is told as what it was and never as the operator's when it was not.
class PendingStop
{
public:
    // Remote: a remote client's Stop, told as the client's and never as the operator's.
    enum class Cause { Operator, Alarm, TimedRun, Program, Unanswered, Remote };
    struct Reason
    {
        Cause cause;
        QString text;

        bool operator==(const Reason &) const = default;
    };

    // Owes a stop to the pump on device for this cause. True when none was owed before.
    bool owe(const QString &device, Cause cause, const QString &text);
    bool isPending() const { return !m_device.isEmpty(); }
    QString device() const { return m_device; }
    QList<Reason> reasons() const { return m_reasons; }
    QStringList causes() const;
    bool owedFor(Cause cause) const;

    // The link is open on device: true (and the stop is no longer owed) when the stop is to
    // go out now. Another device cancels it; cancelled() then tells so.
    bool takeFor(const QString &device);
    bool cancelled() const { return m_cancelled; }
    void clear();

private:
    QString m_device;
    QList<Reason> m_reasons;
    bool m_cancelled = false;
};
