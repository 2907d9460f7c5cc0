#include "entry/setpointdialog.h"

#include "link/numbertext.h"

namespace SetpointDialog {

namespace {

// The dialogs' frames ignore the keypad's pump number.
constexpr char kAddress[] = "00";

struct Texts
{
    const char *firstLine;
    const char *secondLine; // its dash is U+2014 EM DASH, not a hyphen
    const char *title;
    const char *defaultAnswer;
    const char *errorPrompt;
};

constexpr Texts kFlow{"请输入您需要的流量 单位 ml/min ", "流量范围为1—1000ml/min", "流量设定", "0",
                      "流量设定错误!"};
constexpr Texts kPressure{"请输入您需要保护压 单位 MPa", "压力设定范围为0—2.0MPa", "压力设定", "2",
                          "压力设定错误!"};

const Texts &texts(Kind kind)
{
    return kind == Kind::Flow ? kFlow : kPressure;
}

} // namespace

Question question(Kind kind)
{
    const Texts &t = texts(kind);
    return {QString::fromUtf8(t.firstLine) + QLatin1String("\r\n") +
                QString::fromUtf8(t.secondLine),
            QString::fromUtf8(t.title), QString::fromUtf8(t.defaultAnswer)};
}

Outcome answer(Kind kind, const QString &text)
{
    const Texts &t = texts(kind);
    Outcome outcome;
    outcome.stored = NumberText::toDouble(text);
    if (!outcome.stored)
        return outcome;

    outcome.frame = SetpointFrame::make(kind, QLatin1String(kAddress), *outcome.stored);
    if (!outcome.frame.isEmpty())
        return outcome;
    outcome.errorPrompt = QString::fromUtf8(t.errorPrompt);
    return outcome;
}

} // namespace SetpointDialog
