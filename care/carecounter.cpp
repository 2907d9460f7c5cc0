#include "care/carecounter.h"

#include <QLocale>

QString CareCounter::key(Kind kind)
{
    static const char *const kKeys[kCount] = {"volumeMl", "pressureLoadMPaL", "runHours", "starts",
                                              "highestMPa"};
    return QString::fromLatin1(kKeys[int(kind)]);
}

QString CareCounter::name(Kind kind)
{
    static const char *const kNames[kCount] = {"泵送体积", "压力负荷", "运行时间", "启动次数",
                                               "最高压力"};
    return QString::fromUtf8(kNames[int(kind)]);
}

QString CareCounter::part(Kind kind)
{
    // The seals wear with the liquid pushed past them and the pressure it is pushed against; the
    // check valves with the hours they open and close; the motor with each start.
    static const char *const kParts[kCount] = {"密封圈", "密封圈（压力负荷）", "单向阀",
                                               "电机（启动次数）", "最高压力"};
    return QString::fromUtf8(kParts[int(kind)]);
}

QString CareCounter::unit(Kind kind)
{
    static const char *const kUnits[kCount] = {"ml", "MPa·L", "h", "次", "MPa"};
    return QString::fromUtf8(kUnits[int(kind)]);
}

QString CareCounter::valueText(Kind kind, double value)
{
    static const int kDecimals[kCount] = {1, 3, 2, 0, 1};
    return QStringLiteral("%1 %2")
        .arg(QLocale::c().toString(value, 'f', kDecimals[int(kind)]), unit(kind));
}
