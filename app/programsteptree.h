#pragma once

#include "program/programeditor.h"

#include <QTreeWidget>

// The steps of a pump program as a tree, the end block as the last branch, each row knowing
// its place in the program; one step, the one running, shown highlighted.
class ProgramStepTree : public QTreeWidget
{
    Q_OBJECT

public:
    using Place = ProgramEditor::Place;

    explicit ProgramStepTree(QWidget *parent = nullptr);

    // The rows anew, with the row at select chosen.
    void setProgram(const Program &program, const Place &select);
    // The row at place; nullptr for {} or a place the program does not have.
    QTreeWidgetItem *itemAt(const Place &place) const;
    Place currentPlace() const;
    // Only the row at place highlighted; none for {}.
    void highlight(const Place &place);

private:
    QTreeWidgetItem *m_highlighted = nullptr;
};
