#pragma once

#include <QString>

class QObject;

// What asked for a command, for its event line: every command goes out from a handler called
// by a signal, and the signal's sender tells it: a menu item by its text, a key by the name it
// has for screen readers, anything else by its object name.
namespace CommandSource {

QString of(const QObject *asker);

} // namespace CommandSource
