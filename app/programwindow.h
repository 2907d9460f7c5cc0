#pragma once

#include "program/program.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class ModalBoxes;
class ProgramPlot;
class ProgramRunner;
class ProgramStepDialog;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

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

    const Program &program() const { return m_program; }
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
    // A row of the tree: the block (0 the steps, 1 the end block), then the index in each list
    // down through the repeats. The end block's own branch is {1}.
    using Place = QList<int>;

    bool commit(const Program &edited, const Place &select);
    void rebuild(const Place &select);
    QTreeWidgetItem *itemAt(const Place &place) const;
    Place currentPlace() const;
    bool running() const;
    void updateControls();
    void updatePlan();
    void setStatus(const QString &text);

    void insertStep();
    void editStep();
    void stepChosen();
    void removeStep();
    void moveStep(int by);
    void duplicateStep();
    void open();
    void save();

    ModalBoxes *m_boxes;
    Program m_program;
    const ProgramRunner *m_runner = nullptr;
    QString m_path;
    qint64 m_plannedSeconds = 0;
    QTreeWidgetItem *m_highlighted = nullptr;
    bool m_editing = false; // the dialog changes the current step rather than adding one
    bool m_placed = false;

    QLineEdit *m_name;
    QSpinBox *m_pump;
    QComboBox *m_policy;
    QPushButton *m_open;
    QPushButton *m_save;
    QTreeWidget *m_steps;
    QList<QAction *> m_editActions;
    ProgramStepDialog *m_dialog;
    ProgramPlot *m_plot;
    QWidget *m_offer;
    QLabel *m_offerText;
    QPushButton *m_resume;
    QPushButton *m_stopPump;
    QPushButton *m_start;
    QPushButton *m_pause;
    QPushButton *m_continue;
    QPushButton *m_end;
    QLabel *m_state;
    QLabel *m_time;
    QLabel *m_status;
};
