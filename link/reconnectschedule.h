#pragma once

#include <chrono>

// How often the panel looks for a lost adapter when nothing has told it that the device is
// back: about once a second for the first minute after the loss, then about every 5 s for as
// long as the program runs. A change in the device folders brings the next look forward.
namespace ReconnectSchedule {

inline constexpr auto kFastRetry = std::chrono::milliseconds(1000);
inline constexpr auto kSlowRetry = std::chrono::milliseconds(5000);
inline constexpr auto kFastPeriod = std::chrono::seconds(60);
// A burst of changes in /dev (a node, then its symlinks) is looked at once, after it settles.
inline constexpr auto kSettleAfterChange = std::chrono::milliseconds(50);

constexpr std::chrono::milliseconds delayAfter(std::chrono::milliseconds sinceLoss)
{
    return sinceLoss < kFastPeriod ? kFastRetry : kSlowRetry;
}

} // namespace ReconnectSchedule
