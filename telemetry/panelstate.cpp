#include "telemetry/panelstate.h"

#include "link/numbertext.h"
#include "records/isotime.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue timeOrNull(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(IsoTime::withOffset(time)) : QJsonValue();
}

// {"value": 250, "pump": 0, "time": ...} from the frame as sent ("Q00L0250Y"), or null.
QJsonValue setpoint(const QString &frame, const QDateTime &time)
{
    if (frame.size() != 9)
        return QJsonValue();
    const std::optional<double> value = NumberText::toDouble(frame.mid(4, 4));
    return QJsonObject{{QStringLiteral("value"), value ? QJsonValue(*value) : QJsonValue()},
                       {QStringLiteral("pump"), frame.mid(1, 2).toInt()},
                       {QStringLiteral("time"), timeOrNull(time)}};
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
        {QStringLiteral("commanded"), commanded.isEmpty() ? QJsonValue() : QJsonValue(commanded)},
        {QStringLiteral("commandedAt"), timeOrNull(commandedTime)},
        {QStringLiteral("run"),
         QJsonObject{{QStringLiteral("setTime"), runSetTime},
                     {QStringLiteral("setTimeSeconds"),
                      runSetSeconds > 0 ? QJsonValue(runSetSeconds) : QJsonValue()},
                     {QStringLiteral("startedAt"), timeOrNull(runStartedAt)},
                     {QStringLiteral("mode"), runMode},
                     {QStringLiteral("pendingStop"), pendingStop}}},
        {QStringLiteral("alarms"), QJsonArray::fromStringList(alarms)},
        {QStringLiteral("setpoints"),
         QJsonObject{{QStringLiteral("flow"), setpoint(flowFrame, flowTime)},
                     {QStringLiteral("limit"), setpoint(limitFrame, limitTime)},
                     // What a null means: nothing sent since then, so unknown.
                     {QStringLiteral("knownSince"), timeOrNull(startedAt)}}},
        {QStringLiteral("program"),
         programName.isEmpty()
             ? QJsonValue()
             : QJsonObject{{QStringLiteral("name"), programName},
                           {QStringLiteral("step"), programStep},
                           {QStringLiteral("stepPath"),
                            programStepPath.isEmpty() ? QJsonValue() : QJsonValue(programStepPath)},
                           {QStringLiteral("state"), programState}}},
        {QStringLiteral("care"), care.isEmpty() ? QJsonValue() : QJsonValue(care)},
        {QStringLiteral("remote"), remote.isEmpty() ? QJsonValue() : QJsonValue(remote)},
        {QStringLiteral("readingsDropped"), qint64(readingsDropped)},
        {QStringLiteral("eventsDropped"), qint64(eventsDropped)},
    };
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}
