#pragma once

#include <QString>

// A name as the panel shows it on one line (a program's, a device's, an operator's): its control
// characters, line and paragraph separators and bidirectional formatting characters would break
// the line, turn the rest of it around or hide what follows, so each is shown as ‹U+XXXX›. Only
// what is shown changes: files, logs and records keep the text as given.
namespace ShownText {

QString name(const QString &text);
// The same for a status row's whole text, but for its line ends, which the row shows as "；".
QString row(const QString &text);
// Whether c is shown as ‹U+XXXX›.
bool isHidden(char32_t c);

} // namespace ShownText
