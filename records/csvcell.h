#pragma once

#include <QByteArray>
#include <QString>

// One cell of every CSV the panel writes (the history's export, the audit trail's), as UTF-8:
// quoted when it holds a comma, a quote or a line end. A spreadsheet runs a cell that begins
// with = + - @ (some also after a tab or a carriage return) as a formula, so a pump reply or a
// remark such as =HYPERLINK(...) would run on the reader's machine: such a cell gets a ' before
// it inside its quotes, which spreadsheets take as "text follows". A plain decimal number
// ("-0.1", "+3", "1e-3") runs nothing and is left as it is, to open as the number it is.
namespace CsvCell {

QByteArray field(const QString &text);
// Whether text is a plain decimal number: a sign, digits with at most one point, an exponent.
bool isPlainNumber(const QString &text);

} // namespace CsvCell
