#pragma once

#include <QString>

// Building the pump's command frames. The masks mirror the formats "00", "0000" and "00.0":
// at least that many integer digits with leading zeros, a half rounding away from zero. The
// half is taken from the number's shortest decimal form (0.15 is "0.15", not the binary
// 0.1499999...), so what the operator typed is what gets rounded. Values that do not fit
// come out wider than the mask; isWellFormedFrame() is the guard that keeps them off the line.

QString MakeFrame(const QString &address, const QString &letter, const QString &value);

QString addressField(int pumpNumber); // mask "00"
QString flowField(double mlPerMin);   // mask "0000"
QString pressureField(double mpa);    // mask "00.0"

// Rounds to `decimals` places, half away from zero, and writes at least `integerDigits`
// integer digits; "." is always the decimal point. Empty for a value that is not finite.
QString formatDecimalMask(double value, int integerDigits, int decimals);

// Exactly nine printable ASCII characters, "Q" first and "Y" last.
bool isWellFormedFrame(const QString &frame);
