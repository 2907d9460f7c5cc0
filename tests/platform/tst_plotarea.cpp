#include "platform/plotarea.h"

#include <QTest>

namespace {

// What the widget shows at a plot point, read from a fresh rendering of it (paintEvent runs).
QColor shownAt(PlotArea &plot, QPointF plotPoint, QPoint offset = {})
{
    const QImage shot = plot.grab().toImage();
    return shot.pixelColor(plot.contentsRect().topLeft() + plot.toPixel(plotPoint) + offset);
}

// What the widget shows at a place given as a fraction of the drawing area's width and height:
// (0, 0) is its top-left pixel, (1, 1) its bottom-right one.
QColor shownAtFraction(PlotArea &plot, QPointF fraction)
{
    const QRect area = plot.contentsRect();
    const QPoint pixel(qRound(fraction.x() * (area.width() - 1)),
                       qRound(fraction.y() * (area.height() - 1)));
    return plot.grab().toImage().pixelColor(area.topLeft() + pixel);
}

} // namespace

// The plot area keeps what was drawn on it, on screen and through resizing, until cleared.
class TestPlotArea : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsLinesWhereScaledWhenReExposed();
    void resizedAreaRedrawsLinesAtNewSize();
    void clsClearsImageAndScreen();
    void repeatedLineKeepsRoomForNewOnes();
    void edgesAndFarPointsStayOnTheArea_data();
    void edgesAndFarPointsStayOnTheArea();
    void lineToNoNumberIsNotDrawn();

private:
    // Red along y = 5, black along x = 25; both cross the whole area.
    void drawCross();
    // The cross shows, each line one pixel thick, away from where the lines meet.
    void verifyCross();

    PlotArea *m_plot = nullptr;
};

void TestPlotArea::init()
{
    m_plot = new PlotArea;
    m_plot->resize(300, 150);
    m_plot->setScale(QPointF(0, 10), QPointF(100, -5));
    m_plot->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_plot));
}

void TestPlotArea::cleanup()
{
    delete m_plot;
    m_plot = nullptr;
}

void TestPlotArea::drawCross()
{
    m_plot->line(QLineF(0, 5, 100, 5), Qt::red);
    m_plot->line(QLineF(25, 10, 25, -5));
}

void TestPlotArea::verifyCross()
{
    for (const double x : {5.0, 60.0, 95.0}) {
        QCOMPARE(shownAt(*m_plot, QPointF(x, 5)), QColor(Qt::red));
        QCOMPARE(shownAt(*m_plot, QPointF(x, 5), QPoint(0, -1)), QColor(Qt::white));
        QCOMPARE(shownAt(*m_plot, QPointF(x, 5), QPoint(0, 1)), QColor(Qt::white));
    }
    for (const double y : {9.0, 0.0, -4.0}) {
        QCOMPARE(shownAt(*m_plot, QPointF(25, y)), QColor(Qt::black));
        QCOMPARE(shownAt(*m_plot, QPointF(25, y), QPoint(-1, 0)), QColor(Qt::white));
        QCOMPARE(shownAt(*m_plot, QPointF(25, y), QPoint(1, 0)), QColor(Qt::white));
    }
    QCOMPARE(shownAt(*m_plot, QPointF(70, -2)), QColor(Qt::white));
}

void TestPlotArea::showsLinesWhereScaledWhenReExposed()
{
    drawCross();
    verifyCross();
    m_plot->hide();
    m_plot->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_plot));
    verifyCross();
    m_plot->update();
    QCoreApplication::processEvents();
    verifyCross();
}

void TestPlotArea::resizedAreaRedrawsLinesAtNewSize()
{
    drawCross();
    const QPoint before = m_plot->toPixel(QPointF(60, 5));
    // Twice the height: a stretched picture would show the red line two pixels thick.
    m_plot->resize(500, 300);
    QTRY_COMPARE(m_plot->size(), QSize(500, 300));
    QVERIFY(m_plot->toPixel(QPointF(60, 5)) != before);
    QCOMPARE(m_plot->image().size(), m_plot->contentsRect().size());
    verifyCross();
}

void TestPlotArea::clsClearsImageAndScreen()
{
    drawCross();
    m_plot->cls();
    const QImage image = m_plot->image();
    QCOMPARE(image.size(), m_plot->contentsRect().size());
    const QImage shown =
        m_plot->grab(m_plot->contentsRect()).toImage().convertToFormat(image.format());
    QCOMPARE(shown, image);
    QImage blank(image.size(), image.format());
    blank.fill(Qt::white);
    QCOMPARE(image, blank);

    // Cleared lines stay gone when the area is drawn anew at another size.
    m_plot->resize(400, 200);
    QTRY_COMPARE(m_plot->size(), QSize(400, 200));
    QCOMPARE(shownAt(*m_plot, QPointF(60, 5)), QColor(Qt::white));
    QCOMPARE(shownAt(*m_plot, QPointF(25, 0)), QColor(Qt::white));
}

void TestPlotArea::repeatedLineKeepsRoomForNewOnes()
{
    // The axes are drawn again with every reply; a line drawn after thousands of them still
    // comes back when the area is resized.
    for (int i = 0; i < 5000; ++i)
        m_plot->line(QLineF(25, 10, 25, -5));
    m_plot->line(QLineF(0, 5, 100, 5), Qt::red);
    verifyCross();
    m_plot->resize(500, 300);
    QTRY_COMPARE(m_plot->size(), QSize(500, 300));
    verifyCross();
}

void TestPlotArea::edgesAndFarPointsStayOnTheArea_data()
{
    // With the scale from (0, 10) to (100, -5); places as fractions of the drawing area.
    QTest::addColumn<QLineF>("line");
    QTest::addColumn<QPointF>("inkAt");
    QTest::addColumn<QPointF>("clearAt");
    QTest::newRow("top edge") << QLineF(0, 10, 100, 10) << QPointF(0.5, 0) << QPointF(0.5, 1);
    QTest::newRow("bottom edge") << QLineF(0, -5, 100, -5) << QPointF(0.5, 1) << QPointF(0.5, 0);
    QTest::newRow("left edge") << QLineF(0, -5, 0, 10) << QPointF(0, 0.5) << QPointF(1, 0.5);
    QTest::newRow("right edge") << QLineF(100, -5, 100, 10) << QPointF(1, 0.5) << QPointF(0, 0.5);
    // Far beyond what an int of pixels holds: the line leaves the area where it points to.
    QTest::newRow("far above") << QLineF(50, 0, 50, 1e300) << QPointF(0.5, 0) << QPointF(0.5, 1);
    QTest::newRow("far below") << QLineF(50, 0, 50, -1e300) << QPointF(0.5, 1) << QPointF(0.5, 0);
    QTest::newRow("far left to far right")
        << QLineF(-1e300, 5, 1e300, 5) << QPointF(1, 1.0 / 3) << QPointF(1, 0.5);
}

void TestPlotArea::edgesAndFarPointsStayOnTheArea()
{
    QFETCH(QLineF, line);
    QFETCH(QPointF, inkAt);
    QFETCH(QPointF, clearAt);
    m_plot->line(line);
    QCOMPARE(shownAtFraction(*m_plot, inkAt), QColor(Qt::black));
    QCOMPARE(shownAtFraction(*m_plot, clearAt), QColor(Qt::white));
}

void TestPlotArea::lineToNoNumberIsNotDrawn()
{
    m_plot->line(QLineF(50, 0, 50, qQNaN()));
    m_plot->resize(400, 200); // drawn anew from the remembered lines
    QTRY_COMPARE(m_plot->size(), QSize(400, 200));
    QImage blank(m_plot->image().size(), m_plot->image().format());
    blank.fill(Qt::white);
    QCOMPARE(m_plot->image(), blank);
}

QTEST_MAIN(TestPlotArea)
#include "tst_plotarea.moc"
