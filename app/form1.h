#pragma once

#include "alarms/alarmbanner.h"
#include "alarms/alarmmonitor.h"
#include "app/panelsettings.h"
#include "entry/keypad.h"
#include "entry/setpointdialog.h"
#include "platform/portlisting.h"
#include "link/pressuretrend.h"
#include "records/recordsaving.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"
#include "timedrun/timedruncontrol.h"

#include <QMainWindow>

#include <memory>

class AlarmBell;
class DesktopNotifier;
class Form1Ui;
class HistoryWindow;
class LinkReconnector;
class LogWriter;
class ModalBoxes;
class PanelPublishing;
class QTimer;
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
    const State &state() const { return m_state; }
    const PressureTrend &trend() const { return m_trend; }
    const Keypad &keypad() const { return m_keypad; }
    const TimedRun &timedRun() const { return m_timedRun->run(); }
    const RecordBuffer &records() const { return m_run->buffer(); }
    const RunRecord &runRecord() const { return *m_run; }
    // True while the current-pressure box shows a reading that has not been renewed lately.
    bool readingIsStale() const { return m_session->readingIsStale(); }
    const PendingStop &pendingStop() const { return m_session->pendingStop(); }
    AlarmMonitor *alarms() const { return m_alarms; }
    AlarmBell *alarmBell() const { return m_bell; }
    // Publishes readings, state, events and alarms to an MQTT broker from now on, on a thread
    // of its own; the status area tells how it goes.
    void startPublishing(const MqttSettings &settings);
    // The history window, once 历史曲线… has opened it.
    HistoryWindow *historyWindow() const { return m_history; }

    // Folders that stand for drive letters of the record file on this machine. A folder given
    // as made on demand is created at the first save into it.
    void setDriveFolders(const QHash<QChar, QString> &folders,
                         const QString &folderMadeOnDemand = QString())
    {
        m_saving.setDriveFolders(folders, folderMadeOnDemand);
    }
    QString recordFilePath() const { return m_saving.recordFilePath(); }

    // Appends every current-pressure reading and every event to this file as well. False, with
    // the reason in errorText, when the file cannot be opened or is no file.
    bool openReadingLog(const QString &path, QString *errorText);
    // The same to a file a day in this folder, which is made when needed.
    bool openDailyReadingLog(const QString &folder, QString *errorText);
    LogWriter *readingLog() const { return m_log; }
    // The program has started: an event of the run, with where its log goes.
    void programStarted();
    // Ends the reading log's and publishing's threads together, each within its deadline.
    void finishWorkers();
    // A notice about the log or the settings, in the status area.
    void showLogNotice(const QString &notice);

    // Interval of the status poll; only tests shorten it.
    void setPollInterval(std::chrono::milliseconds interval);
    // Interval of the timed run's tick; only tests shorten it.
    void setClockInterval(std::chrono::milliseconds interval);
    // The clock the timed run counts its seconds on; only tests give another.
    void setRunClockSource(RunClock::Source source) { m_timedRun->setClockSource(std::move(source)); }

Q_SIGNALS:
    // 退出 was chosen: the program is to end at once, without the close handler.
    void endRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void connectHandlers();
    void connectSession();
    void connectAlarms();
    void Form_Load();
    void Form_MouseDown(Qt::MouseButton button, const QPoint &globalPos);
    void focusMenuBar();
    void Form_Unload();

    void Communication_Click();
    void Pump_NO_Click();
    void runPump();
    void stopPump();

    void Cmdl_Click();
    void Cmdp_Click();
    void Cmd_Click(int digit);
    Keypad::Boxes keypadBoxes() const;
    void showKeypadOutcome(const Keypad::Outcome &outcome);
    void askSetpoint(SetpointDialog::Kind kind, double *stored);

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
    void alarmSettings_Click();

    void Timer2_Timer();
    void MSComm1_OnComm();
    void showReading(const QString &text);
    void showSettingReply(char letter, const QString &value);
    void drawTrendStep();
    void showReadingCurrency();
    void onLinkChanged(PumpSession::Link link, PumpSession::Link before);
    void showLinkState();
    void showAlarms();
    QStringList portChoices() const;

    // Writes one frame through the session; a frame that cannot go out is told in a box.
    void SendFrame(const QString &frame);
    void tellUnsent(const QString &failure);
    // What asked for the frame being sent, for its event line.
    QString frameSource() const;
    void logEvent(const char *key, const QString &text) { m_session->logEvent(key, text); }
    void setLinkMenusEnabled(bool enabled);

    std::unique_ptr<ModalBoxes> m_ownBoxes;
    ModalBoxes *m_boxes;
    State m_state;
    PressureTrend m_trend;
    RecordSaving m_saving;
    Keypad m_keypad;
    PortListing m_portListing;
    PanelSettings m_settings;
    RunRecord *m_run = nullptr;
    LogWriter *m_log = nullptr;
    AlarmMonitor *m_alarms = nullptr;
    AlarmBanner m_banner;
    AlarmBell *m_bell = nullptr;
    DesktopNotifier *m_notifier = nullptr;
    LinkReconnector *m_reconnector = nullptr;
    PumpSession *m_session = nullptr;
    TimedRunControl *m_timedRun = nullptr;
    HistoryWindow *m_history = nullptr;
    PanelPublishing *m_publishing = nullptr;

    std::unique_ptr<Form1Ui> ui;
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    SerialControl *MSComm1 = nullptr;
};
