#pragma once

#include <QRect>
#include <QSize>

#include <span>

// Where everything of the main window sits, in twips as designed (15 twips are one pixel at
// 96 dpi). This table is the one source of the window's geometry and tab order.
namespace Form1Layout {

inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

inline constexpr int kClientWidthTwips = 10905;
inline constexpr int kClientHeightTwips = 7530;
inline constexpr int kClientLeftTwips = 2025;
inline constexpr int kClientTopTwips = 2115;

enum class Kind { TextBox, KeyButton, ClockLabel, PlotArea };

struct Control
{
    const char *name;
    int index; // keypad buttons that share a name differ by index; -1 elsewhere
    Kind kind;
    const char *text;             // text, caption or the key's face
    const char *face;             // key face image in the resources; nullptr elsewhere
    int left, top, width, height; // twips
    int tabIndex;

    QRect pixelRect() const
    {
        return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                     twipsToPixels(height));
    }
};

std::span<const Control> controls();

// The status area, in twips, over the lower part of the brand panel of the background picture.
inline constexpr QRect kStatusAreaTwips(735, 2190, 4080, 1395);
// The whole brand panel, its rounded frame included: the most the status area may cover.
inline constexpr QRect kBrandPanelTwips(600, 750, 4350, 3000);

constexpr QRect twipsToPixels(const QRect &twips)
{
    return QRect(twipsToPixels(twips.left()), twipsToPixels(twips.top()),
                 twipsToPixels(twips.width()), twipsToPixels(twips.height()));
}

QSize clientSize();
QPoint clientTopLeft();

// Where a window whose designed place is `designed` opens on a screen whose free area is
// `available`: there, if it fits; else at the nearest place inside that does; else at the
// area's top left.
QRect placeOnScreen(const QRect &designed, const QRect &available);
// The window at its designed place: the client area where it was designed, the menu bar of
// this height on top of it.
QRect designedWindow(int menuHeight);

} // namespace Form1Layout
