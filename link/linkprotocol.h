#pragma once

#include <chrono>

// The pump's wire protocol: nine-character ASCII frames "Q" + address(2) + letter + value(4) + "Y",
// no terminator, 9600 baud, no parity, 8 data bits, 1 stop bit.
namespace LinkProtocol {

inline constexpr int kFrameLength = 9;
inline constexpr char kStartChar = 'Q';
inline constexpr char kEndChar = 'Y';

inline constexpr char kRunFrame[] = "Q00R0000Y";
inline constexpr char kStopFrame[] = "Q00S0000Y";
inline constexpr char kPollFrame[] = "Q00F0000Y";

inline constexpr char kLineSettings[] = "9600,n,8,1";
inline constexpr int kReceiveThreshold = kFrameLength;

inline constexpr auto kPollInterval = std::chrono::milliseconds(1500);
// A reading counts as stale once this many polls have gone out without an N reply.
inline constexpr int kPollsUntilStale = 3;

} // namespace LinkProtocol
