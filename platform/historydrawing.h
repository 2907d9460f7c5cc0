#pragma once

#include "platform/historyrenderer.h"

#include <QImage>
#include <QObject>
#include <QPicture>

#include <memory>

class HistoryInbox;
class QThread;

// The history's drawing, called on the window's thread and done by a HistoryRenderer on a
// thread of its own. Readings and events go to the renderer's inbox, which never waits for a
// drawing and counts what it cannot hold; request() asks for the picture on the screen, a newer
// request taking the place of one not yet begun, and rendered() brings it back on the window's
// thread; picture() waits for the same drawing kept as painting commands. The destructor ends
// the thread but waits at most kEndWaitMs: a drawing still going by then is left to end by
// itself.
class HistoryDrawing : public QObject
{
    Q_OBJECT

public:
    static constexpr int kEndWaitMs = 2000;

    explicit HistoryDrawing(QObject *parent = nullptr);
    ~HistoryDrawing() override;

    void reading(qint64 ms, double value);
    // A lost line also breaks the curve there.
    void event(qint64 ms, const QString &key, const QString &text);
    void request(const HistoryRenderer::Request &request);
    // For SVG export and printing; the panel's timers and reception go on meanwhile.
    QPicture picture(const HistoryRenderer::Request &request);

Q_SIGNALS:
    // dropped counts readings the inbox could not hold.
    void rendered(const QImage &image, const HistoryRenderer::Request &request, quint64 dropped);

private:
    std::shared_ptr<HistoryInbox> m_inbox;
    QThread *m_thread;
    HistoryRenderer *m_renderer; // lives on m_thread
};
