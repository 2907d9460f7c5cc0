#include "care/carebook.h"

#include "link/numbertext.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

using CareCounter::Kind;

namespace {

const QString kFormatKey = QStringLiteral("format");
const QString kAdapterKey = QStringLiteral("adapter");
const QString kCountersKey = QStringLiteral("counters");
const QString kLimitsKey = QStringLiteral("limits");
const QString kServicesKey = QStringLiteral("services");
const QString kFlowKey = QStringLiteral("flowMlPerMin");

bool isCount(const QJsonValue &value)
{
    return value.isDouble() && std::isfinite(value.toDouble()) && value.toDouble() >= 0;
}

} // namespace

std::optional<int> CareBook::percent(Kind kind) const
{
    const std::optional<double> limit = limits[int(kind)];
    if (!limit || *limit <= 0)
        return std::nullopt;
    return int(std::floor(values[int(kind)] * 100.0 / *limit));
}

int CareBook::level(Kind kind) const
{
    const std::optional<int> used = percent(kind);
    if (!used || *used < kWarnPercent)
        return 0;
    return *used >= 100 ? 2 : 1;
}

QString CareBook::dueText() const
{
    std::optional<Kind> nearest;
    int near = 0;
    for (const Kind kind : CareCounter::kAll) {
        if (level(kind) == 0)
            continue;
        ++near;
        if (!nearest || *percent(kind) > *percent(*nearest))
            nearest = kind;
    }
    if (!nearest)
        return {};
    const int used = *percent(*nearest);
    QString text = used >= 100 ? QStringLiteral("维护：%1已到期（已用 %2 %），请维护")
                                     .arg(CareCounter::part(*nearest))
                                     .arg(used)
                               : QStringLiteral("维护：%1已用 %2 %")
                                     .arg(CareCounter::part(*nearest))
                                     .arg(used);
    if (near > 1)
        text += QStringLiteral("，另有 %1 项将到期").arg(near - 1);
    return text;
}

QString CareBook::summary() const
{
    QStringList parts;
    for (const Kind kind : CareCounter::kAll)
        parts << CareCounter::name(kind) + QLatin1Char(' ') +
                     CareCounter::valueText(kind, values[int(kind)]);
    return parts.join(QStringLiteral("，"));
}

QByteArray CareBook::encode() const
{
    QJsonObject counters, limitObject, serviceObject;
    for (const Kind kind : CareCounter::kAll) {
        const QString key = CareCounter::key(kind);
        counters.insert(key, values[int(kind)]);
        if (limits[int(kind)])
            limitObject.insert(key, *limits[int(kind)]);
        if (const Service &service = services[int(kind)]; service.time.isValid())
            serviceObject.insert(key,
                                 QJsonObject{{QStringLiteral("time"),
                                              service.time.toString(Qt::ISODateWithMs)},
                                             {QStringLiteral("who"), service.who},
                                             {QStringLiteral("remark"), service.remark}});
    }
    QJsonObject file{{kFormatKey, kFormat},
                     {kAdapterKey, adapter},
                     {kCountersKey, counters},
                     {kLimitsKey, limitObject},
                     {kServicesKey, serviceObject}};
    if (flowMlPerMin)
        file.insert(kFlowKey, *flowMlPerMin);
    return QJsonDocument(file).toJson();
}

std::optional<CareBook> CareBook::decode(const QByteArray &bytes, QString *problem)
{
    const auto refuse = [problem](const QString &why) {
        *problem = why;
        return std::nullopt;
    };
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return refuse(QStringLiteral("内容损坏"));
    const QJsonObject file = document.object();
    const QJsonValue format = file.value(kFormatKey);
    if (!format.isDouble() || format.toDouble() != std::floor(format.toDouble()) ||
        format.toInt() < 1)
        return refuse(QStringLiteral("内容损坏（没有格式编号）"));
    if (format.toInt() > kFormat)
        return refuse(QStringLiteral("格式 %1 较新，本程序只读格式 %2")
                          .arg(format.toInt())
                          .arg(kFormat));
    CareBook book;
    book.adapter = file.value(kAdapterKey).toString();
    const QJsonObject counters = file.value(kCountersKey).toObject();
    const QJsonObject limitObject = file.value(kLimitsKey).toObject();
    const QJsonObject serviceObject = file.value(kServicesKey).toObject();
    for (const Kind kind : CareCounter::kAll) {
        const QString key = CareCounter::key(kind);
        const QJsonValue count = counters.value(key);
        if (!isCount(count))
            return refuse(QStringLiteral("内容损坏（%1）").arg(CareCounter::name(kind)));
        book.values[int(kind)] = count.toDouble();
        if (const QJsonValue limit = limitObject.value(key); !limit.isUndefined()) {
            if (!isCount(limit) || limit.toDouble() <= 0 || limit.toDouble() > kMostLimit)
                return refuse(QStringLiteral("内容损坏（%1的限值）").arg(CareCounter::name(kind)));
            book.limits[int(kind)] = limit.toDouble();
        }
        const QJsonObject service = serviceObject.value(key).toObject();
        book.services[int(kind)] = {
            QDateTime::fromString(service.value(QStringLiteral("time")).toString(),
                                  Qt::ISODateWithMs),
            service.value(QStringLiteral("who")).toString(),
            service.value(QStringLiteral("remark")).toString()};
    }
    if (const QJsonValue flow = file.value(kFlowKey); isCount(flow))
        book.flowMlPerMin = flow.toDouble();
    problem->clear();
    return book;
}

std::optional<double> CareBook::parseLimit(Kind kind, const QString &text, QString *problem)
{
    problem->clear();
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const std::optional<double> limit = NumberText::toDouble(text);
    if (!limit || !(*limit > 0) || *limit > kMostLimit)
        *problem = QStringLiteral("%1的限值“%2”无效：应大于 0 且不超过 1000000000（%3）")
                       .arg(CareCounter::name(kind), text.trimmed(), CareCounter::unit(kind));
    return *problem == QString() ? limit : std::nullopt;
}
