#pragma once

#include <QString>

// The frame that sets the flow (L, ml/min) or the protection pressure (P, MPa) of the pump at
// an address, for the keypad and the settings dialogs alike. Only a value from 0 up to its
// limit, the limit itself included, gets a frame, and only a frame of nine characters; for
// anything else the text is empty and nothing may be sent.
namespace SetpointFrame {

enum class Kind { Flow, Pressure };

inline constexpr double kFlowLimit = 1000;  // ml/min
inline constexpr double kPressureLimit = 2; // MPa

QString make(Kind kind, const QString &address, double value);

} // namespace SetpointFrame
