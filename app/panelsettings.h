#pragma once

#include <QSettings>
#include <QString>

// The panel's own store of what it learns in use (organisation corvane, application
// corvane-panel): the device opened last, offered first in the 通信 box. Nothing of the
// window's designed state is kept. A store that cannot be read or written gives the defaults;
// problem() says so, for one notice.
class PanelSettings
{
public:
    PanelSettings();

    QString lastDevice() const;
    void setLastDevice(const QString &device);

    // Empty while the store works.
    QString problem() const;

private:
    mutable QSettings m_store;
};
