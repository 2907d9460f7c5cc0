#pragma once

#include <QDateTime>
#include <QString>

// Times written for machines (the reading log, event lines, exports, the broker): ISO 8601
// local time with milliseconds and its UTC offset, always as ±hh:mm, never "Z", so that each
// time says where it was taken, across a daylight-saving change too.
namespace IsoTime {

// "2026-12-07T21:34:07.817+08:00"; empty for an invalid time.
QString withOffset(const QDateTime &time);

} // namespace IsoTime
