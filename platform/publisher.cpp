#include "platform/publisher.h"

#include <QDeadlineTimer>
#include <QThread>

Publisher::Publisher(const MqttSettings &settings, QObject *parent)
    : QObject(parent), m_thread(new QThread), m_worker(new MqttPublisher(settings))
{
    m_thread->setObjectName(QStringLiteral("mqtt"));
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_thread, &QThread::started, m_worker, &MqttPublisher::start);
    connect(m_worker, &MqttPublisher::statusChanged, this, &Publisher::statusChanged);
}

Publisher::~Publisher()
{
    finish();
}

template <typename Call>
void Publisher::post(Call call)
{
    if (m_finishing)
        return;
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, call] { call(worker); },
                              Qt::QueuedConnection);
}

void Publisher::start()
{
    if (!m_thread->isRunning() && !m_finishing)
        m_thread->start();
}

void Publisher::reading(const QDateTime &time, const QString &text, double value)
{
    post([=](MqttPublisher *worker) { worker->publishReading(time, text, value); });
}

void Publisher::event(const QDateTime &time, const QString &key, const QString &text)
{
    post([=](MqttPublisher *worker) { worker->publishEvent(time, key, text); });
}

void Publisher::state(const PanelState &state)
{
    post([=](MqttPublisher *worker) { worker->publishState(state); });
}

void Publisher::alarm(const QDateTime &time, const QString &kind, const QString &action,
                      const QString &text)
{
    post([=](MqttPublisher *worker) { worker->publishAlarm(time, kind, action, text); });
}

void Publisher::beginFinish()
{
    if (m_finishing || !m_thread)
        return;
    // "offline" goes out first, the worker waiting a second at most for the broker; then the
    // thread's loop ends.
    post([](MqttPublisher *worker) { worker->finish(); });
    m_finishing = true;
    m_thread->quit();
}

void Publisher::finish()
{
    if (!m_thread)
        return;
    beginFinish();
    if (!m_thread->isRunning() || m_thread->wait(QDeadlineTimer(kFinishWaitMs))) {
        delete m_thread; // the worker went with the thread's end
    } else {
        // Stuck in a call that does not return: the thread and its worker stay, unowned, until
        // the process ends. Deleting a running thread would abort the program.
        disconnect(m_worker, nullptr, this, nullptr);
    }
    m_thread = nullptr;
    m_worker = nullptr;
}
