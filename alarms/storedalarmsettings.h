#pragma once

#include "alarms/alarmsettings.h"

#include <QStringList>
#include <QVariant>

#include <functional>

// The alarms as the settings store keeps them, under alarms/<high|low|silence|link>/ with on,
// stop, and limit (MPa) or seconds. They are read back strictly, never guessed at: a flag is
// true or false; a limit is a number within 0.0–2.0; a time is a whole number of seconds within
// 3 s–24 h. QSettings hands over a value set in this run as itself and one read from its file as
// text, so both are taken. An alarm never set is off. An alarm with a value that cannot be used
// is off as if never set, with one notice naming the key, and the others keep what is stored;
// an alarm that is off has no amount to check. A high and a low alarm whose limits cross are
// both off, with one notice. What write() stores reads back the same (but for an alarm that is
// off, whose amount is not read).
class StoredAlarmSettings
{
public:
    // The value stored under a key; invalid when there is none.
    using Lookup = std::function<QVariant(const QString &key)>;
    using Store = std::function<void(const QString &key, const QVariant &value)>;

    static AlarmSettings read(const Lookup &stored, QStringList *notices);
    static void write(const AlarmSettings &settings, const Store &store);
};
