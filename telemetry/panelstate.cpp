#include "telemetry/panelstate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue timeOrNull(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODateWithMs)) : QJsonValue();
}

} // namespace

QByteArray PanelState::toJson(quint64 readingsDropped) const
{
    const QJsonObject state{
        {QStringLiteral("link"),
         QJsonObject{{QStringLiteral("state"), link}, {QStringLiteral("device"), device}}},
        {QStringLiteral("lastFrame"),
         lastFrame.isEmpty() ? QJsonValue()
                             : QJsonObject{{QStringLiteral("frame"), lastFrame},
                                           {QStringLiteral("source"), lastFrameSource},
                                           {QStringLiteral("time"), timeOrNull(lastFrameTime)}}},
        {QStringLiteral("pump"), pumpNumber},
        {QStringLiteral("run"), QJsonObject{{QStringLiteral("setTime"), runSetTime},
                                            {QStringLiteral("startedAt"), timeOrNull(runStartedAt)},
                                            {QStringLiteral("mode"), runMode},
                                            {QStringLiteral("pendingStop"), pendingStop}}},
        {QStringLiteral("alarms"), QJsonArray::fromStringList(alarms)},
        {QStringLiteral("readingsDropped"), qint64(readingsDropped)},
    };
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}
