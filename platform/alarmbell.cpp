#include "platform/alarmbell.h"

#include <QApplication>
#include <QTimer>

AlarmBell::AlarmBell(QObject *parent)
    : QObject(parent), m_ringer([] { QApplication::beep(); }), m_repeat(new QTimer(this))
{
    m_repeat->setInterval(kRepeatMs);
    connect(m_repeat, &QTimer::timeout, this, [this] { m_ringer(); });
}

void AlarmBell::start()
{
    // A second alarm while ringing rings at once too, without a faster beat afterwards.
    m_ringer();
    m_repeat->start();
}

void AlarmBell::stop()
{
    m_repeat->stop();
}

bool AlarmBell::isRinging() const
{
    return m_repeat->isActive();
}
