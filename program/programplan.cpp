#include "program/programplan.h"

#include <algorithm>

namespace {

struct Cursor
{
    QList<int> path;
    qint64 second = 0;
    std::optional<int> flow;
    std::optional<int> limit;
};

void expand(const std::vector<ProgramStep> &steps, Cursor &cursor, QList<ProgramPlan::Step> &out)
{
    cursor.path.append(0);
    for (size_t i = 0; i < steps.size(); ++i) {
        const ProgramStep &step = steps[i];
        cursor.path.last() = int(i);
        if (step.kind == ProgramStep::Kind::Repeat) {
            cursor.path.append(0);
            for (int iteration = 0; iteration < step.times; ++iteration) {
                cursor.path.last() = iteration;
                expand(step.steps, cursor, out);
            }
            cursor.path.removeLast();
            continue;
        }
        out.append({step, cursor.path, cursor.second, cursor.flow, cursor.limit});
        if (step.kind == ProgramStep::Kind::Set || step.kind == ProgramStep::Kind::Ramp) {
            cursor.flow = step.flow ? step.flow : cursor.flow;
            cursor.limit = step.limit ? step.limit : cursor.limit;
        }
        if (step.kind == ProgramStep::Kind::Ramp || step.kind == ProgramStep::Kind::Hold ||
            step.kind == ProgramStep::Kind::WaitUntil)
            cursor.second += step.seconds;
    }
    cursor.path.removeLast();
}

ProgramPlan::Point after(const ProgramPlan::Step &planned, qint64 second)
{
    const ProgramStep &step = planned.step;
    const bool setting =
        step.kind == ProgramStep::Kind::Set || step.kind == ProgramStep::Kind::Ramp;
    return {second, setting && step.flow ? step.flow : planned.flowBefore,
            setting && step.limit ? step.limit : planned.limitBefore};
}

bool pathLess(const QList<int> &a, const QList<int> &b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace

ProgramPlan::ProgramPlan(const Program &program)
{
    Cursor cursor;
    expand(program.steps, cursor, m_steps);
    m_stepsSeconds = cursor.second;
    expand(program.end, cursor, m_endSteps);
    m_totalSeconds = cursor.second;
    // The end block also runs on its own, from the moment the program is ended.
    for (Step &step : m_endSteps)
        step.startSecond -= m_stepsSeconds;
}

ProgramPlan::Point ProgramPlan::at(qint64 second) const
{
    const bool inEnd = second >= m_stepsSeconds && !m_endSteps.isEmpty();
    const QList<Step> &steps = inEnd ? m_endSteps : m_steps;
    const qint64 since = inEnd ? second - m_stepsSeconds : second;
    const auto next =
        std::upper_bound(steps.begin(), steps.end(), since,
                         [](qint64 s, const Step &step) { return s < step.startSecond; });
    if (next == steps.begin())
        return {second, std::nullopt, std::nullopt};
    const Step &current = *(next - 1);
    Point point = after(current, second);
    const qint64 elapsed = since - current.startSecond;
    if (current.step.kind == ProgramStep::Kind::Ramp && elapsed < current.step.seconds) {
        if (current.step.flow)
            point.flow =
                interpolate(*current.flowBefore, *current.step.flow, elapsed, current.step.seconds);
        if (current.step.limit)
            point.limit = interpolate(*current.limitBefore, *current.step.limit, elapsed,
                                      current.step.seconds);
    }
    return point;
}

QList<ProgramPlan::Point> ProgramPlan::breakpoints() const
{
    QList<Point> points{Point{}};
    const auto add = [&points](const Point &point) {
        if (points.last() != point)
            points.append(point);
    };
    for (const bool inEnd : {false, true}) {
        const qint64 offset = inEnd ? m_stepsSeconds : 0;
        for (const Step &planned : inEnd ? m_endSteps : m_steps) {
            const qint64 start = offset + planned.startSecond;
            switch (planned.step.kind) {
            case ProgramStep::Kind::Set:
            case ProgramStep::Kind::Ramp:
                add({start, planned.flowBefore, planned.limitBefore});
                add(after(planned, start + planned.step.seconds));
                break;
            case ProgramStep::Kind::Hold:
            case ProgramStep::Kind::WaitUntil:
                add(after(planned, start + planned.step.seconds));
                break;
            default:
                break;
            }
        }
    }
    return points;
}

std::optional<qint64> ProgramPlan::secondOf(const ProgramPosition &position) const
{
    const qsizetype index = indexOf(position.path, position.inEnd);
    if (index < 0)
        return std::nullopt;
    const Step &step = (position.inEnd ? m_endSteps : m_steps)[index];
    return (position.inEnd ? m_stepsSeconds : 0) + step.startSecond + position.secondsIntoStep;
}

qsizetype ProgramPlan::indexOf(const QList<int> &path, bool inEnd) const
{
    // Paths in the order of execution are in lexicographic order.
    const QList<Step> &steps = inEnd ? m_endSteps : m_steps;
    const auto found = std::lower_bound(
        steps.begin(), steps.end(), path,
        [](const Step &step, const QList<int> &wanted) { return pathLess(step.path, wanted); });
    return found != steps.end() && found->path == path ? found - steps.begin() : -1;
}

QString ProgramPlan::pathKey(const QList<int> &path, ProgramStep::Kind kind, bool inEnd)
{
    using Kind = ProgramStep::Kind;
    if (path.isEmpty())
        return {};
    // The names of the file's steps.
    const char *name = kind == Kind::Set      ? "set"
                       : kind == Kind::Run    ? "run"
                       : kind == Kind::Stop   ? "stop"
                       : kind == Kind::Ramp   ? "ramp"
                       : kind == Kind::Hold   ? "hold"
                       : kind == Kind::Repeat ? "repeat"
                                              : "waitUntil";
    QString key = QStringLiteral("%1[%2]").arg(inEnd ? u"end" : u"steps").arg(path.first());
    for (qsizetype i = 2; i < path.size(); i += 2)
        key += QStringLiteral(".repeat.steps[%1]").arg(path[i]);
    return key + u'.' + QLatin1String(name);
}

QString ProgramPlan::pathText(const QList<int> &path, bool inEnd)
{
    if (path.isEmpty())
        return inEnd ? QStringLiteral("结束段") : QString();
    QString text = inEnd ? QStringLiteral("结束段 ") : QString();
    text += QStringLiteral("第 %1 步").arg(path.first() + 1);
    for (qsizetype i = 1; i + 1 < path.size(); i += 2)
        text += QStringLiteral(" 第 %1 遍 第 %2 步").arg(path[i] + 1).arg(path[i + 1] + 1);
    return text;
}

int ProgramPlan::interpolate(int from, int to, qint64 elapsed, qint64 seconds)
{
    if (seconds <= 0 || elapsed >= seconds)
        return to;
    // from + (to - from) * elapsed / seconds as one fraction, rounded as a whole.
    const qint64 numerator = qint64(from) * seconds + qint64(to - from) * elapsed;
    const qint64 rounded = (2 * qAbs(numerator) + seconds) / (2 * seconds);
    return int(numerator < 0 ? -rounded : rounded);
}
