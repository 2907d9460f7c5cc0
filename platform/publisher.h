#pragma once

#include "platform/mqttpublisher.h"

#include <QObject>

class QThread;

// Publishing as the window sees it: typed calls that return at once, and how the broker
// connection goes as a signal on the window's thread. The MQTT client works on a thread of its
// own behind it, so a broker that is down or slow never holds up the window.
// finish() says "offline" and ends that thread, waiting at most kFinishWaitMs: a thread still
// busy then (a credentials file that is a FIFO, a network call that blocks) is left to the
// process's end, never waited for without limit and never deleted while it runs.
class Publisher : public QObject
{
    Q_OBJECT

public:
    static constexpr int kFinishWaitMs = 2000;

    explicit Publisher(const MqttSettings &settings, QObject *parent = nullptr);
    ~Publisher() override;

    void start();
    void reading(const QDateTime &time, const QString &text, double value);
    void event(const QDateTime &time, const QString &key, const QString &text);
    void state(const PanelState &state);
    // action: raised, cleared, acted or acknowledged.
    void alarm(const QDateTime &time, const QString &kind, const QString &action,
               const QString &text);
    // The first half of finish(): asks the thread to end and returns. Several workers asked
    // together end together.
    void beginFinish();
    // Waits for the end asked by beginFinish() (asks it first if need be) until the deadline.
    void finish();

Q_SIGNALS:
    void statusChanged(MqttPublisher::Status status, const QString &detail);

private:
    template <typename Call>
    void post(Call call);

    QThread *m_thread = nullptr;
    MqttPublisher *m_worker = nullptr;
    bool m_finishing = false;
};
