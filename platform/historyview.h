#pragma once

#include "platform/historyrenderer.h"

#include <QImage>
#include <QList>
#include <QWidget>

class QRubberBand;

// Shows the history's finished pictures and turns the operator's hand into new ranges: the
// wheel zooms about the pointer, a drag pans, a drag with Shift (or the right button) zooms
// to the band drawn, a double click shows everything. Events are told on hover over their
// marks. It never draws the readings itself: it asks for a picture and shows it when it comes.
class HistoryView : public QWidget
{
    Q_OBJECT

public:
    struct Mark
    {
        qint64 ms;
        QString key;
        QString text;
    };

    explicit HistoryView(QWidget *parent = nullptr);

    qint64 fromMs() const { return m_shown.fromMs; }
    qint64 toMs() const { return m_shown.toMs; }
    bool follows() const { return m_follow; }
    QImage image() const { return m_image; }
    // The last request's range, whether or not its picture has come.
    HistoryRenderer::Request current() const { return m_wanted; }

    void setTitle(const QString &title) { m_title = title; }
    void setMarks(const QList<Mark> *marks) { m_marks = marks; }

public Q_SLOTS:
    void showWhole();
    void setFollow(bool follow);
    void setRange(qint64 fromMs, qint64 toMs);
    // Asks again for the range shown, for readings that came meanwhile.
    void refresh();
    void showPicture(const QImage &image, const HistoryRenderer::Request &request);

Q_SIGNALS:
    void renderWanted(const HistoryRenderer::Request &request);
    void followChanged(bool follow);
    void rangeShown(qint64 fromMs, qint64 toMs);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    void ask(HistoryRenderer::Request request);
    qint64 timeAt(double x) const;

    HistoryRenderer::Request m_wanted;
    HistoryRenderer::Request m_shown;
    QImage m_image;
    quint64 m_nextId = 1;
    bool m_follow = true;
    QString m_title;
    const QList<Mark> *m_marks = nullptr;
    QRubberBand *m_band = nullptr;
    QPoint m_pressAt;
    qint64 m_pressFrom = 0;
    qint64 m_pressTo = 0;
    enum class Drag { None, Pan, Band } m_drag = Drag::None;
};
