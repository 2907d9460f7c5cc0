#pragma once

#include "program/program.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QObject;

// Reading and writing a pump program's JSON file. Reading is strict: a field format 1 does not
// know, a value out of range or not exact (a flow of 100.5 ml/min, a limit of 1.55 MPa), a ramp
// of a quantity not set before it, or an end block that could start the pump refuses the whole
// file with one message naming the place: the line for a file that is not JSON, the field's
// path (steps[4].repeat.steps[1].ramp.limit) for the rest. A refused file gives no program at
// all, so the caller keeps the one it had. What write() gives reads back equal.
class ProgramFile
{
public:
    struct Loaded
    {
        std::optional<Program> program;
        QString problem; // empty when loaded
    };

    // What a ramp may start from: only what the program set before it, or (for an end block kept
    // apart from its program, run from the setpoints journalled beside it) anything.
    enum class RampsFrom { SetBefore, SetpointsInForce };

    static Loaded read(const QByteArray &bytes, RampsFrom rampsFrom = RampsFrom::SetBefore);
    // Through BoundedRead: anything but a regular file, a file over the size limit or one not
    // read within its deadline is refused. readFile() waits for the deadline at most (the command
    // line, the panel's start); readFileLater() never waits and answers on context's thread.
    static Loaded readFile(const QString &path);
    static void readFileLater(const QString &path, QObject *context,
                              std::function<void(const Loaded &loaded)> done);
    static QByteArray write(const Program &program);
};
