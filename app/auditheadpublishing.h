#pragma once

#include <QObject>

#include <chrono>

class AuditLog;
class Publisher;
class QTimer;

// The audit trail's head on the broker, once a minute, as soon as a save, a print or an export
// is in the trail, and at the panel's end: a head kept away from the panel's disk is what shows
// the newest records removed. Nothing is published before the first record is written.
class AuditHeadPublishing : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::minutes kInterval{1};

    AuditHeadPublishing(AuditLog *log, Publisher *publisher, QObject *parent = nullptr);

    // The head as it is now.
    void publish();

private:
    AuditLog *m_log;
    Publisher *m_publisher;
    QTimer *m_timer;
};
