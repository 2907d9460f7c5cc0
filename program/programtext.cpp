#include "program/programtext.h"

#include <QStringList>

using Kind = ProgramStep::Kind;

namespace {

QString mpaText(int tenths)
{
    return QString::number(tenths / 10.0, 'f', 1);
}

QString setpointsText(const ProgramStep &step)
{
    QStringList parts;
    if (step.flow)
        parts << QStringLiteral("流量 %1 ml/min").arg(*step.flow);
    if (step.limit)
        parts << QStringLiteral("限压 %1 MPa").arg(mpaText(*step.limit));
    return parts.join(u' ');
}

} // namespace

QString ProgramText::step(const ProgramStep &step)
{
    switch (step.kind) {
    case Kind::Set:
        return QStringLiteral("设定 ") + setpointsText(step);
    case Kind::Ramp:
        return QStringLiteral("斜坡 至 %1 用时 %2 秒").arg(setpointsText(step)).arg(step.seconds);
    case Kind::Hold:
        return QStringLiteral("保持 %1 秒").arg(step.seconds);
    case Kind::Run:
        return QStringLiteral("运行");
    case Kind::Stop:
        return QStringLiteral("停止");
    case Kind::Repeat:
        return QStringLiteral("重复 %1 次").arg(step.times);
    case Kind::WaitUntil:
        return QStringLiteral("等待 压力%1 %2 MPa 连续 %3 个读数 超时 %4 秒 %5")
            .arg(step.above ? QStringLiteral("高于") : QStringLiteral("低于"),
                 mpaText(step.valueTenths))
            .arg(step.readings)
            .arg(step.seconds)
            .arg(step.endOnTimeout ? QStringLiteral("后结束程序") : QStringLiteral("后继续"));
    }
    return {};
}

QString ProgramText::duration(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds = QStringLiteral("%1:%2")
                                       .arg(hours > 0 ? (seconds / 60) % 60 : seconds / 60,
                                            hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
                                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:%2").arg(hours).arg(minutesSeconds) : minutesSeconds;
}
