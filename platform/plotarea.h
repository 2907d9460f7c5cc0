#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QLineF>
#include <QList>
#include <QRectF>

// A plot area with a user coordinate scale, like a chart recorder's paper: lines are drawn in
// plot units and stay drawn until the area is cleared. The scale's edges fall on the outermost
// pixels of the drawing area, so a line along an edge shows. The drawing lives in a backing
// image, so a covered or re-exposed area shows it again; the lines since the last clearing are
// kept too, so that a resized area is drawn anew at its new size.
class PlotArea : public QFrame
{
    Q_OBJECT

public:
    explicit PlotArea(QWidget *parent = nullptr);

    // The plot units at the top-left and at the bottom-right corner of the drawing area.
    void setScale(QPointF topLeft, QPointF bottomRight);
    QRectF scale() const { return m_scale; }

    // A one-pixel solid line; an invalid colour means the foreground colour (black). A line
    // with an end that is not a number is not drawn.
    void line(const QLineF &plotLine, const QColor &color = QColor());
    void cls();

    // The pixel of the drawing area at a plot point; far outside points stay far outside.
    QPoint toPixel(QPointF plotPoint) const;
    // What is drawn, in pixels of the drawing area (for checks and printing).
    QImage image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct DrawnLine
    {
        QLineF plotLine;
        QColor color;
    };

    void redraw();
    QRect drawLineOnImage(const DrawnLine &drawn);

    QRectF m_scale{0, 0, 1, 1};
    QImage m_image;
    QList<DrawnLine> m_lines;
};
