#pragma once

#include "historyinbox.h"
#include "historypainter.h"
#include "historyseries.h"

#include <QImage>
#include <QObject>
#include <QPicture>
#include <QSize>

#include <atomic>

// Draws the history on its own thread (moved there by its owner), so that a million readings
// never hold up the window's thread, the poll or the reception: it takes what came through
// the inbox, reduces the range asked for to pixel columns and hands back the finished image.
// A request overtaken by a newer one is skipped.
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

    explicit HistoryRenderer(HistoryInbox *inbox, QObject *parent = nullptr);

    // Called on any thread: requests older than this are not drawn.
    void supersede(quint64 id) { m_latest.store(id); }

public Q_SLOTS:
    void render(const HistoryRenderer::Request &request);
    // The same drawing, kept as painting commands, for SVG export and printing.
    void record(const HistoryRenderer::Request &request);

Q_SIGNALS:
    // request carries the range drawn; dropped counts readings the inbox could not hold.
    void rendered(const QImage &image, const HistoryRenderer::Request &request, quint64 dropped);
    void recorded(const QPicture &picture, const HistoryRenderer::Request &request);

private:
    HistoryRenderer::Request resolve(HistoryRenderer::Request request);

    HistoryInbox *m_inbox;
    HistorySeries m_series;
    std::atomic<quint64> m_latest{0};
    quint64 m_dropped = 0;
};
Q_DECLARE_METATYPE(HistoryRenderer::Request)
