#pragma once

#include "program/program.h"

#include <QList>
#include <QString>

// The pump program as the operator edits it: fields and steps changed one edit at a time, at a
// place in the program's tree. Every edit goes through the program file's own reading, so the
// editor only ever holds a program the panel could open: an edit that reading refuses is not
// made, and says why.
class ProgramEditor
{
public:
    // A place in the tree: the block (0 the steps, 1 the end block), then the index in each list
    // down through the repeats. The end block's own branch is {1}; nothing chosen is {}.
    using Place = QList<int>;

    struct Edit
    {
        enum class Outcome { Nothing, Refused, Made };
        Outcome outcome = Outcome::Nothing;
        // Made: the place to choose in the program as it is now.
        Place place;
        // Refused: why, as the program file's reading says it.
        QString problem;
        // Made: the program differs from before (a field set to its own value does not).
        bool changed = false;
    };

    const Program &program() const { return m_program; }
    // Taken as it is: it comes from a file already read, or a journal.
    void setProgram(const Program &program) { m_program = program; }

    // The step at place; nullptr at a branch or where there is none.
    const ProgramStep *stepAt(const Place &place) const;

    Edit rename(const QString &name, const Place &chosen);
    Edit setPump(int pump, const Place &chosen);
    Edit setOnLinkLost(Program::OnLinkLost onLinkLost, const Place &chosen);

    // After the chosen step, at the top of the end block when its branch is chosen, after the
    // last step when nothing is. A repeat instead takes in the chosen step, so that it never
    // stands empty.
    Edit add(const Place &chosen, const ProgramStep &step);
    // The chosen step becomes step; a repeat changed to a repeat keeps its steps and takes only
    // the count, a step changed to a repeat is taken into it.
    Edit change(const Place &chosen, const ProgramStep &step);
    Edit remove(const Place &chosen);
    // Up (by -1) or down (by 1) within its own list; nothing at the list's end.
    Edit move(const Place &chosen, int by);
    Edit duplicate(const Place &chosen);

    // The edited program in place of the one held, when the program file's reading takes it;
    // select is the place to choose then.
    Edit commit(const Program &edited, const Place &select);

    // The bytes to save, or why the program could not be opened again once saved.
    struct Saving
    {
        QByteArray bytes;
        QString problem;
    };
    Saving saving() const;
    // The file name offered when saving: the file opened or saved last, else the program's name.
    QString suggestedPath(const QString &lastPath) const;

private:
    Edit atChosen(const Place &chosen, const ProgramStep &step, bool changing);

    Program m_program;
};
