#pragma once

#include <QList>

class PlotArea;
class QAction;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPushButton;
class QWidget;
class StatusArea;

// The visible part of the main window, built from the geometry table: controls, menus and
// items, each carrying its designed name as its objectName. It holds no behaviour; the window
// connects the handlers.
class Form1Ui
{
public:
    void setupUi(QMainWindow *form);

    QWidget *surface = nullptr;

    QLineEdit *pnow = nullptr;
    QLineEdit *prset = nullptr;
    QLineEdit *lqset = nullptr;

    // The three keys named Cmd0 (faces 0, ▲ and ▼) all type a 0.
    QList<QPushButton *> Cmd0;
    QPushButton *Cmd1 = nullptr;
    QPushButton *Cmd2 = nullptr;
    QPushButton *Cmd3 = nullptr;
    QPushButton *Cmd4 = nullptr;
    QPushButton *Cmd5 = nullptr;
    QPushButton *Cmd6 = nullptr;
    QPushButton *Cmd7 = nullptr;
    QPushButton *Cmd8 = nullptr;
    QPushButton *Cmd9 = nullptr;
    QPushButton *Cmdl = nullptr;
    QPushButton *Cmdp = nullptr;
    QPushButton *Cmdr = nullptr;
    QPushButton *Cmds = nullptr;

    QLabel *lhour = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lmin = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *lsed = nullptr;
    QLabel *Label3 = nullptr;
    // The clock row, left to right; always shown and hidden together.
    QList<QLabel *> clockRow;

    PlotArea *Picture1 = nullptr;

    // Notices over the brand panel, a row each, written through the area by their line.
    StatusArea *statusArea = nullptr;
    // Acknowledges every raised alarm.
    QPushButton *alarmAck = nullptr;
    // Acknowledges the notice of a timed run the panel's end interrupted.
    QPushButton *runStateAck = nullptr;

    QMenu *file = nullptr;
    QAction *save = nullptr;
    QAction *print = nullptr;
    QAction *end = nullptr;
    QAction *saveAs = nullptr;
    QAction *history = nullptr;
    QAction *openLogFolder = nullptr;
    QAction *auditTrail = nullptr;
    QMenu *settime = nullptr;
    QAction *stset = nullptr;
    QMenu *operation = nullptr;
    QAction *ststart = nullptr;
    QAction *stzanting = nullptr;
    QAction *stcontiune = nullptr;
    QAction *stend = nullptr;
    QAction *program = nullptr;
    QMenu *Pump = nullptr;
    QAction *run = nullptr;
    QAction *stop = nullptr;
    QMenu *seting = nullptr;
    QAction *liquid = nullptr;
    QAction *pressure = nullptr;
    QAction *Pump_NO = nullptr;
    QAction *alarmSettings = nullptr;
    QAction *operatorName = nullptr; // "operator"
    QAction *remoteControl = nullptr;
    QAction *maintenance = nullptr;
    QAction *Communication = nullptr;
    QMenu *rightkey = nullptr;
    QAction *rrun = nullptr;
    QAction *rstop = nullptr;
    QAction *help = nullptr;

private:
    void setupControls();
    void setupMenus(QMainWindow *form);
};
