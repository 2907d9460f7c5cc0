#pragma once

#include "program/program.h"
#include "program/programeditor.h"
#include "program/programprogress.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class ModalBoxes;
class ProgramOffer;
class ProgramPlot;
class ProgramRunner;
class ProgramStepDialog;
class ProgramStepTree;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The pump program beside the panel: its steps edited by keyboard, opened and saved as files,
// its planned flow and limit drawn, and, while a runner carries it out, the step it is at, the
// time left and the pressure read. Every edit goes through the program file's own reading, so
// the window only ever holds a program the panel could open: an edit that reading refuses is
// not made, and its reason shows in the window's status line. The window starts, pauses and
// ends nothing itself: it asks, and whoever owns the runner decides.
class ProgramWindow : public QWidget
{
    Q_OBJECT

public:
    ProgramWindow(ModalBoxes *boxes, QWidget *parent = nullptr);
    ~ProgramWindow() override;

    const Program &program() const { return m_editor.program(); }
    // A program from elsewhere (a file given at start, a journal), shown as if opened from
    // path; refused while one runs.
    bool setProgram(const Program &program, const QString &path = QString());
    // The file the program shown was opened from or saved to; empty while it has none.
    QString path() const { return m_path; }
    // The runner of the program shown, followed until it is gone; nullptr when none.
    void setRunner(const ProgramRunner *runner);
    // A pressure reading at a second of the program's plan, see ProgramPlan::secondOf().
    void addReading(qint64 programSecond, double mpa);
    // After each tick of the runner: the step, the times and the buttons again.
    void refresh();

    // An interrupted program the operator may take up again or wind down, in a row of the
    // window rather than a box, so that the panel stays usable meanwhile.
    // stopOffered: the end block cannot run, and a plain stop is offered in its place.
    void offerInterrupted(const QString &text, bool resumeAllowed, bool stopOffered);
    void clearOffer();

Q_SIGNALS:
    void startRequested(const Program &program);
    void pauseRequested();
    void continueRequested();
    void endRequested();
    void resumeRequested();
    void runEndRequested();
    void stopPumpRequested();
    void offerAcknowledged();
    // A program was opened from, or saved to, path.
    void fileChosen(const QString &path);
    // An edit by the operator changed the program shown.
    void programEdited(const Program &program);

protected:
    void showEvent(QShowEvent *event) override;

private:
    using Place = ProgramEditor::Place;

    // An edit's outcome: the tree, the status line and the plan again.
    void apply(const ProgramEditor::Edit &edit);
    void rebuild(const Place &select);
    bool running() const { return ProgramProgress::busy(m_runner); }
    void updateControls();
    void updatePlan();

    void insertStep();
    void editStep();
    void stepChosen();
    void open();
    void save();

    ModalBoxes *m_boxes;
    ProgramEditor m_editor;
    const ProgramRunner *m_runner = nullptr;
    QString m_path;
    qint64 m_plannedSeconds = 0;
    bool m_editing = false; // the dialog changes the current step rather than adding one
    bool m_placed = false;

    QLineEdit *m_name;
    QSpinBox *m_pump;
    QComboBox *m_policy;
    QPushButton *m_open;
    QPushButton *m_save;
    ProgramStepTree *m_steps;
    QList<QAction *> m_editActions;
    ProgramStepDialog *m_dialog;
    ProgramPlot *m_plot;
    ProgramOffer *m_offer;
    QPushButton *m_start;
    QPushButton *m_pause;
    QPushButton *m_continue;
    QPushButton *m_end;
    QLabel *m_state;
    QLabel *m_time;
    QLabel *m_status;
};
