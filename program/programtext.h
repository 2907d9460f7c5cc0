#pragma once

#include "program/programstep.h"

#include <QString>
#include <QtGlobal>

// A program's steps and times as the program window writes them.
namespace ProgramText {

// "斜坡 至 流量 500 ml/min 用时 60 秒"
QString step(const ProgramStep &step);
// "m:ss", or "h:mm:ss" from an hour on.
QString duration(qint64 seconds);

} // namespace ProgramText
