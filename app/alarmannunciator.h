#pragma once

#include "alarms/alarmbanner.h"

#include <QObject>

class AlarmBell;
class AlarmMonitor;
class DesktopNotifier;
class PumpSession;
class QPushButton;
class StatusArea;

// The alarms as the operator meets them: a red row each in the status area, with what its
// stop did, and the button that acknowledges them (shown with the rows); a desktop
// notification, seen from across the room; and the bell, heard until they are acknowledged.
class AlarmAnnunciator : public QObject
{
    Q_OBJECT

public:
    AlarmAnnunciator(AlarmMonitor *alarms, PumpSession *session, StatusArea *area,
                     QPushButton *acknowledge, QObject *parent);

    AlarmBell *bell() const { return m_bell; }

private:
    void show();

    AlarmMonitor *m_alarms;
    StatusArea *m_area;
    AlarmBanner m_banner;
    AlarmBell *m_bell;
    DesktopNotifier *m_notifier;
};
