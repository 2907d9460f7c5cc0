#pragma once

#include <QString>
#include <QStringList>

// The one stop frame the panel owes the pump while the link is down: however many causes
// there are (a timed run that ended, an alarm), one stop is held and sent once, first, when
// the same adapter is back. It belongs to the device it was owed on and is never sent to
// another: opening another device cancels it.
class PendingStop
{
public:
    // Owes a stop to the pump on device for this cause. True when none was owed before.
    bool owe(const QString &device, const QString &cause);
    bool isPending() const { return !m_device.isEmpty(); }
    QString device() const { return m_device; }
    QStringList causes() const { return m_causes; }

    // The link is open on device: true (and the stop is no longer owed) when the stop is to
    // go out now. Another device cancels it; cancelled() then tells so.
    bool takeFor(const QString &device);
    bool cancelled() const { return m_cancelled; }
    void clear();

private:
    QString m_device;
    QStringList m_causes;
    bool m_cancelled = false;
};
