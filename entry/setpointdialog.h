#pragma once

#include "entry/setpointframe.h"

#include <QString>

#include <optional>

// The settings menu's dialogs for the flow and the protection-pressure setpoints: the question
// each asks, and what an answer leads to. An answer that is not a number (a cancel gives the
// empty text) ends the dialog silently. A number is stored, then tested: above the limit, or
// below zero (its frame would not be nine characters), it gets the error box; otherwise its
// frame goes out, always addressed to pump 00.
namespace SetpointDialog {

using Kind = SetpointFrame::Kind;

struct Question
{
    QString prompt; // two lines joined by CR LF
    QString title;
    QString defaultAnswer;
};

struct Outcome
{
    std::optional<double> stored; // the converted answer, for setliq or setpresure
    QString frame;                // empty: nothing to send
    QString errorPrompt;          // empty: no box; the title is always kErrorTitle
};

inline constexpr char kErrorTitle[] = "错误";

Question question(Kind kind);
Outcome answer(Kind kind, const QString &text);

} // namespace SetpointDialog
