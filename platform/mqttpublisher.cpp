#include "platform/mqttpublisher.h"

#include "telemetry/telemetrymessages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QTimer>

#include <mosquitto.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cmath>
#include <mutex>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kFinishWaitMs = 1000;

// What OpenSSL says when the other end of a handshake does not speak TLS: a plain MQTT port
// hangs up on the greeting it cannot read, other servers answer in their own protocol.
bool soundsLikeNoTls(const QString &line)
{
    for (const char *text : {"unexpected eof while reading", "wrong version number",
                             "packet length too long", "record layer failure"}) {
        if (line.contains(QLatin1String(text)))
            return true;
    }
    return false;
}

} // namespace

MqttPublisher::MqttPublisher(const MqttSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
    qRegisterMetaType<MqttPublisher::Status>();
}

MqttPublisher::~MqttPublisher()
{
    dropClient();
    // Each client took a reference of its own, and gave it back when it was destroyed.
    SSL_CTX_free(m_tlsContext);
}

void MqttPublisher::start()
{
    m_clock.start();
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &MqttPublisher::connectNow);
    m_connectTimeout = new QTimer(this);
    m_connectTimeout->setSingleShot(true);
    m_connectTimeout->setInterval(m_settings.connectTimeoutMs);
    connect(m_connectTimeout, &QTimer::timeout, this, [this] {
        lost(m_client, tr("代理 %1 秒内未应答").arg(m_settings.connectTimeoutMs / 1000.0), true);
    });
    connectNow();
}

void MqttPublisher::setStatus(Status status, const QString &detail)
{
    Q_EMIT statusChanged(status, detail);
}

void MqttPublisher::connectNow()
{
    dropClient();
    const QByteArray id = ("corvane-" + m_settings.id).toUtf8();
    m_client = mosquitto_new(id.constData(), true, this);
    {
        const QMutexLocker lock(&m_tlsLock);
        m_tlsClient = m_client;
        m_tlsProblem.clear();
    }
    if (!m_client) {
        lost(nullptr, tr("无法创建 MQTT 客户端"));
        return;
    }
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // A reading is a small packet: sent at once, not held back to be joined with the next.
    mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_max_inflight_messages_set(m_client, kMostInFlight);
    const QByteArray status = m_settings.topic(QStringLiteral("status")).toUtf8();
    mosquitto_will_set(m_client, status.constData(), 7, "offline", 1, true);
    if (!m_settings.user.isEmpty()) {
        mosquitto_username_pw_set(m_client, m_settings.user.toUtf8().constData(),
                                  m_settings.password.toUtf8().constData());
    }
    if (m_settings.tls) {
        // The library takes certificate authorities from files only, and files are read at
        // start alone: it is handed a context made here, which it uses as it is.
        QString why;
        if (!makeTlsContext(&why) ||
            mosquitto_int_option(m_client, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0) != MOSQ_ERR_SUCCESS ||
            mosquitto_void_option(m_client, MOSQ_OPT_SSL_CTX, m_tlsContext) != MOSQ_ERR_SUCCESS) {
            lost(nullptr, tr("TLS 设置无效：%1").arg(why.isEmpty() ? tr("库不支持") : why));
            return;
        }
    }
    mosquitto_connect_callback_set(m_client, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(m_client, &MqttPublisher::onPublish);
    mosquitto_log_callback_set(m_client, &MqttPublisher::onLog);
    setStatus(Status::Connecting, tr("正在连接 %1:%2").arg(m_settings.host).arg(m_settings.port));
    const int rc = mosquitto_connect_async(m_client, m_settings.host.toUtf8().constData(),
                                           m_settings.port, kKeepAliveSeconds);
    // The network thread runs even when the first attempt failed at once: it is what tries.
    mosquitto_loop_start(m_client);
    m_connectTimeout->start();
    if (rc != MOSQ_ERR_SUCCESS)
        lost(m_client,
             QString::fromUtf8(rc == MOSQ_ERR_ERRNO ? strerror(errno) : mosquitto_strerror(rc)));
}

bool MqttPublisher::makeTlsContext(QString *why)
{
    if (m_tlsContext)
        return true;
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        *why = tr("无法创建 TLS 上下文");
        return false;
    }
    // As the library's own context would be: nothing older than TLS 1.2, the peer verified.
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    if (m_settings.caCertificates.isEmpty()) {
        SSL_CTX_set_default_verify_paths(context);
    } else {
        X509_STORE *store = SSL_CTX_get_cert_store(context);
        BIO *pem = BIO_new_mem_buf(m_settings.caCertificates.constData(),
                                   int(m_settings.caCertificates.size()));
        STACK_OF(X509_INFO) *found = PEM_X509_INFO_read_bio(pem, nullptr, nullptr, nullptr);
        int trusted = 0;
        for (int i = 0; found && i < sk_X509_INFO_num(found); ++i) {
            X509 *certificate = sk_X509_INFO_value(found, i)->x509;
            if (certificate && X509_STORE_add_cert(store, certificate) == 1)
                ++trusted;
        }
        sk_X509_INFO_pop_free(found, X509_INFO_free);
        BIO_free(pem);
        if (trusted == 0) {
            SSL_CTX_free(context);
            *why = tr("证书颁发机构文件中没有可用的证书");
            return false;
        }
    }
    // The library checks the host name only in a context of its own: a certificate that a
    // trusted authority signed for another host is refused here.
    X509_VERIFY_PARAM *check = SSL_CTX_get0_param(context);
    const QByteArray host = m_settings.host.toUtf8();
    if (X509_VERIFY_PARAM_set1_ip_asc(check, host.constData()) != 1) {
        X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(check, host.constData(), size_t(host.size()));
    }
    m_tlsContext = context;
    return true;
}

// The library's callbacks come on its network thread: each is handed to this object's thread.
void MqttPublisher::onConnect(struct mosquitto *client, void *self, int rc)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    QMetaObject::invokeMethod(
        publisher, [publisher, client, rc] { publisher->connected(client, rc); },
        Qt::QueuedConnection);
}

void MqttPublisher::onDisconnect(struct mosquitto *client, void *self, int rc)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    const QString why = QString::fromUtf8(mosquitto_strerror(rc));
    QMetaObject::invokeMethod(
        publisher, [publisher, client, why] { publisher->lost(client, why); },
        Qt::QueuedConnection);
}

void MqttPublisher::onPublish(struct mosquitto *client, void *self, int mid)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    QMetaObject::invokeMethod(
        publisher,
        [publisher, client, mid] {
            if (client != publisher->m_client)
                return;
            if (publisher->m_finishWait && mid == publisher->m_finishMid)
                publisher->m_finishWait->quit();
            publisher->m_queue.acknowledged(mid);
            publisher->send();
        },
        Qt::QueuedConnection);
}

void MqttPublisher::onLog(struct mosquitto *client, void *self, int level, const char *text)
{
    if (level != MOSQ_LOG_ERR)
        return;
    const QString line = QString::fromUtf8(text);
    if (!line.contains(QLatin1String("certificate verify failed")) &&
        !line.contains(QLatin1String("OpenSSL Error")))
        return;
    auto *publisher = static_cast<MqttPublisher *>(self);
    {
        // Kept at once: the attempt may be reported failed before the call below arrives (a
        // handshake over within mosquitto_connect_async, on the publisher's own thread).
        const QMutexLocker lock(&publisher->m_tlsLock);
        if (client == publisher->m_tlsClient && publisher->m_tlsProblem.isEmpty())
            publisher->m_tlsProblem = line;
    }
    QMetaObject::invokeMethod(
        publisher,
        [publisher, client, line] {
            // Once connected, a TLS error is the end of the connection, which the library
            // reports as such.
            if (client != publisher->m_client || publisher->m_connected)
                return;
            // The library would try again and again without a word: this attempt is over.
            publisher->lost(client, line);
        },
        Qt::QueuedConnection);
}

void MqttPublisher::connected(struct mosquitto *client, int rc)
{
    if (client != m_client)
        return;
    if (rc != 0) {
        // 4: bad user name or password; 5: not authorised. Said once, then tried again later.
        const QString why = QString::fromUtf8(mosquitto_connack_string(rc));
        if (rc == 4 || rc == 5) {
            dropClient();
            m_connectTimeout->stop();
            const qint64 seconds = retry(m_backoff.failed());
            setStatus(Status::Refused,
                      tr("代理拒绝了用户名或密码（%1），%2 秒后重试").arg(why).arg(seconds));
            return;
        }
        lost(client, why);
        return;
    }
    m_connected = true;
    m_backoff.connected(std::chrono::milliseconds(m_clock.elapsed()));
    m_connectTimeout->stop();
    setStatus(Status::Connected, tr("已连接 %1:%2").arg(m_settings.host).arg(m_settings.port));
    // A broker restarted without persistence has lost what was retained: all of it again,
    // behind what waited, so that the newest state stays the last one.
    const QByteArray online("online");
    const QByteArray status = m_settings.topic(QStringLiteral("status")).toUtf8();
    mosquitto_publish(m_client, nullptr, status.constData(), int(online.size()), online.constData(),
                      1, true);
    if (m_stateKnown)
        m_queue.push({m_settings.topic(QStringLiteral("state")),
                      withSequence(m_state.toJson(m_readingsDropped)), true, false});
    // What a panel of this id left retained before (killed, say) is emptied unless it is
    // latched now.
    for (const char *kind : {"high", "low", "silence", "link"}) {
        const QString leaf = QStringLiteral("alarm/") + QLatin1String(kind);
        m_queue.push({m_settings.topic(leaf), m_raised.value(QLatin1String(kind)), true, false});
    }
    send();
}

void MqttPublisher::lost(struct mosquitto *client, const QString &why, bool unanswered)
{
    if (client && client != m_client)
        return;
    const bool wasConnected = m_connected;
    m_connected = false;
    m_queue.connectionLost();
    dropClient(unanswered);
    if (m_connectTimeout)
        m_connectTimeout->stop();
    if (m_finishing || !m_retry)
        return;
    const BrokerBackoff::Next next =
        wasConnected ? m_backoff.lost(std::chrono::milliseconds(m_clock.elapsed()))
                     : m_backoff.failed();
    const qint64 seconds = retry(next);
    QString tlsProblem;
    if (!wasConnected) {
        const QMutexLocker lock(&m_tlsLock);
        tlsProblem = m_tlsProblem;
    }
    const QString broker = QStringLiteral("%1:%2").arg(m_settings.host).arg(m_settings.port);
    if (!tlsProblem.isEmpty() && soundsLikeNoTls(tlsProblem))
        setStatus(Status::NotTls,
                  tr("%1 未使用 TLS（端口可能是明文 MQTT），%2 秒后重试").arg(broker).arg(seconds));
    else if (!tlsProblem.isEmpty())
        setStatus(Status::Untrusted,
                  tr("代理的证书不受信任（%1），%2 秒后重试").arg(tlsProblem).arg(seconds));
    else if (next.idLooksTaken)
        setStatus(
            Status::IdTaken,
            tr("可能另有面板使用同一标识“%1”：%2 连续 %3 次在接受连接后 %4 秒内将其断开，"
               "%5 分钟后重试（可用 --mqtt-id 另取标识）")
                .arg(m_settings.id, broker)
                .arg(BrokerBackoff::kQuickDropsForIdTaken)
                .arg(std::chrono::duration_cast<std::chrono::seconds>(BrokerBackoff::kQuickDrop)
                         .count())
                .arg(seconds / 60));
    else if (wasConnected)
        setStatus(Status::Away,
                  tr("与 %1 的连接中断（%2），%3 秒后重试").arg(broker, why).arg(seconds));
    else
        setStatus(Status::Away, tr("未能连接 %1（%2），%3 秒后重试").arg(broker, why).arg(seconds));
}

qint64 MqttPublisher::retry(const BrokerBackoff::Next &next)
{
    m_retry->start(next.wait);
    return std::chrono::duration_cast<std::chrono::seconds>(next.wait).count();
}

void MqttPublisher::dropClient(bool unanswered)
{
    if (!m_client)
        return;
    struct mosquitto *client = std::exchange(m_client, nullptr);
    m_connected = false;
    mosquitto_disconnect(client);
    // The network thread sends the disconnection when connected (else the broker would publish
    // the will) and ends by itself, at once after a TLS error, which ends it anyway. It is
    // cancelled only where it has waited for an answer: cancelled while it closes its socket, it
    // would leave the descriptor's number to be closed once more by mosquitto_destroy, by then
    // perhaps another part of the program's (libudev aborts on that).
    mosquitto_loop_stop(client, unanswered);
    mosquitto_destroy(client);
}

QByteArray MqttPublisher::withSequence(QByteArray json)
{
    QJsonObject object = QJsonDocument::fromJson(json).object();
    // A subscriber tells messages apart by both: seq starts again at each start of the panel.
    object.insert(QStringLiteral("session"), m_settings.session);
    object.insert(QStringLiteral("seq"), qint64(++m_sequence));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void MqttPublisher::push(const QString &leaf, const QByteArray &payload, bool retain,
                         bool droppable)
{
    m_queue.push({m_settings.topic(leaf), payload, retain, droppable});
    send();
}

void MqttPublisher::send()
{
    while (m_connected && m_queue.inFlight() < kMostInFlight) {
        const std::optional<PublishQueue::Message> message = m_queue.next();
        if (!message)
            return;
        int mid = 0;
        const QByteArray topic = message->topic.toUtf8();
        const int rc =
            mosquitto_publish(m_client, &mid, topic.constData(), int(message->payload.size()),
                              message->payload.constData(), 1, message->retain);
        if (rc != MOSQ_ERR_SUCCESS)
            return; // the disconnect that follows puts it back in line
        m_queue.sent(mid);
    }
}

void MqttPublisher::publishReading(const QDateTime &time, const QString &text, double value)
{
    if (!m_connected) {
        ++m_readingsDropped;
        return;
    }
    const QByteArray payload = TelemetryMessages::reading(
        time, text, std::isnan(value) ? std::nullopt : std::optional<double>(value),
        m_settings.session);
    const QByteArray topic = m_settings.topic(QStringLiteral("reading")).toUtf8();
    if (mosquitto_publish(m_client, nullptr, topic.constData(), int(payload.size()),
                          payload.constData(), 0, false) != MOSQ_ERR_SUCCESS)
        ++m_readingsDropped;
}

void MqttPublisher::publishEvent(const QDateTime &time, const QString &key, const QString &text)
{
    push(QStringLiteral("event"), withSequence(TelemetryMessages::event(time, key, text)), false,
         true);
}

void MqttPublisher::publishState(const PanelState &state)
{
    if (m_stateKnown && state == m_state)
        return;
    m_state = state;
    m_stateKnown = true;
    push(QStringLiteral("state"), withSequence(state.toJson(m_readingsDropped)), true, false);
}

void MqttPublisher::publishAlarm(const TelemetryMessages::Alarm &alarm)
{
    const QByteArray payload = withSequence(TelemetryMessages::alarm(alarm));
    push(QStringLiteral("alarm"), payload, false, false);
    // Retained under its kind while it is latched, as the state's alarms are: raised, acted
    // and cleared alike; gone once acknowledged.
    const QString leaf = QStringLiteral("alarm/") + alarm.kind;
    if (alarm.acknowledged) {
        m_raised.remove(alarm.kind);
        push(leaf, QByteArray(), true, false);
    } else {
        m_raised.insert(alarm.kind, payload);
        push(leaf, payload, true, false);
    }
}

void MqttPublisher::publishAuditHead(qint64 seq, const QByteArray &hash)
{
    const QByteArray payload = TelemetryMessages::auditHead(seq, hash, m_settings.session);
    push(QStringLiteral("audit"), payload, true, false);
    push(QStringLiteral("audit"), payload, false, false);
}

void MqttPublisher::finish()
{
    m_finishing = true;
    if (m_retry)
        m_retry->stop();
    if (m_connectTimeout)
        m_connectTimeout->stop();
    if (m_connected) {
        // Closed on purpose: no will is sent, so the panel says so itself.
        const QByteArray offline("offline");
        const QByteArray topic = m_settings.topic(QStringLiteral("status")).toUtf8();
        if (mosquitto_publish(m_client, &m_finishMid, topic.constData(), int(offline.size()),
                              offline.constData(), 1, true) == MOSQ_ERR_SUCCESS) {
            QEventLoop waiting;
            m_finishWait = &waiting;
            QTimer::singleShot(kFinishWaitMs, &waiting, &QEventLoop::quit);
            waiting.exec();
            m_finishWait = nullptr;
        }
    }
    dropClient();
}
