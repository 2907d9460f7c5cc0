#include "tools/artgen/artworkpainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// The panel paints no backdrop of its own, so this blue is what the operator
// sees around every widget; it has to stay exactly (0, 0, 255).
const QColor PanelBlue(0, 0, 255);
const QColor Cyan(0, 255, 255);
const QColor BadgeBlue(40, 80, 230);
const QColor KeyBlue(0, 60, 200);
const QColor KeyHighlight(90, 140, 255);
const QColor KeyShadow(0, 20, 110);

// Pixel rows (top edge) of the three numeric text boxes in the display frame.
constexpr int DisplayRowTops[] = {40, 64, 88};
constexpr int DisplayRowHeight = 22;
constexpr qreal CaptionRightX = 530;
constexpr qreal UnitLeftX = 584;

// The pressure plot widget's outline and the pixel rows its scale marks sit on.
constexpr int PlotLeft = 39;
constexpr int PlotTop = 311;
constexpr int PlotRight = 705;
constexpr int PlotBottom = 458;
constexpr struct
{
    const char *label;
    int row;
} PlotScale[] = {{"2.0", 311}, {"1.5", 336}, {"1.0", 360}, {"0.5", 383}, {"0.0", 408}};

// Baseline that puts the ink of `sample` (not the font's line box) centred on
// centreY; CJK fonts carry a lot of empty descent, so box centring sits too high.
qreal baselineCentring(const QFontMetricsF &metrics, const QString &sample, qreal centreY)
{
    const QRectF ink = metrics.tightBoundingRect(sample);
    return centreY - (ink.top() + ink.height() / 2);
}

// Draws text whose ink is centred on (centreX, centreY).
void drawCentred(QPainter &painter, const QPointF &centre, const QString &text)
{
    const QRectF ink = QFontMetricsF(painter.font()).tightBoundingRect(text);
    painter.drawText(QPointF(centre.x() - (ink.left() + ink.width() / 2),
                             centre.y() - (ink.top() + ink.height() / 2)),
                     text);
}

void drawRightAligned(QPainter &painter, qreal rightX, qreal baseline, const QString &text)
{
    const qreal advance = QFontMetricsF(painter.font()).horizontalAdvance(text);
    painter.drawText(QPointF(rightX - advance, baseline), text);
}

} // namespace

QFont ArtworkPainter::panelFont(int pixelSize, bool bold)
{
    QFont font;
    // SimSun is what the panel's target machines have; WenQuanYi covers Debian.
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QImage ArtworkPainter::canvas(int width, int height, QImage::Format format) const
{
    QImage image(width * m_scale, height * m_scale, format);
    image.setDevicePixelRatio(m_scale);
    return image;
}

QImage ArtworkPainter::background() const
{
    QImage image = canvas(BackgroundWidth, BackgroundHeight, QImage::Format_RGB32);
    image.fill(PanelBlue);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // Model badge, left of the display frame and clear of the clock row above y = 40.
    const QRectF badge(41, 51, 288, 198);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(BadgeBlue);
    painter.drawRoundedRect(badge, 12, 12);
    painter.setPen(Qt::white);
    painter.setFont(panelFont(34, true));
    drawCentred(painter, QPointF(badge.center().x(), 104), QStringLiteral("Corvane"));
    painter.setPen(QPen(Cyan, 1));
    painter.drawLine(QPointF(80, 133.5), QPointF(290, 133.5));
    painter.setFont(panelFont(22, false));
    drawCentred(painter, QPointF(badge.center().x(), 163), QStringLiteral("KMW7R35"));
    painter.setPen(Qt::white);
    painter.setFont(panelFont(16, false));
    drawCentred(painter, QPointF(badge.center().x(), 214), QStringLiteral("恒流恒压泵控制面板"));

    // Display frame around the three value boxes; the boxes themselves are
    // widgets, so only captions and units are painted here.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Cyan, 2));
    painter.drawRoundedRect(QRectF(421, 29, 268, 92), 10, 10);
    const QFont captionFont = panelFont(16, true);
    painter.setFont(captionFont);
    const QFontMetricsF captionMetrics(captionFont);
    const QString captions[] = {QStringLiteral("当前压力"), QStringLiteral("设定压力"),
                                QStringLiteral("设定流量")};
    const QString units[] = {QStringLiteral("Mpa"), QStringLiteral("Mpa"), QStringLiteral("Ml/m")};
    for (int row = 0; row < 3; ++row) {
        const qreal centreY = DisplayRowTops[row] + DisplayRowHeight / 2.0;
        // Captions and units share one baseline so the row reads as one line.
        const qreal baseline = baselineCentring(captionMetrics, captions[row], centreY);
        drawRightAligned(painter, CaptionRightX, baseline, captions[row]);
        painter.drawText(QPointF(UnitLeftX, baseline), units[row]);
    }

    // Plot heading and frame. The 2 px frame lies on the widget's edge pixels
    // and one pixel outside, so a border stays visible with the widget on top.
    painter.setPen(Qt::white);
    painter.setFont(panelFont(16, false));
    painter.drawText(QPointF(40, 302), QStringLiteral("当前泵压力 (单位: Mpa)"));
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(PlotLeft, PlotTop, PlotRight + 1 - PlotLeft, PlotBottom + 1 - PlotTop));

    // Scale labels and marks, each centred on its pixel row.
    painter.setFont(panelFont(12, false));
    for (const auto &mark : PlotScale) {
        const qreal centreY = mark.row + 0.5;
        const QString label = QString::fromLatin1(mark.label);
        const qreal baseline = baselineCentring(QFontMetricsF(painter.font()), label, centreY);
        painter.setPen(Qt::white);
        drawRightAligned(painter, 33, baseline, label);
        painter.setPen(QPen(Qt::white, 1, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(35, centreY), QPointF(PlotLeft + 1, centreY));
    }
    return image;
}

QImage ArtworkPainter::blankKey() const
{
    // Drawn pixel by pixel without antialiasing: at 39 x 21 a crisp one-pixel
    // bevel reads better than a blurred rounded path. The bevel is filled
    // rectangles, not lines, so at 2x and 3x it covers whole logical pixels.
    QImage image = canvas(KeyWidth, KeyHeight, QImage::Format_RGB32);
    image.fill(PanelBlue);
    QPainter painter(&image);
    const int right = KeyWidth - 1;
    const int bottom = KeyHeight - 1;
    painter.fillRect(1, 1, KeyWidth - 2, KeyHeight - 2, KeyBlue);
    painter.fillRect(1, 0, right - 1, 1, KeyHighlight);
    painter.fillRect(0, 1, 1, bottom - 1, KeyHighlight);
    painter.fillRect(1, bottom, right - 1, 1, KeyShadow);
    painter.fillRect(right, 1, 1, bottom - 1, KeyShadow);
    return image;
}

QImage ArtworkPainter::textKeyFace(const QString &label) const
{
    QImage image = blankKey();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::white);

    // Single characters get the largest size; longer words shrink until they
    // leave a pixel or two of key colour on each side.
    int pixelSize = label.size() == 1 ? 14 : 12;
    const qreal maxWidth = KeyWidth - 6;
    const qreal maxHeight = KeyHeight - 6;
    QFont font = panelFont(pixelSize, true);
    while (pixelSize > 7) {
        const QRectF ink = QFontMetricsF(font).tightBoundingRect(label);
        if (ink.width() <= maxWidth && ink.height() <= maxHeight)
            break;
        font = panelFont(--pixelSize, true);
    }
    painter.setFont(font);
    drawCentred(painter, QPointF(KeyWidth / 2.0, KeyHeight / 2.0), label);
    return image;
}

QImage ArtworkPainter::arrowKeyFace(Arrow arrow) const
{
    QImage image = blankKey();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);

    // A polygon rather than a glyph: the arrow characters are missing or
    // badly sized in several of the fonts the panel may fall back to.
    const qreal cx = KeyWidth / 2.0;
    const qreal top = 6;
    const qreal base = 15;
    const qreal halfWidth = 6;
    QPolygonF triangle;
    if (arrow == Arrow::Up)
        triangle << QPointF(cx, top) << QPointF(cx + halfWidth, base)
                 << QPointF(cx - halfWidth, base);
    else
        triangle << QPointF(cx - halfWidth, top) << QPointF(cx + halfWidth, top)
                 << QPointF(cx, base);
    painter.drawPolygon(triangle);
    return image;
}

QImage ArtworkPainter::icon() const
{
    QImage image = canvas(IconSize, IconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawIcon(painter);
    return image;
}

void ArtworkPainter::drawIcon(QPainter &painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // A pressure gauge: blue dial, cyan rim, white needle.
    const QPointF centre(IconSize / 2.0, IconSize / 2.0);
    painter.setPen(QPen(Cyan, 2.5));
    painter.setBrush(KeyBlue);
    painter.drawEllipse(centre, 13.5, 13.5);

    painter.setPen(QPen(Cyan, 1.5, Qt::SolidLine, Qt::FlatCap));
    for (int step = 0; step <= 4; ++step) {
        // Scale marks from lower left, over the top, to lower right.
        const qreal degrees = 225.0 - step * 67.5;
        QLineF mark = QLineF::fromPolar(10, degrees).translated(centre);
        mark.setP1(QLineF::fromPolar(7.5, degrees).translated(centre).p2());
        painter.drawLine(mark);
    }

    painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, QLineF::fromPolar(9, 50).translated(centre).p2());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, 2.5, 2.5);
    painter.restore();
}

QImage ArtworkPainter::launcherIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(qreal(size) / IconSize, qreal(size) / IconSize);
    drawIcon(painter);
    return image;
}
