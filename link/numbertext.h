#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Reading numbers that the operator typed or the pump sent. "." is the decimal point whatever
// the machine's locale. Accepted: surrounding blanks, an optional sign, digits with at most one
// ".", at least one digit. Anything else (letters, exponents, digit grouping, empty text) is
// not a number, and neither is a number beyond a double's range (too large, or too small to
// tell from zero).
namespace NumberText {

std::optional<double> toDouble(const QString &text);

// A 16-bit signed integer; a fractional number is rounded to the nearest integer, a half to
// the even neighbour (2.5 gives 2, 3.5 gives 4). Fails outside -32768..32767.
std::optional<qint16> toInt16(const QString &text);

} // namespace NumberText
