#include "form1.h"

#include "alarmbell.h"
#include "alarmsettingsdialog.h"
#include "commandframe.h"
#include "desktopnotifier.h"
#include "form1layout.h"
#include "form1ui.h"
#include "historywindow.h"
#include "linkprotocol.h"
#include "linkreconnector.h"
#include "logwriter.h"
#include "mqttpublisher.h"
#include "numbertext.h"
#include "panelpalette.h"
#include "plotarea.h"
#include "portanswer.h"
#include "qtprintinglayer.h"
#include "recordfile.h"
#include "recordpath.h"
#include "serialcontrol.h"
#include "statusarea.h"
#include "testpage.h"
#include "widgetmodalboxes.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <cmath>

namespace {

// How long "the link is back" stays in the status area.
constexpr auto kLinkBackShown = std::chrono::seconds(10);

void setTextColor(QLineEdit *box, const QColor &color)
{
    QPalette palette = box->palette();
    if (palette.color(QPalette::Text) == color)
        return;
    palette.setColor(QPalette::Text, color);
    box->setPalette(palette);
}

} // namespace

Form1::Form1(ModalBoxes *boxes, QWidget *parent) : QMainWindow(parent)
{
    if (!boxes) {
        m_ownBoxes = std::make_unique<WidgetModalBoxes>(this);
        boxes = m_ownBoxes.get();
    }
    m_boxes = boxes;

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvane(KMW7R35)V2.0"));
    setWindowIcon(QIcon(QStringLiteral(":/artwork/icon.png")));
    // The right button on the surface opens the panel's own pop-up menu, nothing else.
    setContextMenuPolicy(Qt::PreventContextMenu);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // Late ticks lose no time (the run clock counts what passed), but a coarse timer would
    // make every second of the clock uneven.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);

    MSComm1 = new SerialControl(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    connect(MSComm1, &SerialControl::OnComm, this, &Form1::MSComm1_OnComm);
    connect(MSComm1, &SerialControl::failed, this, &Form1::onPortFailed);
    m_run = new RunRecord(this);
    m_log = new LogWriter(this);
    // The log takes every reading and event as the run record receives them; a log that is
    // not open takes nothing.
    connect(m_run, &RunRecord::readingAdded, m_log, [this](const RunRecord::Reading &reading) {
        m_log->reading(reading.time, reading.text);
    });
    connect(m_run, &RunRecord::eventAdded, m_log, [this](const RunRecord::Event &event) {
        m_log->event(event.time, event.key, event.text);
    });
    // A log that has stopped is told once, beside the link, and the panel goes on.
    connect(m_log, &LogWriter::stopped, this,
            [this](const QString &reason) { showLogNotice(tr("%1；读数日志已停止").arg(reason)); });
    m_reconnector = new LinkReconnector(MSComm1, &m_portListing, this);
    connect(m_reconnector, &LinkReconnector::reconnected, this, &Form1::onReconnected);
    connect(m_reconnector, &LinkReconnector::stillAway, this, &Form1::onStillAway);
    m_linkBackShown = new QTimer(this);
    m_linkBackShown->setSingleShot(true);
    m_linkBackShown->setInterval(kLinkBackShown);
    connect(m_linkBackShown, &QTimer::timeout, this, [this] {
        m_linkStatus.clearNotice();
        showLinkState();
    });

    ui = std::make_unique<Form1Ui>();
    ui->setupUi(this);
    connectHandlers();
    setupAlarms();

    // The client area sits at its designed place; the menu bar comes on top of it.
    const int menuHeight = menuBar()->sizeHint().height();
    const QSize client = Form1Layout::clientSize();
    const QPoint topLeft = Form1Layout::clientTopLeft();
    const QRect designed(topLeft.x(), topLeft.y() - menuHeight, client.width(),
                         client.height() + menuHeight);
    // Moved only as far as the screen's free area asks: a window cut off at the screen's edge
    // hides the trend.
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    setGeometry(where ? Form1Layout::placeOnScreen(designed, where->availableGeometry())
                      : designed);

    Form_Load();
    if (const QString problem = m_settings.problem(); !problem.isEmpty())
        showLogNotice(problem);
}

Form1::~Form1()
{
    stopPublishing();
}

void Form1::startPublishing(const MqttSettings &settings)
{
    if (m_publisher)
        return;
    m_publisherThread = new QThread(this);
    m_publisherThread->setObjectName(QStringLiteral("mqtt"));
    m_publisher = new MqttPublisher(settings);
    m_publisher->moveToThread(m_publisherThread);
    connect(m_publisherThread, &QThread::finished, m_publisher, &QObject::deleteLater);
    connect(m_publisherThread, &QThread::started, m_publisher, &MqttPublisher::start);
    connect(m_publisher, &MqttPublisher::statusChanged, this,
            [this](MqttPublisher::Status status, const QString &detail) {
                ui->statusArea->setLine(ui->mqttState, tr("监控：%1").arg(detail));
                // An event line for each change, not for each attempt of the same kind.
                if (int(status) == std::exchange(m_publisherStatus, int(status)) ||
                    status == MqttPublisher::Status::Connecting)
                    return;
                const char *key = status == MqttPublisher::Status::Connected ? "mqtt-connected"
                                  : status == MqttPublisher::Status::Away    ? "mqtt-lost"
                                                                             : "mqtt-refused";
                logEvent(key, detail);
            });
    // Queued to the publisher's thread: the window never waits for the broker.
    connect(m_run, &RunRecord::readingAdded, this, [this](const RunRecord::Reading &r) {
        QMetaObject::invokeMethod(m_publisher, "publishReading", Qt::QueuedConnection,
                                  Q_ARG(QDateTime, r.time), Q_ARG(QString, r.text),
                                  Q_ARG(double, r.value.value_or(std::nan(""))));
    });
    connect(m_run, &RunRecord::eventAdded, this, [this](const RunRecord::Event &event) {
        QMetaObject::invokeMethod(m_publisher, "publishEvent", Qt::QueuedConnection,
                                  Q_ARG(QDateTime, event.time), Q_ARG(QString, event.key),
                                  Q_ARG(QString, event.text));
        publishState();
    });
    const auto alarm = [this](AlarmMonitor::Kind kind, const char *action, const QString &text) {
        QMetaObject::invokeMethod(
            m_publisher, "publishAlarm", Qt::QueuedConnection,
            Q_ARG(QDateTime, QDateTime::currentDateTime()), Q_ARG(QString, AlarmMonitor::id(kind)),
            Q_ARG(QString, QString::fromLatin1(action)), Q_ARG(QString, text));
    };
    connect(m_alarms, &AlarmMonitor::raised, this,
            [alarm](const AlarmMonitor::Alarm &a) { alarm(a.kind, "raised", a.value); });
    connect(m_alarms, &AlarmMonitor::cleared, this,
            [alarm](AlarmMonitor::Kind kind) { alarm(kind, "cleared", QString()); });
    connect(m_alarms, &AlarmMonitor::stopWanted, this, [alarm](const AlarmMonitor::Alarm &a) {
        alarm(a.kind, "acted", QStringLiteral("stop"));
    });
    connect(m_alarms, &AlarmMonitor::acknowledged, this,
            [alarm](const QList<AlarmMonitor::Alarm> &alarms) {
                for (const AlarmMonitor::Alarm &a : alarms)
                    alarm(a.kind, "acknowledged", QString());
            });
    m_publisherThread->start();
    publishState();
}

void Form1::stopPublishing()
{
    if (!m_publisherThread)
        return;
    // "offline" is said before the program goes, waiting a second at most for the broker.
    QMetaObject::invokeMethod(m_publisher, "finish", Qt::BlockingQueuedConnection);
    m_publisherThread->quit();
    m_publisherThread->wait();
    m_publisherThread = nullptr;
    m_publisher = nullptr;
}

void Form1::publishState()
{
    if (!m_publisher)
        return;
    PanelState state;
    state.link = MSComm1->portOpen()     ? QStringLiteral("open")
                 : m_linkStatus.isLost() ? QStringLiteral("lost")
                                         : QStringLiteral("closed");
    state.device = m_reconnector->device();
    state.lastFrame = m_lastFrame.frame;
    state.lastFrameSource = m_lastFrame.source;
    state.lastFrameTime = m_lastFrame.time;
    state.pumpNumber = m_keypad.pumpNumber();
    if (m_timedRun.timeset() > 0)
        state.runSetTime = tr("%1 分").arg(QLocale().toString(m_timedRun.timeset()));
    state.runStartedAt = m_runStartedAt;
    state.runMode = Timer1->isActive()         ? QStringLiteral("counting")
                    : m_runStartedAt.isValid() ? QStringLiteral("paused")
                                               : QStringLiteral("idle");
    state.pendingStop = m_pendingStop.isPending();
    for (const AlarmMonitor::Alarm &alarm : m_alarms->latched())
        state.alarms << AlarmMonitor::id(alarm.kind);
    QMetaObject::invokeMethod(m_publisher, "publishState", Qt::QueuedConnection,
                              Q_ARG(PanelState, state));
}

void Form1::connectHandlers()
{
    connect(ui->Cmdr, &QPushButton::clicked, this, &Form1::runPump);
    connect(ui->Cmds, &QPushButton::clicked, this, &Form1::stopPump);
    connect(ui->run, &QAction::triggered, this, &Form1::runPump);
    connect(ui->stop, &QAction::triggered, this, &Form1::stopPump);
    connect(ui->rrun, &QAction::triggered, this, &Form1::runPump);
    connect(ui->rstop, &QAction::triggered, this, &Form1::stopPump);
    connect(ui->Pump_NO, &QAction::triggered, this, &Form1::Pump_NO_Click);
    connect(ui->Communication, &QAction::triggered, this, &Form1::Communication_Click);
    connect(ui->end, &QAction::triggered, this, &Form1::endRequested);

    // The keyboard's ways into the menus, which have no keys of their own: F10 for the menu
    // bar, as desktop programs do, and the Menu key or Shift+F10 for the pop-up menu.
    auto *toMenuBar = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(toMenuBar, &QShortcut::activated, this, &Form1::focusMenuBar);
    for (const QKeySequence &keys :
         {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)}) {
        auto *popup = new QShortcut(keys, this);
        connect(popup, &QShortcut::activated, this, [this] {
            const QWidget *focused = focusWidget() ? focusWidget() : centralWidget();
            Form_MouseDown(Qt::RightButton, focused->mapToGlobal(focused->rect().center()));
        });
    }

    connect(ui->Cmdl, &QPushButton::clicked, this, &Form1::Cmdl_Click);
    connect(ui->Cmdp, &QPushButton::clicked, this, &Form1::Cmdp_Click);
    const QList<QPushButton *> digitKeys{ui->Cmd1, ui->Cmd2, ui->Cmd3, ui->Cmd4, ui->Cmd5,
                                         ui->Cmd6, ui->Cmd7, ui->Cmd8, ui->Cmd9};
    for (int digit = 1; digit <= 9; ++digit)
        connect(digitKeys.at(digit - 1), &QPushButton::clicked, this,
                [this, digit] { Cmd_Click(digit); });
    // The keys 0, ▲ and ▼ share one name and all type a 0.
    for (QPushButton *zero : std::as_const(ui->Cmd0))
        connect(zero, &QPushButton::clicked, this, [this] { Cmd_Click(0); });
    connect(ui->liquid, &QAction::triggered, this,
            [this] { askSetpoint(SetpointDialog::Kind::Flow, &m_state.setliq); });
    connect(ui->pressure, &QAction::triggered, this,
            [this] { askSetpoint(SetpointDialog::Kind::Pressure, &m_state.setpresure); });

    connect(ui->stset, &QAction::triggered, this, &Form1::stset_Click);
    connect(ui->ststart, &QAction::triggered, this, &Form1::ststart_Click);
    connect(ui->stzanting, &QAction::triggered, this, &Form1::stzanting_Click);
    connect(ui->stcontiune, &QAction::triggered, this, &Form1::stcontiune_Click);
    connect(ui->stend, &QAction::triggered, this, &Form1::stend_Click);

    connect(ui->save, &QAction::triggered, this, &Form1::save_Click);
    connect(ui->saveAs, &QAction::triggered, this, &Form1::saveAs_Click);
    connect(ui->openLogFolder, &QAction::triggered, this, &Form1::openLogFolder_Click);
    connect(ui->print, &QAction::triggered, this, &Form1::print_Click);
}

void Form1::Form_Load()
{
    setLinkMenusEnabled(false);
    m_keypad.setPumpNumber(0);
    Timer1->setInterval(TimedRun::kTickInterval);
    Timer1->stop();
    Timer2->setInterval(LinkProtocol::kPollInterval);
    Timer2->stop();
    for (QLabel *label : std::as_const(ui->clockRow))
        label->hide();
    ui->Picture1->setScale(PressureTrend::kScaleTopLeft, PressureTrend::kScaleBottomRight);
    m_trend.setPrhistory(0, 0.0);
    // "00.0" is the box's designed text, not a reading.
    setReadingStale(false);
    ui->Cmd1->setFocus();
}

QString Form1::recordFilePath() const
{
    return RecordPath::toLocalPath(QString::fromLatin1(RecordPath::kRecordFile), m_driveFolders);
}

bool Form1::openReadingLog(const QString &path, QString *errorText)
{
    if (!m_log->openFile(path, errorText))
        return false;
    logEvent("program-start", tr("读数日志 %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

bool Form1::openDailyReadingLog(const QString &folder, QString *errorText)
{
    if (!m_log->openDailyFolder(folder, errorText))
        return false;
    logEvent("program-start", tr("读数日志文件夹 %1").arg(QDir::toNativeSeparators(folder)));
    return true;
}

void Form1::showLogNotice(const QString &notice)
{
    ui->statusArea->setLine(ui->logState, notice);
}

void Form1::openLogFolder_Click()
{
    if (!m_log->isOpen()) {
        showLogNotice(tr("没有读数日志"));
        return;
    }
    const QString folder =
        m_log->folder().isEmpty() ? QFileInfo(m_log->path()).absolutePath() : m_log->folder();
    // Without a file manager to show it, the operator is told where it is.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        showLogNotice(tr("读数日志文件夹：%1").arg(QDir::toNativeSeparators(folder)));
}

void Form1::setPollInterval(std::chrono::milliseconds interval)
{
    Timer2->setInterval(interval);
}

void Form1::setClockInterval(std::chrono::milliseconds interval)
{
    Timer1->setInterval(interval);
}

void Form1::setLinkMenusEnabled(bool enabled)
{
    for (QMenu *menu : {ui->file, ui->settime, ui->Pump, ui->rightkey, ui->seting}) {
        menu->menuAction()->setEnabled(enabled);
        menu->setEnabled(enabled);
    }
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    // Presses on controls stay with them; what arrives here fell on the window's surface.
    if (centralWidget()->geometry().contains(event->position().toPoint()))
        Form_MouseDown(event->button(), event->globalPosition().toPoint());
    QMainWindow::mousePressEvent(event);
}

void Form1::focusMenuBar()
{
    for (QAction *item : menuBar()->actions()) {
        if (item->isVisible() && item->isEnabled()) {
            menuBar()->setFocus(Qt::ShortcutFocusReason);
            menuBar()->setActiveAction(item);
            return;
        }
    }
}

void Form1::Form_MouseDown(Qt::MouseButton button, const QPoint &globalPos)
{
    if (button != Qt::RightButton || !ui->rightkey->isEnabled())
        return;
    ui->rightkey->popup(globalPos);
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload()
{
    m_reconnector->cancel();
    if (MSComm1->portOpen())
        logEvent("link-closed", deviceText());
    MSComm1->setPortOpen(false);
    // No poll may go out to a closed port while the program winds down.
    Timer2->stop();
}

void Form1::Communication_Click()
{
    const QString answer =
        m_boxes->choiceBox(QStringLiteral("Input communication port"), QStringLiteral("Commport"),
                           portChoices(), QStringLiteral("1"));
    if (answer.isEmpty())
        return;

    const int previousPort = MSComm1->commPort();
    const QString previousDevice = MSComm1->openDevice();
    // A port already in use stays in use whatever went wrong with the new answer.
    const auto refuse = [&](QString message) {
        if (!previousDevice.isEmpty())
            message += tr("\n端口 %1（%2）仍在使用。").arg(previousPort).arg(previousDevice);
        m_boxes->messageBox(message, tr("通信"));
    };

    const std::optional<PortAnswer> port = PortAnswer::parse(answer);
    if (!port) {
        refuse(tr("“%1”不是有效的端口。请输入端口的编号（例如 1）或设备（例如 /dev/ttyUSB0）。")
                   .arg(answer));
        return;
    }
    const QString previousCanonical = MSComm1->canonicalDevice();
    bool opened = false;
    if (port->number) {
        MSComm1->setCommPort(*port->number);
        opened = MSComm1->setPortOpen(true);
        if (!opened)
            MSComm1->setCommPort(previousPort);
    } else {
        opened = MSComm1->openPath(port->device);
    }
    if (!opened) {
        refuse(MSComm1->errorString());
        return;
    }
    if (!MSComm1->setSettings(QString::fromLatin1(LinkProtocol::kLineSettings))) {
        const QString message = MSComm1->errorString();
        closeLink();
        m_boxes->messageBox(message, tr("通信"));
        return;
    }
    // The operator's choice replaces any automatic attempt; a stop owed to the adapter that
    // was lost goes out only if this is that adapter.
    const QString device = MSComm1->openDevice();
    const QString owedTo = m_reconnector->device();
    m_reconnector->cancel();
    if (!previousDevice.isEmpty() && previousCanonical != MSComm1->canonicalDevice())
        logEvent("link-closed", previousDevice);
    const bool sameAdapter = m_reconnector->remember(device);
    m_settings.setLastDevice(device);
    logEvent("link-open", deviceText());
    linkOpened();
    // A name alone does not make the same adapter: the stop is never sent to another one.
    sendPendingStop(sameAdapter ? owedTo : QString());
    Timer2->start();
}

QStringList Form1::portChoices() const
{
    // The device opened last comes first, as it was named, so a by-id name survives a replug.
    QStringList choices;
    const QString last = m_settings.lastDevice();
    if (!last.isEmpty())
        choices << last;
    for (const SerialPortRecord &port : m_portListing.ports()) {
        if (port.systemLocation != last)
            choices << PortAnswer::listEntry(port);
    }
    return choices;
}

void Form1::linkOpened()
{
    MSComm1->setInputLen(0);
    MSComm1->setRThreshold(LinkProtocol::kReceiveThreshold);
    m_reader.clear();
    // Readings from before an outage and after it are not joined by a line.
    if (m_linkStatus.isLost())
        m_trend.breakLine();
    m_linkStatus.opened();
    setLinkMenusEnabled(true);
    m_readingWatch.restart();
    showLinkState();
    m_alarms->portOpened();
    armAlarmCheck();
}

void Form1::onPortFailed(const QString &reason)
{
    // Told in the status area, not in a box that would still say "closed" once the link is
    // back; the poll waits until it is.
    closeLink();
    setReadingStale(true);
    m_linkStatus.lost(reason);
    m_linkBackShown->stop();
    logEvent("link-lost", reason);
    showLinkState();
    m_alarms->linkLost();
    armAlarmCheck();
    m_reconnector->begin();
}

void Form1::onStillAway(const QString &why)
{
    m_linkStatus.waiting(why);
    showLinkState();
}

void Form1::onReconnected()
{
    logEvent("link-back", deviceText());
    linkOpened();
    sendPendingStop(m_reconnector->device());
    m_linkStatus.notice(tr("线路已恢复：%1").arg(deviceText()));
    m_linkBackShown->start();
    showLinkState();
    Timer2->start();
}

void Form1::oweStop(const QString &cause)
{
    if (m_pendingStop.owe(m_reconnector->device(), cause))
        logEvent("run-pending-stop",
                 tr("%1，停止命令 %2 未能送到泵，线路恢复后首先发送")
                     .arg(cause, QString::fromLatin1(LinkProtocol::kStopFrame)));
    showLinkState();
    showRunToolTip();
}

void Form1::sendPendingStop(const QString &device)
{
    if (!m_pendingStop.isPending())
        return;
    const QStringList causes = m_pendingStop.causes();
    if (!m_pendingStop.takeFor(device)) {
        logEvent("run-pending-stop", tr("已取消：打开了另一台设备 %1").arg(deviceText()));
        m_linkStatus.notice(tr("待发送的停止命令已取消：打开的是另一台设备"));
        m_linkBackShown->start();
    } else if (const QString failure = trySendFrame(QString::fromLatin1(LinkProtocol::kStopFrame));
               failure.isEmpty()) {
        logEvent("run-pending-stop",
                 tr("已发送 %1").arg(QString::fromLatin1(LinkProtocol::kStopFrame)));
    } else {
        // The line went again at once; its failure report follows and the stop stays owed.
        for (const QString &cause : causes)
            m_pendingStop.owe(device, cause);
    }
    showLinkState();
    showRunToolTip();
}

void Form1::setupAlarms()
{
    m_alarms = new AlarmMonitor({}, this);
    m_bell = new AlarmBell(this);
    m_notifier = new DesktopNotifier(this);
    m_alarmCheck = new QTimer(this);
    m_alarmCheck->setSingleShot(true);
    m_alarmCheck->setTimerType(Qt::PreciseTimer);
    connect(m_alarmCheck, &QTimer::timeout, this, [this] {
        m_alarms->check();
        armAlarmCheck();
    });
    QString problem;
    m_alarms->setSettings(m_settings.alarmSettings(&problem));
    if (!problem.isEmpty())
        showLogNotice(problem);

    connect(ui->alarmSettings, &QAction::triggered, this, &Form1::alarmSettings_Click);
    connect(ui->history, &QAction::triggered, this, &Form1::history_Click);
    connect(m_alarms, &AlarmMonitor::raised, this, &Form1::onAlarmRaised);
    connect(m_alarms, &AlarmMonitor::stopWanted, this, &Form1::onAlarmStop);
    connect(m_alarms, &AlarmMonitor::cleared, this, [this](AlarmMonitor::Kind kind) {
        logEvent("alarm-cleared", tr("%1：已恢复正常").arg(AlarmMonitor::name(kind)));
    });
    connect(m_alarms, &AlarmMonitor::acknowledged, this,
            [this](const QList<AlarmMonitor::Alarm> &alarms) {
                QStringList names;
                for (const AlarmMonitor::Alarm &alarm : alarms)
                    names << AlarmMonitor::name(alarm.kind);
                logEvent("alarm-ack", tr("已确认：%1").arg(names.join(tr("、"))));
                m_bell->stop();
                m_alarmActed.clear();
                showAlarms();
            });
    connect(ui->alarmAck, &QPushButton::clicked, m_alarms, &AlarmMonitor::acknowledgeAll);
}

void Form1::history_Click()
{
    // Made at the first opening, then kept: it holds the drawing's copy of the readings.
    if (!m_history) {
        m_history = new HistoryWindow(m_run, m_boxes, this);
        m_history->setHeaderSource([this] {
            return RunReportPrinter::Header{windowTitle(), QStringLiteral(CORVANE_VERSION),
                                            m_reconnector->device().isEmpty() ? QString()
                                                                              : deviceText(),
                                            m_keypad.pumpNumber()};
        });
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void Form1::alarmSettings_Click()
{
    AlarmSettingsDialog dialog(m_alarms->settings(), this);
    if (dialog.exec() != QDialog::Accepted || dialog.settings() == m_alarms->settings())
        return;
    m_alarms->setSettings(dialog.settings());
    m_settings.setAlarmSettings(dialog.settings());
    armAlarmCheck();
}

void Form1::onAlarmRaised(const AlarmMonitor::Alarm &alarm)
{
    logEvent("alarm-raised", tr("%1：%2").arg(AlarmMonitor::name(alarm.kind), alarm.value));
    m_alarmActed.remove(alarm.kind);
    showAlarms();
    // Seen from across the room too, where the desktop shows notifications.
    m_notifier->notify(
        tr("泵报警：%1").arg(AlarmMonitor::name(alarm.kind)),
        tr("%1 %2").arg(alarm.raisedAt.toString(QStringLiteral("HH:mm:ss")), alarm.value));
    // Heard until acknowledged, even over a box of the operator's.
    m_bell->start();
}

void Form1::onAlarmStop(const AlarmMonitor::Alarm &alarm)
{
    const QString stopFrame = QString::fromLatin1(LinkProtocol::kStopFrame);
    const QString cause = tr("报警（%1）").arg(AlarmMonitor::name(alarm.kind));
    // No box: nobody may be at the screen, and a box would hold the poll up.
    if (const QString failure = trySendFrame(stopFrame); failure.isEmpty()) {
        m_alarmActed.insert(alarm.kind, tr("已停泵"));
        logEvent("alarm-acted", tr("%1：已发送停止命令 %2").arg(cause, stopFrame));
    } else {
        m_alarmActed.insert(alarm.kind, tr("停止命令待发送"));
        logEvent("alarm-acted", tr("%1：停止命令未能发送（%2）").arg(cause, failure));
        oweStop(cause);
    }
    showAlarms();
}

void Form1::showAlarms()
{
    QStringList lines;
    for (const AlarmMonitor::Alarm &alarm : m_alarms->latched()) {
        QString line = tr("报警 %1 %2：%3")
                           .arg(alarm.raisedAt.toString(QStringLiteral("HH:mm:ss")),
                                AlarmMonitor::name(alarm.kind), alarm.value);
        if (alarm.kind == AlarmMonitor::Kind::High || alarm.kind == AlarmMonitor::Kind::Low)
            line += QStringLiteral(" MPa");
        if (const QString acted = m_alarmActed.value(alarm.kind); !acted.isEmpty())
            line += tr("，%1").arg(acted);
        lines << line;
    }
    ui->statusArea->setLine(ui->alarmBanner, lines.join(u'\n'));
    ui->statusArea->setButtonShown(ui->alarmAck, !lines.isEmpty());
}

void Form1::armAlarmCheck()
{
    if (const std::optional<qint64> due = m_alarms->msUntilCheck())
        m_alarmCheck->start(std::chrono::milliseconds(*due));
    else
        m_alarmCheck->stop();
}

void Form1::showLinkState()
{
    ui->statusArea->setLine(ui->linkState, m_linkStatus.text(m_pendingStop));
}
void Form1::showRunToolTip()
{
    QString tip = tr("设定时间 %1 分").arg(QLocale().toString(m_timedRun.timeset()));
    if (m_pendingStop.isPending())
        tip += tr("\n停止命令待发送，线路恢复后首先发送");
    for (QLabel *label : std::as_const(ui->clockRow))
        label->setToolTip(tip);
}

void Form1::logEvent(const char *key, const QString &text)
{
    m_run->addEvent(QDateTime::currentDateTime(), QString::fromLatin1(key), text);
}

QString Form1::deviceText() const
{
    const QString device = m_reconnector->device();
    const QString canonical = MSComm1->canonicalDevice();
    if (canonical.isEmpty() || canonical == device)
        return device;
    return tr("%1（%2）").arg(device, canonical);
}

void Form1::closeLink()
{
    // The menus stay as they are: the readings taken so far can still be saved, the timed run
    // ended and the program left, and 通信 opens the port again.
    MSComm1->setPortOpen(false);
    Timer2->stop();
    m_reader.clear();
    m_alarms->portClosed();
    armAlarmCheck();
}

void Form1::SendFrame(const QString &frame)
{
    const QString failure = trySendFrame(frame);
    if (!failure.isEmpty())
        m_boxes->messageBox(failure, tr("通信"));
}

QString Form1::trySendFrame(const QString &frame)
{
    if (!isWellFormedFrame(frame))
        return tr("命令帧“%1”格式不正确，未发送。").arg(frame);
    // Asked of the port even while it is closed, so that it counts every frame it refused.
    const bool wasOpen = MSComm1->portOpen();
    if (MSComm1->setOutput(frame.toLatin1())) {
        // The last run or stop that reached the pump decides whether low pressure is wrong.
        if (const QChar command = frame.at(3); command == u'R' || command == u'S')
            m_alarms->pumpCommanded(command == u'R');
        if (frame != QLatin1String(LinkProtocol::kPollFrame)) {
            m_lastFrame = {frame, frameSource(), QDateTime::currentDateTime()};
            logEvent("frame-sent", tr("%1（%2）").arg(frame, m_lastFrame.source));
        }
        return {};
    }
    if (!wasOpen)
        return tr("通信端口未打开，命令 %1 未发送。请先选择“通信”打开端口。").arg(frame);
    return tr("命令 %1 未能发送：%2").arg(frame, MSComm1->errorString());
}

QString Form1::frameSource() const
{
    // Every frame goes out from a handler called by a signal: its sender says what asked.
    const QObject *asker = sender();
    if (const auto *action = qobject_cast<const QAction *>(asker))
        return action->text();
    if (const auto *widget = qobject_cast<const QWidget *>(asker);
        widget && !widget->accessibleName().isEmpty())
        return widget->accessibleName();
    if (asker == Timer1)
        return tr("定时运行到时");
    if (asker == m_alarms)
        return tr("报警");
    if (asker == m_reconnector)
        return tr("线路恢复");
    return asker ? asker->objectName() : QString();
}

void Form1::runPump()
{
    SendFrame(QString::fromLatin1(LinkProtocol::kRunFrame));
}

void Form1::stopPump()
{
    SendFrame(QString::fromLatin1(LinkProtocol::kStopFrame));
}

void Form1::Pump_NO_Click()
{
    const QString answer = m_boxes->inputBox(QStringLiteral("请输入要控制泵的编号 "),
                                             QStringLiteral("编号设定"), QStringLiteral("0"));
    const std::optional<qint16> number = NumberText::toInt16(answer);
    // A number outside 0..99 would not fit the frame's two address digits.
    if (!number || *number < 0 || *number > 99)
        return;
    m_keypad.setPumpNumber(*number);
    publishState();
}

void Form1::Cmdl_Click()
{
    showKeypadOutcome(m_keypad.pressL(keypadBoxes()));
}

void Form1::Cmdp_Click()
{
    showKeypadOutcome(m_keypad.pressP(keypadBoxes()));
}

void Form1::Cmd_Click(int digit)
{
    showKeypadOutcome(m_keypad.pressDigit(digit, keypadBoxes()));
}

Keypad::Boxes Form1::keypadBoxes() const
{
    return {ui->lqset->text(), ui->prset->text()};
}

void Form1::showKeypadOutcome(const Keypad::Outcome &outcome)
{
    // Rewriting an unchanged box would only move the operator's cursor.
    if (ui->lqset->text() != outcome.boxes.lqset)
        ui->lqset->setText(outcome.boxes.lqset);
    if (ui->prset->text() != outcome.boxes.prset)
        ui->prset->setText(outcome.boxes.prset);
    if (!outcome.frame.isEmpty())
        SendFrame(outcome.frame);
    if (!outcome.errorPrompt.isEmpty())
        m_boxes->messageBox(outcome.errorPrompt, QString::fromUtf8(Keypad::kErrorTitle));
}

void Form1::askSetpoint(SetpointDialog::Kind kind, double *stored)
{
    const SetpointDialog::Question question = SetpointDialog::question(kind);
    const SetpointDialog::Outcome outcome = SetpointDialog::answer(
        kind, m_boxes->inputBox(question.prompt, question.title, question.defaultAnswer));
    if (outcome.stored)
        *stored = *outcome.stored;
    if (!outcome.errorPrompt.isEmpty())
        m_boxes->messageBox(outcome.errorPrompt, QString::fromUtf8(SetpointDialog::kErrorTitle));
    if (!outcome.frame.isEmpty())
        SendFrame(outcome.frame);
}

void Form1::stset_Click()
{
    if (!m_timedRun.setTime(m_boxes->inputBox(QString::fromUtf8(TimedRun::kSetTimePrompt),
                                              QString::fromUtf8(TimedRun::kSetTimeTitle),
                                              QString::fromLatin1(TimedRun::kSetTimeDefault))))
        return;
    logEvent("run-set", tr("%1 分").arg(QLocale().toString(m_timedRun.timeset())));
    showRunToolTip();
}

void Form1::ststart_Click()
{
    m_timedRun.start();
    // An enabled tick keeps its interval; only a stopped one starts a fresh second.
    if (!Timer1->isActive()) {
        m_runClock.restart();
        Timer1->start();
    }
    m_runStartedAt = QDateTime::currentDateTime();
    logEvent("run-start", tr("设定时间 %1 分").arg(QLocale().toString(m_timedRun.timeset())));
    SendFrame(QString::fromLatin1(LinkProtocol::kRunFrame));
    setClockShown(true);
}

void Form1::stzanting_Click()
{
    Timer1->stop();
    logEvent("run-pause", clockText());
    SendFrame(QString::fromLatin1(LinkProtocol::kStopFrame));
}

void Form1::stcontiune_Click()
{
    // The part of a second that passed before the pause is not counted.
    if (!Timer1->isActive()) {
        m_runClock.restart();
        Timer1->start();
    }
    logEvent("run-continue", clockText());
    SendFrame(QString::fromLatin1(LinkProtocol::kRunFrame));
}

void Form1::stend_Click()
{
    m_runStartedAt = QDateTime();
    logEvent("run-end", tr("结束：%1").arg(clockText()));
    m_timedRun.end();
    Timer1->stop();
    SendFrame(QString::fromLatin1(LinkProtocol::kStopFrame));
    setClockShown(false);
    showRunToolTip();
}

void Form1::Timer1_Timer()
{
    // A tick held up (a busy machine, a suspend) counts every second that has passed.
    const TimedRun::Tick tick = m_timedRun.tick(m_runClock.takeSeconds());
    showClock(tick.clock);
    if (!tick.ended)
        return;
    m_runStartedAt = QDateTime();
    logEvent("run-end", tr("到设定时间：%1").arg(clockText()));
    const QString failure = trySendFrame(QString::fromLatin1(LinkProtocol::kStopFrame));
    Timer1->stop();
    // Nobody may be at the screen: the stop is held and goes out first when the line is back.
    if (!failure.isEmpty())
        oweStop(tr("定时运行已到设定时间"));
}

void Form1::showClock(const TimedRun::Clock &clock)
{
    ui->lhour->setText(clock.hours);
    ui->lmin->setText(clock.minutes);
    ui->lsed->setText(clock.seconds);
}

QString Form1::clockText() const
{
    return tr("已运行 %1:%2:%3").arg(ui->lhour->text(), ui->lmin->text(), ui->lsed->text());
}

void Form1::setClockShown(bool shown)
{
    for (QLabel *label : std::as_const(ui->clockRow))
        label->setVisible(shown);
}

void Form1::save_Click()
{
    saveRecordTo(recordFilePath(), "save");
}

void Form1::saveAs_Click()
{
    const QString path = m_boxes->saveFileBox(tr("另存为"), recordFilePath());
    if (!path.isEmpty())
        saveRecordTo(path, "save-as");
}

void Form1::saveRecordTo(const QString &path, const char *eventKey)
{
    const QString title = tr("存储数据");
    // The default folder of drive d: is made when first needed; a folder the operator chose
    // is used as it is.
    const QString folder = QFileInfo(path).absolutePath();
    if (!m_folderMadeOnDemand.isEmpty() && folder == QDir(m_folderMadeOnDemand).absolutePath() &&
        !QDir().mkpath(folder)) {
        m_boxes->messageBox(tr("无法创建文件夹 %1").arg(QDir::toNativeSeparators(folder)), title);
        return;
    }
    RecordFile file(path);
    // Confirmed only once the new record has taken the old one's place.
    if (!file.save(m_run->buffer().text())) {
        m_boxes->messageBox(file.errorText(), title);
        return;
    }
    logEvent(eventKey, QDir::toNativeSeparators(path));
    m_boxes->messageBox(tr("当前压力数值以存储"), title);
}

void Form1::print_Click()
{
    QtPrintingLayer printer(this);
    if (const int pages = TestPage::print(printer); pages > 0)
        logEvent("print", tr("测试页 %1 份").arg(pages));
}

void Form1::Timer2_Timer()
{
    // A tick already queued when the port failed finds it closed: the poll waits for the link.
    if (!MSComm1->portOpen())
        return;
    // A poll that cannot be written is a line failure, which the port reports on its own; a
    // box here would open under a running timer, once a poll.
    trySendFrame(QString::fromLatin1(LinkProtocol::kPollFrame));
    if (m_readingWatch.pollSent())
        setReadingStale(true);
}

void Form1::MSComm1_OnComm()
{
    if (MSComm1->commEvent() != SerialControl::kEventReceive)
        return;
    const QList<QByteArray> frames = m_reader.feed(MSComm1->input());
    for (const QByteArray &frame : frames)
        handleReply(frame);
    // With part of a frame already here, the rest of it is enough to be worth an event.
    MSComm1->setRThreshold(LinkProtocol::kReceiveThreshold - int(m_reader.pendingSize()));
}

void Form1::handleReply(const QByteArray &frame)
{
    const char letter = frame.at(3);
    const QString value = QString::fromLatin1(frame.mid(4, 4));
    switch (letter) {
    case 'N':
        ui->pnow->setText(value);
        m_readingWatch.readingArrived();
        m_hasReading = true;
        setReadingStale(false);
        // Into the record buffer if it reads as a number, and to the log whatever it is.
        m_run->addReading(QDateTime::currentDateTime(), value);
        if (const double number = m_run->readingValue(m_run->readingCount() - 1);
            std::isnan(number))
            m_alarms->readingArrived(value, std::nullopt);
        else
            m_alarms->readingArrived(value, number);
        armAlarmCheck();
        // The trend's text for those who cannot see it: its scale and the latest reading.
        ui->Picture1->setAccessibleDescription(tr("纵轴 %1 到 %2 MPa；最新读数 %3")
                                                   .arg(PressureTrend::kScaleBottomRight.y())
                                                   .arg(PressureTrend::kScaleTopLeft.y())
                                                   .arg(value));
        break;
    // A setting reported while the operator types one of that kind would break the entry.
    case 'P':
        if (m_keypad.pr() != 1)
            ui->prset->setText(value);
        break;
    case 'L':
        if (m_keypad.lq() != 1)
            ui->lqset->setText(value);
        break;
    default:
        break;
    }

    for (const QLineF &axis : PressureTrend::axisLines())
        ui->Picture1->line(axis);
    const PressureTrend::Step step = m_trend.addSample(ui->pnow->text());
    if (step.segment)
        ui->Picture1->line(*step.segment, PanelPalette::kTrendRed);
    if (step.sweepEnded)
        ui->Picture1->cls();
}

void Form1::setReadingStale(bool stale)
{
    m_readingStale = stale;
    // Grey until a reading has come and whenever it is no longer current; said in words too,
    // for whoever cannot tell grey from cyan.
    const bool current = m_hasReading && !m_readingStale;
    setTextColor(ui->pnow, current ? PanelPalette::kCyan : PanelPalette::kStaleGrey);
    const QString cue = !m_hasReading    ? tr("尚无读数")
                        : m_readingStale ? tr("读数已过时：最近没有收到泵的压力读数")
                                         : QString();
    // Every reading comes through here: only a change is worth an event.
    if (ui->pnow->toolTip() == cue)
        return;
    ui->pnow->setToolTip(cue);
    ui->pnow->setAccessibleDescription(cue);
}