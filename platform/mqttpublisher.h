#pragma once

#include "telemetry/brokerbackoff.h"
#include "telemetry/mqttsettings.h"
#include "telemetry/panelstate.h"
#include "telemetry/publishqueue.h"
#include "telemetry/telemetrymessages.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QObject>

struct mosquitto;
struct ssl_ctx_st;
class QEventLoop;
class QTimer;

// Publishes the panel's readings, state, events and alarms to the lab's MQTT broker, read-only
// by design: it subscribes to nothing. It lives on a thread of its own (Publisher moves it
// there, starts it and hands it every call), with libmosquitto's network thread under it, so a
// broker that is down, slow or refusing never holds up the window, the poll or the reception.
// Each attempt to connect uses a client of its own, given up when it has neither connected
// nor failed within the settings' connect timeout, and tried again as BrokerBackoff says.
// What must arrive waits in a PublishQueue meanwhile; readings are not queued but counted,
// and the count goes with the next state. TLS trusts the certificate authorities the settings
// hold in memory, or the system's, and checks that the certificate names the broker's host.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    // NotTls: a TLS handshake answered by something else, a plain MQTT port most likely.
    // IdTaken: the broker drops each connection soon after accepting it (see BrokerBackoff).
    enum class Status { Connecting, Connected, Away, Refused, Untrusted, NotTls, IdTaken };
    Q_ENUM(Status)

    static constexpr int kMostInFlight = 50;

    explicit MqttPublisher(const MqttSettings &settings, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Readings lost before they reached this thread: they go with the next state's count.
    void countDroppedReadings(quint64 count) { m_readingsDropped += count; }

    void start();
    // Publishes "offline" and disconnects, waiting at most a second for the broker.
    void finish();
    void publishReading(const QDateTime &time, const QString &text, double value);
    void publishEvent(const QDateTime &time, const QString &key, const QString &text);
    void publishState(const PanelState &state);
    // Every change of an alarm goes to "alarm"; its latest stays retained under
    // "alarm/<kind>" until it is acknowledged.
    void publishAlarm(const TelemetryMessages::Alarm &alarm);
    // The audit trail's head under "audit": retained for whoever subscribes later, and once
    // more not retained, so that a subscriber's log keeps every head it was sent.
    void publishAuditHead(qint64 seq, const QByteArray &hash);

Q_SIGNALS:
    void statusChanged(MqttPublisher::Status status, const QString &detail);

private:
    static void onConnect(struct mosquitto *client, void *self, int rc);
    static void onDisconnect(struct mosquitto *client, void *self, int rc);
    static void onPublish(struct mosquitto *client, void *self, int mid);
    static void onLog(struct mosquitto *client, void *self, int level, const char *text);

    void connectNow();
    // The TLS context every attempt shares; false, with *why, when it cannot be made.
    bool makeTlsContext(QString *why);
    void connected(struct mosquitto *client, int rc);
    // unanswered: given up after the connect timeout, the network thread still waiting.
    void lost(struct mosquitto *client, const QString &why, bool unanswered = false);
    // Schedules the next attempt; the wait in seconds, for the status.
    qint64 retry(const BrokerBackoff::Next &next);
    void dropClient(bool unanswered = false);
    void push(const QString &leaf, const QByteArray &payload, bool retain, bool droppable);
    void send();
    void setStatus(Status status, const QString &detail);
    // Every state, event and alarm carries a number rising by one, so that a subscriber can
    // drop what a lost acknowledgement made it receive twice.
    QByteArray withSequence(QByteArray json);

    MqttSettings m_settings;
    struct mosquitto *m_client = nullptr;
    bool m_connected = false;
    bool m_finishing = false;
    BrokerBackoff m_backoff;
    QElapsedTimer m_clock; // monotonic, for the back-off
    struct ssl_ctx_st *m_tlsContext = nullptr;
    QTimer *m_retry = nullptr;
    QTimer *m_connectTimeout = nullptr;
    PublishQueue m_queue;
    PanelState m_state;
    bool m_stateKnown = false;
    QHash<QString, QByteArray> m_raised; // retained alarm payloads by kind
    quint64 m_sequence = 0;
    quint64 m_readingsDropped = 0;
    // What the library's log told while the handshake of m_tlsClient failed; written on the
    // library's thread.
    QMutex m_tlsLock;
    struct mosquitto *m_tlsClient = nullptr;
    QString m_tlsProblem;
    int m_finishMid = 0;
    QEventLoop *m_finishWait = nullptr;
};
