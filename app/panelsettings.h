#pragma once

#include "alarms/alarmsettings.h"

#include <QSettings>
#include <QString>

// The panel's own store of what it learns in use (organisation corvane, application
// corvane-panel): the device opened last, offered first in the 通信 box, and the alarms. Nothing of
// the window's designed state is kept. A store that cannot be read or written gives the defaults;
// problem() says so, for one notice.
class PanelSettings
{
public:
    PanelSettings();

    QString lastDevice() const;
    void setLastDevice(const QString &device);
    // The pump program opened or saved last, loaded again at the next start.
    QString lastProgram() const;
    void setLastProgram(const QString &path);

    // As StoredAlarmSettings reads them: an alarm whose stored values cannot be used is off,
    // and *problem names each such key.
    AlarmSettings alarmSettings(QString *problem = nullptr) const;
    void setAlarmSettings(const AlarmSettings &settings);

    // Empty while the store works.
    QString problem() const;
    // Where the store is kept.
    QString fileName() const { return m_store.fileName(); }

private:
    mutable QSettings m_store;
};
