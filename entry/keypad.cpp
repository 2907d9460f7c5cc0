#include "entry/keypad.h"

#include "entry/setpointframe.h"
#include "link/commandframe.h"
#include "link/numbertext.h"

#include <optional>

namespace {

// A complete entry: four digits of flow, or two digits, ".", one digit of pressure.
constexpr qsizetype kEntryLength = 4;
// A pressure entry gets its "." once it holds this many characters.
constexpr qsizetype kPressurePointAfter = 2;

struct Setpoint
{
    SetpointFrame::Kind kind;
    const char *errorPrompt;
};

constexpr Setpoint kFlow{SetpointFrame::Kind::Flow, Keypad::kFlowErrorPrompt};
constexpr Setpoint kPressure{SetpointFrame::Kind::Pressure, Keypad::kPressureErrorPrompt};

// Ends an entry on the text of its box. Only a four-character number that has a frame is
// sent; a box typed into by hand that holds anything else gets the error box.
void complete(const QString &text, const Setpoint &setpoint, qint16 pumpNumber,
              Keypad::Outcome &outcome)
{
    if (text.size() == kEntryLength) {
        if (const std::optional<double> value = NumberText::toDouble(text))
            outcome.frame = SetpointFrame::make(setpoint.kind, addressField(pumpNumber), *value);
    }
    if (outcome.frame.isEmpty())
        outcome.errorPrompt = QString::fromUtf8(setpoint.errorPrompt);
}

} // namespace

Keypad::Outcome Keypad::pressL(const Boxes &boxes)
{
    Outcome outcome{boxes, {}, {}};
    if (m_lq == 1 || m_pr == 1)
        return outcome;
    m_lq = 1;
    outcome.boxes.lqset.clear();
    return outcome;
}

Keypad::Outcome Keypad::pressP(const Boxes &boxes)
{
    Outcome outcome{boxes, {}, {}};
    if (m_lq == 1 || m_pr == 1)
        return outcome;
    m_pr = 1;
    outcome.boxes.prset.clear();
    return outcome;
}

Keypad::Outcome Keypad::pressDigit(int digit, const Boxes &boxes)
{
    Q_ASSERT(digit >= 0 && digit <= 9);
    const QChar key(u'0' + digit);
    Outcome outcome{boxes, {}, {}};
    QString &lqset = outcome.boxes.lqset;
    QString &prset = outcome.boxes.prset;

    if (m_lq == 1)
        lqset += key;
    if (m_pr == 1)
        prset += key;

    // Past four characters the box can never complete, so the entry ends there too.
    if (m_lq == 1 && lqset.size() >= kEntryLength) {
        m_lq = 0;
        complete(lqset, kFlow, m_pumpNumber, outcome);
    }
    if (m_pr == 1) {
        const qsizetype length = prset.size();
        if (length == kPressurePointAfter) {
            prset += u'.';
        } else if (length >= kEntryLength) {
            m_pr = 0;
            complete(prset, kPressure, m_pumpNumber, outcome);
        }
    }

    if (!outcome.frame.isEmpty())
        m_setliqstr = outcome.frame.mid(1);
    return outcome;
}

bool Keypad::setPumpNumber(const QString &answer)
{
    const std::optional<qint16> number = NumberText::toInt16(answer);
    if (!number || *number < 0 || *number > 99)
        return false;
    m_pumpNumber = *number;
    return true;
}
