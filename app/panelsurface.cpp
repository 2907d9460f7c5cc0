#include "app/panelsurface.h"

#include "app/panelpalette.h"

#include <QFile>
#include <QImageReader>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

PanelSurface::PanelSurface(const QString &picturePath, const QSize &shownSize, QWidget *parent)
    : QWidget(parent), m_picturePath(picturePath), m_pictureCovers(shownSize)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Decoding the picture is the longest single step of the start; fonts and widgets are set
    // up meanwhile. The screen's ratio is known before the window is shown.
    m_decoding = std::async(std::launch::async, &PanelSurface::decode, picturePath, shownSize,
                            devicePixelRatioF());
}

// The future of std::async waits for a decoding still under way.
PanelSurface::~PanelSurface() = default;

namespace {

constexpr int kLargestVariant = 3;

// The name of a picture's variant for n times the density; n = 1 is the picture itself.
QString variantName(const QString &picture, int n)
{
    const qsizetype dot = picture.lastIndexOf(u'.');
    return n == 1 || dot < 0 ? picture
                             : QString(picture).insert(dot, QStringLiteral("@%1x").arg(n));
}

} // namespace

QString PanelSurface::variantFor(const QString &picturePath, qreal devicePixelRatio)
{
    const int wanted = std::clamp(int(std::ceil(devicePixelRatio - 0.01)), 1, kLargestVariant);
    for (int n = wanted; n <= kLargestVariant; ++n) {
        if (const QString name = variantName(picturePath, n); QFile::exists(name))
            return name;
    }
    for (int n = wanted - 1; n > 1; --n) {
        if (const QString name = variantName(picturePath, n); QFile::exists(name))
            return name;
    }
    return picturePath;
}

PanelSurface::Picture PanelSurface::decode(const QString &picturePath, QSize shown, qreal ratio)
{
    QImageReader reader(variantFor(picturePath, ratio));
    const QSize full = reader.size();
    const QSize base = QImageReader(picturePath).size();
    if (!full.isValid() || !base.isValid() || base.isEmpty())
        return {{}, ratio, true};
    const qreal variantRatio = qreal(full.width()) / base.width();
    const QRect whole(QPoint(0, 0), full);
    const QRect clip =
        QRect(QPoint(0, 0), (QSizeF(shown) * variantRatio).toSize()).intersected(whole);
    if (clip != whole)
        reader.setClipRect(clip);
    QImage image = reader.read();
    image.setDevicePixelRatio(variantRatio);
    return {image, ratio, clip == whole};
}

const QImage &PanelSurface::picture()
{
    if (m_decoding.valid())
        m_picture = m_decoding.get();
    // On a screen of another density, or enlarged beyond what was read: read it again.
    const qreal ratio = devicePixelRatioF();
    const QSize shown = size().expandedTo(m_pictureCovers);
    if (!qFuzzyCompare(m_picture.decodedFor, ratio) ||
        (!m_picture.whole && shown != m_pictureCovers)) {
        m_picture = decode(m_picturePath, shown, ratio);
        m_pictureCovers = shown;
    }
    return m_picture.image;
}

void PanelSurface::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    // Only a screen between the variants' densities scales the picture.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillRect(event->rect(), PanelPalette::kBlue);
    painter.drawImage(QPoint(0, 0), picture());
}
