#pragma once

#include "care/carebook.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Where an adapter's counters are kept, and how they are found again. Each adapter has its file
// in the care folder, named after it. A file there that cannot be used (damaged, of a newer
// format, not a regular file) is refused with a notice naming it and is left as it is: counting
// starts afresh in the file beside it ("…-afresh-1.json"), which the next start finds and goes
// on with while the refused one is still there.
class CareFile
{
public:
    // Writes bytes whole or not at all; empty when written, else why not.
    using WriteFunction = std::function<QString(const QString &path, const QByteArray &bytes)>;

    // The counter files this many afresh files deep are looked at; past them counting starts
    // in memory only, which the notice says.
    static constexpr int kMostAfresh = 9;

    struct Opened
    {
        CareBook book;   // as read, or afresh for the adapter
        QString path;    // where it is kept from now on; empty when nowhere is left
        QStringList refused; // a notice for each file refused, naming it
    };

    // The adapter's file name in the folder: readable, and unique through a hash of the name.
    static QString fileName(const QString &adapter);
    static Opened open(const QString &folder, const QString &adapter);
    // The panel's atomic write of a small file.
    static QString writeWhole(const QString &path, const QByteArray &bytes);
};
