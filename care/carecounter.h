#pragma once

#include <QString>

#include <array>

// The counters of pump care, each with the name it is kept under in the counter file and the
// published state, the name the window gives it, the part it wears, and the unit of its limit.
namespace CareCounter {

enum class Kind { Volume, PressureLoad, RunTime, Starts, HighestPressure };
inline constexpr int kCount = int(Kind::HighestPressure) + 1;
inline constexpr std::array kAll{Kind::Volume, Kind::PressureLoad, Kind::RunTime, Kind::Starts,
                                 Kind::HighestPressure};

// "volumeMl", "pressureLoadMPaL", "runHours", "starts", "highestMPa".
QString key(Kind kind);
// 泵送体积, 压力负荷, 运行时间, 启动次数, 最高压力.
QString name(Kind kind);
// What wears with it, for the status area: 密封圈, 单向阀, 电机.
QString part(Kind kind);
// ml, MPa·L, h, 次, MPa.
QString unit(Kind kind);
// A counter's value in its unit, as the window and the report show it.
QString valueText(Kind kind, double value);

} // namespace CareCounter
