#include "platform/publisher.h"

#include <QThread>

Publisher::Publisher(const MqttSettings &settings, QObject *parent)
    : QObject(parent), m_inbox(std::make_shared<PublishInbox>()), m_thread(new QThread(this)),
      m_worker(new MqttPublisher(settings))
{
    m_thread->setObjectName(QStringLiteral("mqtt"));
    // Without a parent: it lives on the publisher's thread and is deleted there as it ends.
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_worker, &MqttPublisher::start);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &MqttPublisher::statusChanged, this, &Publisher::statusChanged);
}

Publisher::~Publisher()
{
    finish();
}

void Publisher::start()
{
    if (m_started || m_finishing)
        return;
    m_started = true;
    m_thread->start();
}

void Publisher::reading(const QDateTime &time, const QString &text, double value)
{
    hand(PublishInbox::Kind::Reading,
         [worker = m_worker, time, text, value] { worker->publishReading(time, text, value); });
}

void Publisher::event(const QDateTime &time, const QString &key, const QString &text)
{
    hand(PublishInbox::Kind::Event,
         [worker = m_worker, time, key, text] { worker->publishEvent(time, key, text); });
}

void Publisher::state(const PanelState &state)
{
    // Told after every event, it mostly has not changed: only a change takes a place in line.
    if (m_finishing || (m_stateKnown && state == m_state))
        return;
    m_state = state;
    m_stateKnown = true;
    hand(PublishInbox::Kind::Kept, [worker = m_worker, state] { worker->publishState(state); });
}

void Publisher::alarm(const TelemetryMessages::Alarm &alarm)
{
    hand(PublishInbox::Kind::Kept,
         [worker = m_worker, alarm] { worker->publishAlarm(alarm); });
}

void Publisher::auditHead(qint64 seq, const QByteArray &hash)
{
    hand(PublishInbox::Kind::Kept,
         [worker = m_worker, seq, hash] { worker->publishAuditHead(seq, hash); });
}

void Publisher::hand(PublishInbox::Kind kind, PublishInbox::Call call)
{
    if (m_finishing)
        return;
    // One wake-up waits at a time, however many calls: the thread's event queue stays short.
    if (m_inbox->push(kind, std::move(call)))
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, inbox = m_inbox] { deliver(worker, *inbox); },
            Qt::QueuedConnection);
}

void Publisher::deliver(MqttPublisher *worker, PublishInbox &inbox)
{
    const PublishInbox::Batch batch = inbox.take();
    worker->countDroppedReadings(batch.readingsDropped);
    for (const PublishInbox::Call &call : batch.calls)
        call();
}

void Publisher::finish()
{
    beginFinish();
    waitFinished();
}

void Publisher::beginFinish()
{
    if (m_finishing)
        return;
    m_finishing = true;
    m_finishDeadline = QDeadlineTimer(kFinishWaitMs);
    if (!m_started)
        return;
    // Behind the calls handed so far, which go out first; then the thread ends itself.
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker] {
            worker->finish();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
}

bool Publisher::waitFinished()
{
    if (!m_thread)
        return true;
    beginFinish();
    if (!m_started) {
        // Never run: nothing of it is on another thread.
        delete m_worker;
    } else if (!m_thread->wait(m_finishDeadline)) {
        // Held up in a call that does not return (a name lookup that a DNS server never
        // answers): it is left to run, and forgotten. Deleting a running QThread aborts
        // the program, so the thread and the publisher on it are left to end by themselves, or
        // with the process, whatever holds them up.
        disconnect(m_worker, nullptr, this, nullptr);
        m_thread->setParent(nullptr);
        connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        m_thread = nullptr;
        m_worker = nullptr;
        return false;
    }
    delete m_thread;
    m_thread = nullptr;
    m_worker = nullptr;
    return true;
}
