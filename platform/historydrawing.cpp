#include "platform/historydrawing.h"

#include "history/historyinbox.h"
#include "threads/threadend.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

HistoryDrawing::HistoryDrawing(QObject *parent)
    : QObject(parent), m_inbox(std::make_shared<HistoryInbox>()), m_thread(new QThread(this)),
      m_renderer(new HistoryRenderer(m_inbox))
{
    m_thread->setObjectName(QStringLiteral("history drawing"));
    // Without a parent: it lives on the drawing thread and is deleted there as that thread ends.
    m_renderer->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_renderer, &QObject::deleteLater);
    connect(m_renderer, &HistoryRenderer::rendered, this, &HistoryDrawing::rendered);
    m_thread->start();
}

HistoryDrawing::~HistoryDrawing()
{
    m_thread->quit();
    // Still drawing (a starved machine), it ends when the drawing is done. The renderer shares
    // the inbox, so nothing it uses goes with this object.
    ThreadEnd::waitOrLeave(m_thread, QDeadlineTimer(kEndWaitMs));
}

void HistoryDrawing::reading(qint64 ms, double value)
{
    m_inbox->pushReading(ms, value);
}

void HistoryDrawing::event(qint64 ms, const QString &key, const QString &text)
{
    m_inbox->pushEvent(ms, key, text);
}

void HistoryDrawing::request(const HistoryRenderer::Request &request)
{
    // One drawing waits at a time: however fast the requests come, only the newest is drawn.
    if (m_renderer->offer(request))
        QMetaObject::invokeMethod(
            m_renderer, [renderer = m_renderer] { renderer->renderOffered(); },
            Qt::QueuedConnection);
}

QPicture HistoryDrawing::picture(const HistoryRenderer::Request &request)
{
    QPicture result;
    QEventLoop waiting;
    const QMetaObject::Connection done = connect(
        m_renderer, &HistoryRenderer::recorded, &waiting,
        [&](const QPicture &picture) {
            result = picture;
            waiting.quit();
        },
        Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        m_renderer, [renderer = m_renderer, request] { renderer->record(request); },
        Qt::QueuedConnection);
    // A drawing takes milliseconds; the panel's timers and reception go on meanwhile.
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(done);
    return result;
}
