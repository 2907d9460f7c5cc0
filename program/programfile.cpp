#include "program/programfile.h"

#include "files/boundedread.h"
#include "program/programlimits.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

using namespace ProgramLimits;

namespace {

// A decimal fraction read from text is the double nearest to it, never the fraction itself
// (1.2 is 1.19999...). Anything within this of a tenth was written as that tenth; 1.55 is
// 0.05 away and is refused rather than rounded.
constexpr double kTenthTolerance = 1e-9;

const QString kSet = QStringLiteral("set");
const QString kRun = QStringLiteral("run");
const QString kStop = QStringLiteral("stop");
const QString kRamp = QStringLiteral("ramp");
const QString kHold = QStringLiteral("hold");
const QString kRepeat = QStringLiteral("repeat");
const QString kWaitUntil = QStringLiteral("waitUntil");

QString syntaxProblem(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("对象缺少结尾的 }");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("字段名后缺少冒号");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("列表缺少结尾的 ]");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("缺少分隔的逗号");
    case QJsonParseError::IllegalNumber:
    case QJsonParseError::TerminationByNumber:
        return QStringLiteral("数字不完整");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("文字中有无效的转义");
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("文字不是有效的 UTF-8");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("文字缺少结尾的引号");
    case QJsonParseError::MissingObject:
        return QStringLiteral("应为一个对象");
    case QJsonParseError::DeepNesting:
        return QStringLiteral("嵌套太深");
    case QJsonParseError::DocumentTooLarge:
        return QStringLiteral("文件太大");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("结尾后还有多余的内容");
    default:
        return QStringLiteral("无效的值");
    }
}

// JSON that names a field twice in one object is valid, and a reader keeps one of the two
// silently ("pump": 0, "pump": 7 loads pump 7). The text is read once more for that: the first
// field named again in its object, with its line. Only called on text that parsed.
std::optional<std::pair<QString, qsizetype>> repeatedField(const QByteArray &bytes)
{
    struct Level
    {
        bool object = false;
        bool expectsName = false;
        QSet<QString> names;
    };
    std::vector<Level> levels;
    qsizetype line = 1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            ++line;
        } else if (c == '{' || c == '[') {
            levels.push_back({c == '{', c == '{', {}});
        } else if ((c == '}' || c == ']') && !levels.empty()) {
            levels.pop_back();
        } else if (c == ',' && !levels.empty() && levels.back().object) {
            levels.back().expectsName = true;
        } else if (c == ':' && !levels.empty()) {
            levels.back().expectsName = false;
        } else if (c == '"') {
            // A string; its escapes decoded, so that "pump" and "\u0070ump" are one name.
            QString text;
            qsizetype from = i + 1;
            qsizetype at = from;
            for (; at < bytes.size() && bytes[at] != '"'; ++at) {
                if (bytes[at] != '\\')
                    continue;
                text += QString::fromUtf8(bytes.mid(from, at - from));
                const char e = at + 1 < bytes.size() ? bytes[at + 1] : '\0';
                if (e == 'u') {
                    text += QChar(bytes.mid(at + 2, 4).toUShort(nullptr, 16));
                    at += 5;
                } else {
                    text += QLatin1Char(e == 'n'   ? '\n'
                                        : e == 't' ? '\t'
                                        : e == 'r' ? '\r'
                                        : e == 'b' ? '\b'
                                        : e == 'f' ? '\f'
                                                   : e);
                    at += 1;
                }
                from = at + 1;
            }
            text += QString::fromUtf8(bytes.mid(from, at - from));
            i = at;
            if (!levels.empty() && levels.back().object && levels.back().expectsName) {
                if (levels.back().names.contains(text))
                    return std::pair(text, line);
                levels.back().names.insert(text);
            }
        }
    }
    return std::nullopt;
}

QString numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// Where a value is in the file. Written out only for a message, as most files have none.
struct Place
{
    const Place *parent = nullptr;
    QString key;          // a field's name
    qsizetype index = -1; // or an item's index in a list

    Place field(const QString &name) const { return {this, name, -1}; }
    Place item(qsizetype i) const { return {this, QString(), i}; }
    QString text() const
    {
        const QString before = parent ? parent->text() : QString();
        if (index >= 0)
            return before + u'[' + QString::number(index) + u']';
        return before.isEmpty() ? key : before + u'.' + key;
    }
};

// Checks a program's JSON in the order the program would run, so that a ramp can be told
// whether its quantity was set before it.
class Reader
{
public:
    explicit Reader(bool setpointsInForce)
        : m_flowSet(setpointsInForce), m_limitSet(setpointsInForce)
    {
    }
    std::optional<Program> read(const QJsonObject &root);
    QString problem() const { return m_problem; }

private:
    bool fail(const Place &place, const QString &what);
    bool onlyKnown(const QJsonObject &object, const Place &place,
                   std::initializer_list<const char *> known);
    bool present(const QJsonObject &object, const char *key, const Place &owner, QJsonValue &value);
    bool whole(const QJsonObject &object, const char *key, const Place &owner, int lowest,
               int highest, const QString &meaning, int &out);
    bool tenths(const QJsonObject &object, const char *key, const Place &owner,
                const QString &meaning, int &out);
    bool word(const QJsonObject &object, const char *key, const Place &owner, const char *yes,
              const char *no, bool &out);
    bool steps(const QJsonValue &value, const Place &place, int depth, bool inEnd,
               std::vector<ProgramStep> &out);
    bool step(const QJsonValue &value, const Place &place, int depth, bool inEnd, ProgramStep &out);
    bool setpoints(const QJsonObject &object, const Place &place, bool ramp, ProgramStep &out);
    bool wait(const QJsonObject &object, const Place &place, ProgramStep &out);

    QString m_problem;
    bool m_flowSet;
    bool m_limitSet;
};

bool Reader::fail(const Place &place, const QString &what)
{
    const QString where = place.text();
    m_problem = where.isEmpty() ? what : where + QStringLiteral("：") + what;
    return false;
}

bool Reader::onlyKnown(const QJsonObject &object, const Place &place,
                       std::initializer_list<const char *> known)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        if (std::none_of(known.begin(), known.end(),
                         [&key](const char *name) { return key == QLatin1String(name); }))
            return fail(place.field(key),
                        QStringLiteral("程序文件格式 %1 没有此字段").arg(kFormat));
    }
    return true;
}

bool Reader::present(const QJsonObject &object, const char *key, const Place &owner,
                     QJsonValue &value)
{
    value = object.value(QLatin1String(key));
    if (!value.isUndefined())
        return true;
    return fail(owner.field(QLatin1String(key)), QStringLiteral("缺少此字段"));
}

bool Reader::whole(const QJsonObject &object, const char *key, const Place &owner, int lowest,
                   int highest, const QString &meaning, int &out)
{
    QJsonValue value;
    if (!present(object, key, owner, value))
        return false;
    const double number = value.toDouble();
    if (!value.isDouble() || !(number >= lowest && number <= highest) ||
        number != std::trunc(number)) {
        const QString what = value.isString() ? QStringLiteral("文字 \"%1\"").arg(value.toString())
                             : value.isDouble() ? numberText(number)
                                                : QStringLiteral("非数字");
        return fail(owner.field(QLatin1String(key)),
                    QStringLiteral("%1应为 %2 到 %3 的整数，而不是 %4")
                        .arg(meaning, QString::number(lowest), QString::number(highest), what));
    }
    out = int(number);
    return true;
}

bool Reader::tenths(const QJsonObject &object, const char *key, const Place &owner,
                    const QString &meaning, int &out)
{
    QJsonValue value;
    if (!present(object, key, owner, value))
        return false;
    const double number = value.toDouble();
    const double nearest = std::round(number * 10);
    if (!value.isDouble() || !(nearest >= 0 && nearest <= kHighestLimitTenthsMpa) ||
        std::fabs(number - nearest / 10) > kTenthTolerance) {
        const QString what = value.isString() ? QStringLiteral("文字 \"%1\"").arg(value.toString())
                             : value.isDouble() ? numberText(number)
                                                : QStringLiteral("非数字");
        return fail(
            owner.field(QLatin1String(key)),
            QStringLiteral("%1应为 0.0 到 %2 MPa，精确到 0.1，而不是 %3")
                .arg(meaning, QString::number(kHighestLimitTenthsMpa / 10.0, 'f', 1), what));
    }
    out = int(nearest);
    return true;
}

bool Reader::word(const QJsonObject &object, const char *key, const Place &owner, const char *yes,
                  const char *no, bool &out)
{
    QJsonValue value;
    if (!present(object, key, owner, value))
        return false;
    const QString text = value.toString();
    if (text != QLatin1String(yes) && text != QLatin1String(no))
        return fail(
            owner.field(QLatin1String(key)),
            QStringLiteral("应为 \"%1\" 或 \"%2\"").arg(QLatin1String(yes), QLatin1String(no)));
    out = text == QLatin1String(yes);
    return true;
}

qint64 plannedCount(const std::vector<ProgramStep> &steps)
{
    // Capped just past the limit: past it, "too many" is all there is to know.
    qint64 count = 0;
    for (const ProgramStep &step : steps) {
        count += step.kind == ProgramStep::Kind::Repeat ? step.times * plannedCount(step.steps) : 1;
        count = std::min(count, kMostPlannedSteps + 1);
    }
    return count;
}

std::optional<Program> Reader::read(const QJsonObject &root)
{
    const Place top;
    // The format first: a later format brings fields this panel cannot know.
    QJsonValue value;
    if (!present(root, "format", top, value))
        return {};
    const double format = value.toDouble(-1);
    if (format > kFormat && format == std::trunc(format)) {
        fail(top.field(QStringLiteral("format")),
             QStringLiteral("程序文件格式 %1 比本面板支持的新（本面板支持格式 %2）")
                 .arg(numberText(format))
                 .arg(kFormat));
        return {};
    }
    Program program;
    int formatNumber = 0;
    bool pause = true;
    if (!whole(root, "format", top, kFormat, kFormat, QStringLiteral("格式号"), formatNumber) ||
        !onlyKnown(root, top, {"format", "name", "pump", "onLinkLost", "steps", "end"}) ||
        !whole(root, "pump", top, 0, kHighestPump, QStringLiteral("泵编号"), program.pump) ||
        !word(root, "onLinkLost", top, "pause", "end", pause))
        return {};
    program.onLinkLost = pause ? Program::OnLinkLost::Pause : Program::OnLinkLost::End;
    value = root.value(QLatin1String("name"));
    if (!value.isUndefined() && !value.isString()) {
        fail(top.field(QStringLiteral("name")), QStringLiteral("应为文字"));
        return {};
    }
    program.name = value.toString();
    const Place steps = top.field(QStringLiteral("steps"));
    if (!present(root, "steps", top, value) || !this->steps(value, steps, 0, false, program.steps))
        return {};
    if (program.steps.empty()) {
        fail(steps, QStringLiteral("程序没有步骤"));
        return {};
    }
    // The end block follows the steps: what they set, it may ramp.
    const Place end = top.field(QStringLiteral("end"));
    value = root.value(QLatin1String("end"));
    if (!value.isUndefined()) {
        if (!this->steps(value, end, 0, true, program.end))
            return {};
        if (!program.end.empty() && program.end.back().kind != ProgramStep::Kind::Stop) {
            fail(end, QStringLiteral("结束段应以 stop 步骤结束"));
            return {};
        }
    }
    if (plannedCount(program.steps) + plannedCount(program.end) > kMostPlannedSteps) {
        fail(steps,
             QStringLiteral("重复展开后超过 %1 步").arg(QLocale::c().toString(kMostPlannedSteps)));
        return {};
    }
    return program;
}

bool Reader::steps(const QJsonValue &value, const Place &place, int depth, bool inEnd,
                   std::vector<ProgramStep> &out)
{
    if (!value.isArray())
        return fail(place, QStringLiteral("应为步骤的列表"));
    const QJsonArray array = value.toArray();
    out.reserve(size_t(array.size()));
    for (qsizetype i = 0; i < array.size(); ++i) {
        ProgramStep next;
        if (!step(array.at(i), place.item(i), depth, inEnd, next))
            return false;
        out.push_back(std::move(next));
    }
    return true;
}

bool Reader::step(const QJsonValue &value, const Place &place, int depth, bool inEnd,
                  ProgramStep &out)
{
    const QJsonObject object = value.toObject();
    if (!value.isObject() || object.size() != 1)
        return fail(place, QStringLiteral("每个步骤应是只有一个动作的对象：set、run、stop、ramp、"
                                          "hold、repeat 或 waitUntil"));
    const QString action = object.begin().key();
    const QJsonValue body = object.begin().value();
    const Place actionPlace = place.field(action);
    using Kind = ProgramStep::Kind;
    if (inEnd && (action == kRun || action == kRepeat || action == kWaitUntil))
        return fail(actionPlace, QStringLiteral("结束段只能有 set、ramp、hold 和 stop 步骤"));

    if (action == kRun || action == kStop) {
        if (body != QJsonValue(true))
            return fail(actionPlace, QStringLiteral("只能是 true"));
        out.kind = action == kRun ? Kind::Run : Kind::Stop;
        return true;
    }
    if (action != kSet && action != kRamp && action != kHold && action != kRepeat &&
        action != kWaitUntil)
        return onlyKnown(object, place, {});
    if (!body.isObject())
        return fail(actionPlace, QStringLiteral("应为一个对象"));
    const QJsonObject fields = body.toObject();

    if (action == kSet || action == kRamp)
        return setpoints(fields, actionPlace, action == kRamp, out);
    if (action == kHold) {
        out.kind = Kind::Hold;
        return onlyKnown(fields, actionPlace, {"seconds"}) &&
               whole(fields, "seconds", actionPlace, 0, kLongestStepSeconds, QStringLiteral("秒数"),
                     out.seconds);
    }
    if (action == kWaitUntil)
        return wait(fields, actionPlace, out);

    out.kind = Kind::Repeat;
    if (depth + 1 > kDeepestRepeat)
        return fail(actionPlace, QStringLiteral("重复最多嵌套 %1 层").arg(kDeepestRepeat));
    QJsonValue inner;
    const Place innerPlace = actionPlace.field(QStringLiteral("steps"));
    if (!onlyKnown(fields, actionPlace, {"times", "steps"}) ||
        !whole(fields, "times", actionPlace, 1, kMostRepeats, QStringLiteral("重复次数"),
               out.times) ||
        !present(fields, "steps", actionPlace, inner) ||
        !steps(inner, innerPlace, depth + 1, inEnd, out.steps))
        return false;
    if (out.steps.empty())
        return fail(innerPlace, QStringLiteral("重复没有步骤"));
    return true;
}

bool Reader::setpoints(const QJsonObject &object, const Place &place, bool ramp, ProgramStep &out)
{
    if (ramp ? !onlyKnown(object, place, {"flow", "limit", "seconds"})
             : !onlyKnown(object, place, {"flow", "limit"}))
        return false;
    const bool hasFlow = object.contains(QLatin1String("flow"));
    const bool hasLimit = object.contains(QLatin1String("limit"));
    if (!hasFlow && !hasLimit)
        return fail(place, QStringLiteral("应至少有 flow 或 limit"));
    int flow = 0;
    int limit = 0;
    if ((hasFlow && !whole(object, "flow", place, 0, kHighestFlowMlPerMin,
                           QStringLiteral("流量（ml/min）"), flow)) ||
        (hasLimit && !tenths(object, "limit", place, QStringLiteral("保护压力"), limit)) ||
        (ramp && !whole(object, "seconds", place, 0, kLongestStepSeconds, QStringLiteral("秒数"),
                        out.seconds)))
        return false;
    // A ramp over no time has nothing to ramp from: it sets its values, as a set does.
    ramp = ramp && out.seconds > 0;
    out.kind = ramp ? ProgramStep::Kind::Ramp : ProgramStep::Kind::Set;
    if (ramp && hasFlow && !m_flowSet)
        return fail(place.field(QStringLiteral("flow")),
                    QStringLiteral("渐变之前程序还没有设定流量"));
    if (ramp && hasLimit && !m_limitSet)
        return fail(place.field(QStringLiteral("limit")),
                    QStringLiteral("渐变之前程序还没有设定保护压力"));
    if (hasFlow)
        out.flow = flow;
    if (hasLimit)
        out.limit = limit;
    m_flowSet = m_flowSet || hasFlow;
    m_limitSet = m_limitSet || hasLimit;
    return true;
}

bool Reader::wait(const QJsonObject &object, const Place &place, ProgramStep &out)
{
    out.kind = ProgramStep::Kind::WaitUntil;
    return onlyKnown(object, place,
                     {"pressure", "value", "readings", "timeoutSeconds", "onTimeout"}) &&
           word(object, "pressure", place, "above", "below", out.above) &&
           tenths(object, "value", place, QStringLiteral("压力"), out.valueTenths) &&
           whole(object, "readings", place, 1, kMostReadings, QStringLiteral("连续读数"),
                 out.readings) &&
           // A wait with no time limit could hold the pump at its setpoints for ever.
           whole(object, "timeoutSeconds", place, 1, kLongestStepSeconds,
                 QStringLiteral("等待秒数"), out.seconds) &&
           word(object, "onTimeout", place, "end", "continue", out.endOnTimeout);
}

QJsonObject setpointsJson(const ProgramStep &step)
{
    QJsonObject fields;
    if (step.flow)
        fields.insert(QStringLiteral("flow"), *step.flow);
    if (step.limit)
        fields.insert(QStringLiteral("limit"), *step.limit / 10.0);
    return fields;
}

QJsonArray stepsJson(const std::vector<ProgramStep> &steps)
{
    QJsonArray array;
    for (const ProgramStep &step : steps) {
        QJsonObject fields;
        QString action;
        switch (step.kind) {
        case ProgramStep::Kind::Set:
            action = kSet;
            fields = setpointsJson(step);
            break;
        case ProgramStep::Kind::Run:
        case ProgramStep::Kind::Stop:
            array.append(QJsonObject{{step.kind == ProgramStep::Kind::Run ? kRun : kStop, true}});
            continue;
        case ProgramStep::Kind::Ramp:
            action = kRamp;
            fields = setpointsJson(step);
            fields.insert(QStringLiteral("seconds"), step.seconds);
            break;
        case ProgramStep::Kind::Hold:
            action = kHold;
            fields.insert(QStringLiteral("seconds"), step.seconds);
            break;
        case ProgramStep::Kind::Repeat:
            action = kRepeat;
            fields.insert(QStringLiteral("times"), step.times);
            fields.insert(QStringLiteral("steps"), stepsJson(step.steps));
            break;
        case ProgramStep::Kind::WaitUntil:
            action = kWaitUntil;
            fields = QJsonObject{
                {QStringLiteral("pressure"), QString::fromLatin1(step.above ? "above" : "below")},
                {QStringLiteral("value"), step.valueTenths / 10.0},
                {QStringLiteral("readings"), step.readings},
                {QStringLiteral("timeoutSeconds"), step.seconds},
                {QStringLiteral("onTimeout"),
                 QString::fromLatin1(step.endOnTimeout ? "end" : "continue")}};
            break;
        }
        array.append(QJsonObject{{action, fields}});
    }
    return array;
}

} // namespace

ProgramFile::Loaded ProgramFile::read(const QByteArray &bytes, RampsFrom rampsFrom)
{
    if (bytes.size() > kFileBytes)
        return {std::nullopt, QStringLiteral("程序文件大于 1 MiB")};
    if (bytes.trimmed().isEmpty())
        return {std::nullopt, QStringLiteral("程序文件是空的")};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        const qsizetype offset = std::clamp<qsizetype>(error.offset, 0, bytes.size());
        const qsizetype line = std::count(bytes.cbegin(), bytes.cbegin() + offset, '\n') + 1;
        return {std::nullopt, QStringLiteral("第 %1 行：不是有效的 JSON，%2")
                                  .arg(line)
                                  .arg(syntaxProblem(error.error))};
    }
    if (!document.isObject())
        return {std::nullopt, QStringLiteral("程序文件应是一个 JSON 对象")};
    if (const auto repeated = repeatedField(bytes))
        return {std::nullopt, QStringLiteral("第 %1 行：字段“%2”在同一对象中出现了两次")
                                  .arg(repeated->second)
                                  .arg(repeated->first)};
    Reader reader(rampsFrom == RampsFrom::SetpointsInForce);
    std::optional<Program> program = reader.read(document.object());
    return {std::move(program), reader.problem()};
}

namespace {

ProgramFile::Loaded loadedFrom(const QString &path, const BoundedRead::Result &read)
{
    if (!read.bytes)
        return {std::nullopt, QStringLiteral("程序文件 %1 无法读取：%2")
                                  .arg(QDir::toNativeSeparators(path),
                                       read.missing ? QStringLiteral("文件不存在") : read.problem)};
    return ProgramFile::read(*read.bytes);
}

} // namespace

ProgramFile::Loaded ProgramFile::readFile(const QString &path)
{
    return loadedFrom(path, BoundedRead::within(path, kFileBytes));
}

void ProgramFile::readFileLater(const QString &path, QObject *context,
                                std::function<void(const Loaded &loaded)> done)
{
    BoundedRead::later(path, kFileBytes, context,
                       [path, done = std::move(done)](const BoundedRead::Result &read) {
                           done(loadedFrom(path, read));
                       });
}

QByteArray ProgramFile::write(const Program &program)
{
    QJsonObject root{
        {QStringLiteral("format"), kFormat},
        {QStringLiteral("pump"), program.pump},
        {QStringLiteral("onLinkLost"),
         QString::fromLatin1(program.onLinkLost == Program::OnLinkLost::Pause ? "pause" : "end")},
        {QStringLiteral("steps"), stepsJson(program.steps)},
    };
    if (!program.name.isEmpty())
        root.insert(QStringLiteral("name"), program.name);
    if (!program.end.empty())
        root.insert(QStringLiteral("end"), stepsJson(program.end));
    // Indented for people to read, unless that would make a file too large to read back.
    const QJsonDocument document(root);
    const QByteArray indented = document.toJson(QJsonDocument::Indented);
    return indented.size() <= kFileBytes ? indented : document.toJson(QJsonDocument::Compact);
}
