#pragma once

#include "framereader.h"
#include "linkprotocol.h"
#include "pressuretrend.h"
#include "stalereadingwatch.h"

#include <QMainWindow>

#include <memory>

class Form1Ui;
class ModalBoxes;
class QMenu;
class QTimer;
class SerialControl;

// The panel's one window. It owns every control and all window-level state, and its handlers
// turn clicks, ticks and serial events into frames for the pump and texts on the screen.
// It comes up with the link closed: only 通信 and 帮助(H) can be chosen until 通信 opens the
// port, which enables the other menus and starts the status poll.
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    // Window-level variables shared by the handlers.
    struct State
    {
        qint16 lq = 0;          // 1 while a keypad flow entry is in progress
        qint16 pr = 0;          // 1 while a keypad pressure entry is in progress
        qint16 Set_Pump_NO = 0; // pump number carried by keypad frames
        QString setliqstr;      // body of the last keypad frame sent
        double setliq = 0;      // last flow answered in the flow dialog, ml/min
        double setpresure = 0;  // last pressure answered in the pressure dialog, MPa
    };

    // boxes answers the modal questions; null means real dialogs over this window.
    explicit Form1(ModalBoxes *boxes = nullptr, QWidget *parent = nullptr);
    ~Form1() override;

    SerialControl *serialControl() const { return MSComm1; }
    const State &state() const { return m_state; }
    const PressureTrend &trend() const { return m_trend; }
    // True while the current-pressure box shows a reading that has not been renewed lately.
    bool readingIsStale() const { return m_readingStale; }

    // Folders that stand for drive letters of the record file on this machine.
    void setDriveFolders(const QHash<QChar, QString> &folders) { m_driveFolders = folders; }
    QString recordFilePath() const;

Q_SIGNALS:
    // 退出 was chosen: the program is to end at once, without the close handler.
    void endRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void connectHandlers();
    void Form_Load();
    void Form_MouseDown(Qt::MouseButton button, const QPoint &globalPos);
    void Form_Unload();

    void Communication_Click();
    void Pump_NO_Click();
    void runPump();
    void stopPump();
    void Timer2_Timer();
    void MSComm1_OnComm();
    void handleReply(const QByteArray &frame);
    void onPortFailed(const QString &reason);
    void closeLink();

    void SendFrame(const QString &frame);
    void setLinkMenusEnabled(bool enabled);
    void setReadingStale(bool stale);

    std::unique_ptr<ModalBoxes> m_ownBoxes;
    ModalBoxes *m_boxes;
    State m_state;
    PressureTrend m_trend;
    FrameReader m_reader;
    StaleReadingWatch m_readingWatch{LinkProtocol::kPollsUntilStale};
    bool m_readingStale = false;
    QHash<QChar, QString> m_driveFolders;

    std::unique_ptr<Form1Ui> ui;
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    SerialControl *MSComm1 = nullptr;
};
