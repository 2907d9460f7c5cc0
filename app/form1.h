#pragma once

#include "alarms/alarmmonitor.h"
#include "app/alarmannunciator.h"
#include "app/panelsettings.h"
#include "app/readingdisplay.h"
#include "app/statusarea.h"
#include "entry/keypad.h"
#include "platform/portlisting.h"
#include "records/recordsaving.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"
#include "timedrun/interruptedrun.h"
#include "timedrun/timedruncontrol.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class AlarmBell;
class AuditWindow;
class ExportWriter;
class Form1Ui;
class HistoryWindow;
class LinkReconnector;
class LogWriter;
class PumpCare;
class ModalBoxes;
class PanelPublishing;
class ProgramPanel;
class RemoteControl;
class SetpointEntry;
class SerialControl;
struct MqttSettings;

// The panel's one window. It owns every control and wires each to the pump session and the
// rule classes under it: a click or a tick becomes a call, a result becomes a text on the
// screen. It comes up with the link closed: only 通信 and 帮助(H) can be chosen until 通信
// opens the port, which enables the other menus and starts the status poll.
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    // Window-level variables shared by the handlers. The keypad's (lq, pr, setliqstr and
    // Set_Pump_NO, the pump number its frames carry) live in keypad().
    struct State
    {
        double setliq = 0;     // last flow answered in the flow dialog, ml/min
        double setpresure = 0; // last pressure answered in the pressure dialog, MPa
    };

    // boxes answers the modal questions; null means real dialogs over this window.
    explicit Form1(ModalBoxes *boxes = nullptr, QWidget *parent = nullptr);
    ~Form1() override;

    SerialControl *serialControl() const { return MSComm1; }
    PumpSession *session() const { return m_session; }
    // What the pump of the adapter in use has done, and its service limits.
    PumpCare *care() const { return m_care; }
    const State &state() const { return m_state; }
    const PressureTrend &trend() const { return m_display->trend(); }
    const Keypad &keypad() const { return m_keypad; }
    const TimedRun &timedRun() const { return m_timedRun->run(); }
    const RecordBuffer &records() const { return m_run->buffer(); }
    const RunRecord &runRecord() const { return *m_run; }
    AlarmMonitor *alarms() const { return m_alarms; }
    AlarmBell *alarmBell() const { return m_annunciator->bell(); }
    // Publishes readings, state, events and alarms to an MQTT broker from now on, on a thread
    // of its own; the status area tells how it goes.
    void startPublishing(const MqttSettings &settings);
    PanelPublishing *publishing() const { return m_publishing; }
    // The pump program: its control, and its window once 程序… has opened it.
    ProgramPanel *programs() const { return m_programs; }
    // The history window, once 历史曲线… has opened it.
    HistoryWindow *historyWindow() const { return m_history; }
    StatusArea *statusArea() const { return findChild<StatusArea *>(); }
    // Remote control over SiLA 2: off until started (--sila, or 远程控制…).
    RemoteControl *remoteControl() const { return m_remote; }

    // Where 保存 and 另存为… write the record.
    RecordSaving &recordSaving() { return m_saving; }
    // What outlives the panel while a timed run counts, beside the settings; read back by
    // programStarted(). Only tests aim it elsewhere.
    RunJournal &runJournal() { return m_journal; }

    // Takes every reading and event of the run, once opened.
    LogWriter *readingLog() const { return m_log; }
    // Saves and the history's exports are written here, off the window's thread.
    ExportWriter *exports() const { return m_exports; }
    // The program has started: an event of the run, with where its log goes, and a timed run
    // that the panel's last end interrupted, said until the pump is commanded or it is
    // acknowledged; a pump program the last end interrupted is offered, and the program file
    // given (or the one used last) is loaded into the program window, not started.
    void programStarted(const QString &programFile = QString());
    // A notice about the log or the settings, in the status area.
    void showLogNotice(const QString &notice);

    // Intervals of the status poll and the timed run's tick; only tests shorten them.
    void setPollInterval(std::chrono::milliseconds interval) { Timer2->setInterval(interval); }
    void setClockInterval(std::chrono::milliseconds interval) { Timer1->setInterval(interval); }

    // Who is at the panel, as declared (empty: nobody declared), offered by 操作员….
    void setOperatorName(const QString &name) { m_operatorName = name; }
    // The audit trail's head, "seq:hash", for the run report at the moment it is printed.
    void setAuditHeadSource(std::function<QString()> source) { m_auditHead = std::move(source); }
    // Where the audit trail's days are, for 审计记录….
    void setAuditFolder(const QString &folder) { m_auditFolder = folder; }

Q_SIGNALS:
    // 退出 was chosen: the program is to end at once, without the close handler.
    void endRequested();
    // The operator declared a name with 操作员… (empty: nobody).
    void operatorEntered(const QString &name);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void connectHandlers();
    void connectSession();
    void Form_Load();
    void Form_MouseDown(Qt::MouseButton button, const QPoint &globalPos);
    void Form_Unload();

    void Communication_Click();
    void Pump_NO_Click();
    void runPump();
    void stopPump();

    void Cmdl_Click();
    void Cmdp_Click();
    void Cmd_Click(int digit);

    void stset_Click();
    void ststart_Click();
    void stzanting_Click();
    void stcontiune_Click();
    void stend_Click();
    void Timer1_Timer();
    void showClock(const TimedRun::Clock &clock);
    void setClockShown(bool shown);

    void save_Click();
    void saveAs_Click();
    void saveRecordTo(const QString &path, const char *eventKey);
    void print_Click();
    void openLogFolder_Click();
    void history_Click();
    void program_Click();
    void alarmSettings_Click();
    void operator_Click();
    void auditTrail_Click();
    void remoteControl_Click();
    void maintenance_Click();

    void Timer2_Timer();
    void MSComm1_OnComm();
    void onLinkChanged(PumpSession::Link link);
    void showLinkState();

    // One frame through the session, sent by source or the signal's sender; unsent: a box.
    void SendFrame(const QString &frame, const QString &source = QString());
    void tellUnsent(const QString &failure);
    // What asked for the frame being sent, for its event line.
    QString frameSource() const;
    void logEvent(const char *key, const QString &text) { m_session->logEvent(key, text); }
    void setLinkMenusEnabled(bool enabled);
    // A notice about the settings store, standing until the settings change.
    void showSettingsNotice(const QString &notice);

    std::unique_ptr<ModalBoxes> m_ownBoxes;
    ModalBoxes *m_boxes;
    State m_state;
    RecordSaving m_saving;
    Keypad m_keypad;
    PortListing m_portListing;
    PanelSettings m_settings;
    RunJournal m_journal{RunJournal::besideSettings(m_settings.fileName())};
    InterruptedRun *m_interruptedRun = nullptr;
    RunRecord *m_run = nullptr;
    LogWriter *m_log = nullptr;
    ExportWriter *m_exports = nullptr;
    AlarmMonitor *m_alarms = nullptr;
    AlarmAnnunciator *m_annunciator = nullptr;
    ReadingDisplay *m_display = nullptr;
    LinkReconnector *m_reconnector = nullptr;
    PumpSession *m_session = nullptr;
    PumpCare *m_care = nullptr;
    TimedRunControl *m_timedRun = nullptr;
    HistoryWindow *m_history = nullptr;
    ProgramPanel *m_programs = nullptr;
    QString m_operatorName;
    QString m_auditFolder;
    std::function<QString()> m_auditHead;
    QPointer<AuditWindow> m_auditWindow;
    PanelPublishing *m_publishing = nullptr;
    RemoteControl *m_remote = nullptr;
    QString m_settingsNotice;
    bool m_heldStopBoxOpen = false; // the box on the screen tells a stop held for the link

    std::unique_ptr<Form1Ui> ui;
    std::unique_ptr<SetpointEntry> m_entry;
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    SerialControl *MSComm1 = nullptr;
};
