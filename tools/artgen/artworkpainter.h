#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

// Paints the panel's fixed bitmaps: the window background, the keypad key
// faces and the application icon. Geometry here must match where the panel
// places its widgets over the background. Everything is drawn in logical
// pixels; `scale` (1, 2, 3) only sets the device pixel ratio, so the @2x and
// @3x variants show the same picture with finer pixels.
class ArtworkPainter
{
public:
    explicit ArtworkPainter(int scale = 1) : m_scale(scale) {}

    enum class Arrow { Up, Down };

    static constexpr int BackgroundWidth = 820;
    static constexpr int BackgroundHeight = 616;
    static constexpr int KeyWidth = 39;
    static constexpr int KeyHeight = 21;
    static constexpr int IconSize = 32;

    QImage background() const;
    QImage textKeyFace(const QString &label) const;
    QImage arrowKeyFace(Arrow arrow) const;
    QImage icon() const;
    // The same gauge for launchers and software centres, `size` pixels square.
    static QImage launcherIcon(int size);
    // Draws the gauge into IconSize x IconSize logical units of `painter`: the window's icon,
    // the launchers' PNGs and the scalable SVG all come from here.
    static void drawIcon(QPainter &painter);

private:
    static QFont panelFont(int pixelSize, bool bold);
    QImage canvas(int width, int height, QImage::Format format) const;
    QImage blankKey() const;

    int m_scale;
};
