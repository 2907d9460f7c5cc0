#pragma once

#include "history/historyinbox.h"
#include "history/historyseries.h"
#include "platform/historypainter.h"

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QPicture>
#include <QSize>

#include <memory>
#include <optional>

// Draws the history on its own thread (HistoryDrawing moves it there), so that a million
// readings never hold up the window's thread, the poll or the reception: it takes what came
// through the inbox, reduces the range asked for to pixel columns and hands back the finished
// image. A request overtaken by a newer one before its drawing began is not drawn.
class HistoryRenderer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        quint64 id = 0;
        qint64 fromMs = 0;
        qint64 toMs = 0;
        QSize size; // device-independent pixels
        qreal devicePixelRatio = 1;
        bool whole = false;  // everything kept, whatever fromMs and toMs say
        bool follow = false; // the same span, ending at the newest reading
        QString title;
    };

    // The inbox is shared with whoever fills it: it lives as long as either does.
    explicit HistoryRenderer(std::shared_ptr<HistoryInbox> inbox, QObject *parent = nullptr);

    // Called on any thread: the picture to draw next, in place of one offered and not begun.
    // True when none was waiting, so that renderOffered() is to be called on the drawing thread.
    bool offer(const HistoryRenderer::Request &request);
    void renderOffered();
    // The same drawing, kept as painting commands, for SVG export and printing.
    void record(const HistoryRenderer::Request &request);

Q_SIGNALS:
    // request carries the range drawn; dropped counts readings the inbox could not hold.
    void rendered(const QImage &image, const HistoryRenderer::Request &request, quint64 dropped);
    void recorded(const QPicture &picture, const HistoryRenderer::Request &request);

private:
    HistoryRenderer::Request resolve(HistoryRenderer::Request request);

    std::shared_ptr<HistoryInbox> m_inbox;
    HistorySeries m_series;
    QMutex m_offerMutex;
    std::optional<HistoryRenderer::Request> m_offered;
    quint64 m_dropped = 0;
};
Q_DECLARE_METATYPE(HistoryRenderer::Request)
