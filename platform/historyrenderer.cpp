#include "platform/historyrenderer.h"

#include <QPainter>

HistoryRenderer::HistoryRenderer(std::shared_ptr<HistoryInbox> inbox, QObject *parent)
    : QObject(parent), m_inbox(std::move(inbox))
{
    qRegisterMetaType<HistoryRenderer::Request>();
}

HistoryRenderer::Request HistoryRenderer::resolve(Request request)
{
    m_dropped += m_inbox->drainInto(&m_series);
    if (m_series.size() == 0 && m_series.events().isEmpty())
        return request;
    qint64 first = m_series.size() ? m_series.time(0) : m_series.events().first().ms;
    qint64 last = m_series.size() ? m_series.time(m_series.size() - 1) : first;
    if (!m_series.events().isEmpty()) {
        first = std::min(first, m_series.events().first().ms);
        last = std::max(last, m_series.events().last().ms);
    }
    if (request.whole) {
        request.fromMs = first;
        request.toMs = std::max(last, first + 1000);
    } else if (request.follow) {
        const qint64 span = std::max<qint64>(request.toMs - request.fromMs, 1000);
        request.toMs = std::max(last, first + 1000);
        request.fromMs = request.toMs - span;
    }
    return request;
}

bool HistoryRenderer::offer(const Request &request)
{
    const QMutexLocker locker(&m_offerMutex);
    const bool waiting = m_offered.has_value();
    m_offered = request;
    return !waiting;
}

void HistoryRenderer::renderOffered()
{
    std::optional<Request> asked;
    {
        const QMutexLocker locker(&m_offerMutex);
        asked.swap(m_offered);
    }
    if (!asked)
        return;
    const Request request = resolve(*asked);
    QImage image(request.size * request.devicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(request.devicePixelRatio);
    QPainter painter(&image);
    HistoryPainter::paint(painter, QRectF(QPointF(0, 0), QSizeF(request.size)), m_series,
                          {request.fromMs, request.toMs, request.title}, request.devicePixelRatio);
    painter.end();
    Q_EMIT rendered(image, request, std::exchange(m_dropped, 0));
}

void HistoryRenderer::record(const Request &asked)
{
    const Request request = resolve(asked);
    QPicture picture;
    QPainter painter(&picture);
    HistoryPainter::paint(painter, QRectF(QPointF(0, 0), QSizeF(request.size)), m_series,
                          {request.fromMs, request.toMs, request.title});
    painter.end();
    Q_EMIT recorded(picture, request);
}
