#pragma once

#include <QObject>

#include <functional>

class QTimer;

// Sounds while an alarm waits for the operator: at once, then every kRepeat until stopped.
// The sound is the desktop's bell unless a test gives another ringer, to count the rings.
class AlarmBell : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRepeatMs = 2000;

    explicit AlarmBell(QObject *parent = nullptr);

    void setRinger(std::function<void()> ringer) { m_ringer = std::move(ringer); }
    void start();
    void stop();
    bool isRinging() const;

private:
    std::function<void()> m_ringer;
    QTimer *m_repeat;
};
