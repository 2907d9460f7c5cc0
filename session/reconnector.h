#pragma once

#include <QString>

// Finds a lost adapter again and reopens it on the line. The owner tells the session when it
// is back, or why not yet.
class Reconnector
{
public:
    virtual ~Reconnector() = default;

    // Takes note of the adapter opened on device; true when it is the one remembered before.
    virtual bool remember(const QString &device) = 0;
    // The device as the operator named it last.
    virtual QString device() const = 0;
    virtual void begin() = 0;
    virtual void cancel() = 0;
};
