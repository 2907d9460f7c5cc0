#include "program/programposition.h"

#include <QJsonArray>

#include <cmath>
#include <limits>

namespace {

const QString kInEnd = QStringLiteral("inEnd");
const QString kPath = QStringLiteral("path");
const QString kSeconds = QStringLiteral("secondsIntoStep");
const QString kFlow = QStringLiteral("flow");
const QString kLimit = QStringLiteral("limit");
const QString kFlowAtStart = QStringLiteral("flowAtStepStart");
const QString kLimitAtStart = QStringLiteral("limitAtStepStart");
const QString kPumpRun = QStringLiteral("pumpRun");

void insert(QJsonObject &json, const QString &key, std::optional<int> value)
{
    if (value)
        json.insert(key, *value);
}

bool isWhole(const QJsonValue &value)
{
    const double number = value.toDouble(-1);
    return value.isDouble() && number >= 0 && number == std::trunc(number) && number < 1e15;
}

// A key that is there holds a whole number; one that is not leaves the value empty.
bool take(const QJsonObject &json, const QString &key, std::optional<int> &out)
{
    if (!json.contains(key))
        return true;
    if (!isWhole(json.value(key)) || json.value(key).toDouble() > std::numeric_limits<int>::max())
        return false;
    out = json.value(key).toInt();
    return true;
}

} // namespace

QJsonObject ProgramPosition::toJson() const
{
    QJsonArray steps;
    for (int index : path)
        steps.append(index);
    QJsonObject json{
        {kInEnd, inEnd}, {kPath, steps}, {kSeconds, secondsIntoStep}, {kPumpRun, pumpRun}};
    insert(json, kFlow, flow);
    insert(json, kLimit, limit);
    insert(json, kFlowAtStart, flowAtStepStart);
    insert(json, kLimitAtStart, limitAtStepStart);
    return json;
}

std::optional<ProgramPosition> ProgramPosition::fromJson(const QJsonObject &json)
{
    ProgramPosition position;
    if (!json.value(kInEnd).isBool() || !json.value(kPath).isArray() ||
        !isWhole(json.value(kSeconds)) || !json.value(kPumpRun).isBool())
        return std::nullopt;
    position.inEnd = json.value(kInEnd).toBool();
    position.secondsIntoStep = qint64(json.value(kSeconds).toDouble());
    position.pumpRun = json.value(kPumpRun).toBool();
    for (const QJsonValue index : json.value(kPath).toArray()) {
        if (!isWhole(index) || index.toDouble() > std::numeric_limits<int>::max())
            return std::nullopt;
        position.path.append(index.toInt());
    }
    if (!take(json, kFlow, position.flow) || !take(json, kLimit, position.limit) ||
        !take(json, kFlowAtStart, position.flowAtStepStart) ||
        !take(json, kLimitAtStart, position.limitAtStepStart))
        return std::nullopt;
    return position;
}
