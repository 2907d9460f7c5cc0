#pragma once

#include "app/programwindow.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class AlarmMonitor;
class ModalBoxes;
class ProgramControl;
class PumpSession;
class QWidget;
class RunJournal;
class StatusArea;

// The pump program as the operator meets it: 程序… opens the program window, whose requests
// go to the program's control; refusals come back in a box over that window, the program's row
// of the status area says where the program is, and an interrupted program is offered in the
// window, without a box.
class ProgramPanel : public QObject
{
    Q_OBJECT

public:
    ProgramPanel(PumpSession *session, AlarmMonitor *alarms, RunJournal *journal,
                 std::function<bool()> timedRunActive, ModalBoxes *boxes, StatusArea *area,
                 QWidget *parent);

    ProgramControl *control() const { return m_control; }
    ProgramWindow *window() const { return m_window; }

    // Opens the window (made the first time), in front.
    void showWindow();
    // A program file given at start: loaded into the window, never started. Empty when
    // loaded; else why not.
    QString load(const QString &path);
    // At the panel's start, after the journal's timed run was looked at.
    void lookForInterrupted();

Q_SIGNALS:
    // The program's state changed: the published state follows it.
    void changed();
    // The operator opened or saved a program file: the next start offers it again.
    void fileChosen(const QString &path);

private:
    ProgramWindow *ensureWindow();
    void tell(const QString &failure);
    void show();

    QWidget *m_parent;
    ModalBoxes *m_boxes;
    StatusArea *m_area;
    ProgramControl *m_control;
    QPointer<ProgramWindow> m_window;
};
