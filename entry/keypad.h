#pragma once

#include "entry/setpointframe.h"

#include <QString>
#include <QtGlobal>

// The on-screen keypad's entry of the flow (ml/min) and protection-pressure (MPa) setpoints.
// L or P starts an entry of its kind and empties that box, unless an entry is already in
// progress. Digits are appended to the box of the entry in progress; a pressure entry gets its
// "." after the second digit. The character that makes the box four characters long completes
// the entry: the value is tested against its limit (1000 ml/min, 2.0 MPa) and either a frame
// addressed to the pump number goes out or the error box of its kind is asked for. Outside an
// entry digits change nothing.
//
// The entry has no store of its own: it is the text of its box, which the caller passes in and
// takes back, so that what the operator typed into a box by hand counts as well. Whatever the
// box holds, an entry always ends: a box that has grown past four characters, or whose text at
// completion is not a number from 0 up to the limit, ends the entry with the error box and
// nothing is sent. A frame, when there is one, is always nine characters.
class Keypad
{
public:
    // The texts of the two boxes, lqset (flow) and prset (pressure).
    struct Boxes
    {
        QString lqset;
        QString prset;
    };

    // What a key asks of the window: the boxes' new texts, and at most one of a frame to send
    // or an error box to show.
    struct Outcome
    {
        Boxes boxes;
        QString frame;       // empty: nothing to send
        QString errorPrompt; // empty: no box; the title is always kErrorTitle
    };

    static constexpr char kErrorTitle[] = "设定错误";
    static constexpr char kFlowErrorPrompt[] = "流量设定错误";
    static constexpr char kPressureErrorPrompt[] = "压力设定错误";
    static constexpr double kFlowLimit = SetpointFrame::kFlowLimit;         // ml/min, accepted
    static constexpr double kPressureLimit = SetpointFrame::kPressureLimit; // MPa, accepted

    Outcome pressL(const Boxes &boxes);                // Cmdl
    Outcome pressP(const Boxes &boxes);                // Cmdp
    Outcome pressDigit(int digit, const Boxes &boxes); // Cmd0..Cmd9, digit 0..9

    // 1 while an entry of that kind is in progress, else 0; never both 1.
    qint16 lq() const { return m_lq; }
    qint16 pr() const { return m_pr; }
    // Body (the frame without its "Q") of the last frame the keypad sent.
    const QString &setliqstr() const { return m_setliqstr; }

    // Set_Pump_NO: the pump number that keypad frames carry, 0..99.
    void setPumpNumber(qint16 number) { m_pumpNumber = number; }
    // The answer to 编号设定: false, and the number stays, for one that is no whole number or
    // would not fit the frame's two address digits.
    bool setPumpNumber(const QString &answer);
    qint16 pumpNumber() const { return m_pumpNumber; }

private:
    qint16 m_lq = 0;
    qint16 m_pr = 0;
    qint16 m_pumpNumber = 0;
    QString m_setliqstr;
};
