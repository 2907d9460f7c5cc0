#pragma once

#include <QColor>

// The panel's colours.
namespace PanelPalette {

inline constexpr QColor kBlue(0, 0, 255);          // window and text-box background
inline constexpr QColor kCyan(0, 255, 255);        // window foreground, text-box text
inline constexpr QColor kStaleGrey(150, 150, 150); // a reading that has not been renewed
inline constexpr QColor kTrendRed(255, 0, 0);

} // namespace PanelPalette
