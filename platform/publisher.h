#pragma once

#include "platform/mqttpublisher.h"
#include "telemetry/publishinbox.h"

#include <QDeadlineTimer>
#include <QObject>

#include <memory>

class QThread;

// Publishing to the lab's MQTT broker, called on the window's thread: each call is handed to an
// MqttPublisher on a thread of its own and returns at once, so that neither a broker that is
// away nor a thread held up in a file or network call ever holds up the window. Calls wait in a
// PublishInbox, which counts what it drops; a state equal to the last one is not handed on.
// statusChanged() comes on the window's thread. finish() (and the destructor) publishes
// "offline" and ends the thread, waiting at most kFinishWaitMs: a thread still busy by then is
// left to end by itself, and later calls are ignored.
class Publisher : public QObject
{
    Q_OBJECT

public:
    // The publisher's own wait for the broker to take "offline" (a second) and a margin.
    static constexpr int kFinishWaitMs = 2000;

    explicit Publisher(const MqttSettings &settings, QObject *parent = nullptr);
    ~Publisher() override;

    // Connects from now on; calls made before wait for the connection as those made after.
    void start();
    void reading(const QDateTime &time, const QString &text, double value);
    void event(const QDateTime &time, const QString &key, const QString &text);
    void state(const PanelState &state);
    void alarm(const TelemetryMessages::Alarm &alarm);
    void auditHead(qint64 seq, const QByteArray &hash);

    // beginFinish() then waitFinished().
    void finish();
    // The two halves of finish(), so that the program's threads end together rather than one
    // after another: beginFinish() asks the thread to publish "offline" and end, and starts
    // its deadline; waitFinished() waits until the thread has ended or the deadline has passed.
    // False when it was left running.
    void beginFinish();
    bool waitFinished();

Q_SIGNALS:
    void statusChanged(MqttPublisher::Status status, const QString &detail);

private:
    void hand(PublishInbox::Kind kind, PublishInbox::Call call);
    // On the publisher's thread.
    static void deliver(MqttPublisher *worker, PublishInbox &inbox);

    std::shared_ptr<PublishInbox> m_inbox;
    QThread *m_thread;
    MqttPublisher *m_worker; // lives on m_thread
    bool m_started = false;
    bool m_finishing = false;
    QDeadlineTimer m_finishDeadline;
    PanelState m_state;
    bool m_stateKnown = false;
};
