#include "bench/mqttbench.h"

#include "link/linkprotocol.h"
#include "platform/publisher.h"
#include "tests/support/mosquittobroker.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSet>
#include <QTimer>

#include <mosquitto.h>

#include <ctime>
#include <memory>

namespace MqttBench {

namespace {

// A subscriber of every panel's readings and events, timing each as it arrives.
struct Watcher
{
    QMutex mutex;
    std::vector<double> latenciesMs;
    qint64 readings = 0;
    QSet<QString> events; // panel and sequence number
    bool connected = false;

    static void onConnect(struct mosquitto *client, void *, int rc)
    {
        if (rc == 0) {
            mosquitto_subscribe(client, nullptr, "corvane/+/reading", 0);
            mosquitto_subscribe(client, nullptr, "corvane/+/event", 1);
        }
    }
    static void onSubscribe(struct mosquitto *, void *self, int, int, const int *)
    {
        auto *watcher = static_cast<Watcher *>(self);
        const QMutexLocker lock(&watcher->mutex);
        watcher->connected = true;
    }
    static void onMessage(struct mosquitto *, void *self, const struct mosquitto_message *message)
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        auto *watcher = static_cast<Watcher *>(self);
        const QString topic = QString::fromUtf8(message->topic);
        const QJsonObject payload =
            QJsonDocument::fromJson(
                QByteArray(static_cast<const char *>(message->payload), message->payloadlen))
                .object();
        const QMutexLocker lock(&watcher->mutex);
        if (topic.endsWith(u"/reading")) {
            ++watcher->readings;
            const QDateTime sent = QDateTime::fromString(
                payload.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
            watcher->latenciesMs.push_back(double(now - sent.toMSecsSinceEpoch()));
        } else {
            watcher->events.insert(
                topic + u' ' + QString::number(payload.value(QStringLiteral("seq")).toInteger()));
        }
    }
};

double processCpuSeconds()
{
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return double(cpu.tv_sec) + double(cpu.tv_nsec) / 1e9;
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

using Panel = std::unique_ptr<Publisher>;

Panel startPanel(const MosquittoBroker &broker, const QString &id)
{
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.plainPort();
    settings.id = id;
    settings.user = QString::fromLatin1(MosquittoBroker::kUser);
    settings.password = QString::fromLatin1(MosquittoBroker::kPassword);
    auto panel = std::make_unique<Publisher>(settings);
    panel->start();
    return panel;
}

void publish(Panel &panel, qint64 n, bool withEvent)
{
    const QDateTime now = QDateTime::currentDateTime();
    panel->reading(now, QStringLiteral("01.5"), 1.5);
    if (withEvent)
        panel->event(now, QStringLiteral("bench"), QString::number(n));
}

} // namespace

Result run(int publishers, double readingsPerSecond, double seconds, double idleSeconds)
{
    Result result;
    result.publishers = publishers;
    MosquittoBroker broker;
    if (!broker.start(&result.error))
        return result;

    Watcher watcher;
    mosquitto_lib_init();
    struct mosquitto *client = mosquitto_new("corvane-bench-watcher", true, &watcher);
    mosquitto_username_pw_set(client, MosquittoBroker::kUser, MosquittoBroker::kPassword);
    mosquitto_connect_callback_set(client, &Watcher::onConnect);
    mosquitto_subscribe_callback_set(client, &Watcher::onSubscribe);
    mosquitto_message_callback_set(client, &Watcher::onMessage);
    mosquitto_connect_async(client, "127.0.0.1", broker.plainPort(), 30);
    mosquitto_loop_start(client);
    for (int i = 0; i < 100; ++i) {
        wait(20);
        const QMutexLocker lock(&watcher.mutex);
        if (watcher.connected)
            break;
    }

    std::vector<Panel> panels;
    for (int i = 0; i < publishers; ++i)
        panels.push_back(startPanel(broker, QStringLiteral("bench%1").arg(i)));
    wait(1000); // all connected

    // Each panel publishes at its pace, staggered; every tenth reading comes with an event.
    const int intervalMs = int(1000 / readingsPerSecond);
    const qint64 rounds = qint64(seconds * readingsPerSecond);
    QTimer pace;
    qint64 round = 0;
    QEventLoop running;
    QObject::connect(&pace, &QTimer::timeout, &running, [&] {
        for (Panel &panel : panels) {
            publish(panel, round, round % 10 == 0);
            ++result.readingsSent;
            result.eventsSent += round % 10 == 0 ? 1 : 0;
        }
        if (++round >= rounds)
            running.quit();
    });
    pace.setTimerType(Qt::PreciseTimer);
    pace.start(intervalMs);
    running.exec();
    pace.stop();
    wait(2000); // what is on its way arrives
    // Ended together: each waits for its own "offline", not for the others'.
    for (Panel &panel : panels)
        panel->beginFinish();
    for (Panel &panel : panels)
        panel->waitFinished();
    {
        const QMutexLocker lock(&watcher.mutex);
        result.readingsReceived = watcher.readings;
        result.eventsReceived = watcher.events.size();
        result.latenciesMs = watcher.latenciesMs;
    }
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);

    // One panel at the real poll rate: the CPU of this process while it publishes.
    Panel one = startPanel(broker, QStringLiteral("idle"));
    wait(1000);
    QTimer poll;
    qint64 n = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        publish(one, n, n % 10 == 0);
        ++n;
    });
    const double cpuBefore = processCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    poll.start(LinkProtocol::kPollInterval);
    wait(int(idleSeconds * 1000));
    poll.stop();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    result.idleCpuPercent = 100.0 * (processCpuSeconds() - cpuBefore) / wall;
    one->finish();
    return result;
}

} // namespace MqttBench
