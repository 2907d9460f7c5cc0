#include "app/form1.h"

#include "app/alarmsettingsdialog.h"
#include "app/form1layout.h"
#include "app/form1ui.h"
#include "app/historywindow.h"
#include "app/panelpalette.h"
#include "app/panelpublishing.h"
#include "app/statusarea.h"
#include "link/linkprotocol.h"
#include "link/portanswer.h"
#include "platform/alarmbell.h"
#include "platform/desktopnotifier.h"
#include "platform/linkreconnector.h"
#include "platform/plotarea.h"
#include "platform/publisher.h"
#include "platform/qtprintinglayer.h"
#include "platform/serialcontrol.h"
#include "platform/widgetmodalboxes.h"
#include "records/logwriter.h"
#include "records/testpage.h"
#include "link/numbertext.h"

#include <QCloseEvent>
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
#include <QTimer>
#include <QUrl>

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

    m_run = new RunRecord(this);
    m_log = new LogWriter(this);
    // The log takes every reading and event as the run record receives them; a log that is
    // not open takes nothing.
    connect(m_run, &RunRecord::readingAdded, m_log,
            [this](const RunRecord::Reading &reading) { m_log->reading(reading.time, reading.text); });
    connect(m_run, &RunRecord::eventAdded, m_log, [this](const RunRecord::Event &event) {
        m_log->event(event.time, event.key, event.text);
    });
    // A log that has stopped is told once, beside the link, and the panel goes on.
    connect(m_log, &LogWriter::stopped, this,
            [this](const QString &reason) { showLogNotice(tr("%1；读数日志已停止").arg(reason)); });
    m_alarms = new AlarmMonitor({}, this);
    m_bell = new AlarmBell(this);
    m_notifier = new DesktopNotifier(this);
    m_reconnector = new LinkReconnector(MSComm1, &m_portListing, this);
    m_session = new PumpSession(MSComm1, m_reconnector, m_run, m_alarms, this);
    m_session->setKeypad(&m_keypad);
    m_timedRun = new TimedRunControl(Timer1, m_session, this);

    ui = std::make_unique<Form1Ui>();
    ui->setupUi(this);
    connectHandlers();
    connectSession();
    connectAlarms();

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

Form1::~Form1() = default;

void Form1::startPublishing(const MqttSettings &settings)
{
    if (m_publishing)
        return;
    m_publishing = new PanelPublishing(settings, m_run, m_alarms, m_session, this);
    m_publishing->setWindowSource([this] {
        return PanelStateBuilder::Window{m_keypad.pumpNumber(), m_timedRun->run().timeset(),
                                         m_timedRun->startedAt(), m_timedRun->counting()};
    });
    connect(m_publishing, &PanelPublishing::statusText, this,
            [this](const QString &text) { ui->statusArea->setLine(ui->mqttState, text); });
    m_publishing->start();
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
    connect(ui->history, &QAction::triggered, this, &Form1::history_Click);
    connect(ui->alarmSettings, &QAction::triggered, this, &Form1::alarmSettings_Click);
}

void Form1::connectSession()
{
    connect(MSComm1, &SerialControl::OnComm, this, &Form1::MSComm1_OnComm);
    connect(MSComm1, &SerialControl::failed, m_session, &PumpSession::lineFailed);
    connect(m_reconnector, &LinkReconnector::reconnected, m_session, &PumpSession::lineBack);
    connect(m_reconnector, &LinkReconnector::stillAway, m_session, &PumpSession::stillAway);
    connect(m_session, &PumpSession::reading, this, &Form1::showReading);
    connect(m_session, &PumpSession::settingReplied, this, &Form1::showSettingReply);
    connect(m_session, &PumpSession::replyHandled, this, &Form1::drawTrendStep);
    connect(m_session, &PumpSession::readingCurrencyChanged, this, &Form1::showReadingCurrency);
    connect(m_session, &PumpSession::linkChanged, this, &Form1::onLinkChanged);
    connect(m_session, &PumpSession::statusChanged, this, &Form1::showLinkState);
    connect(m_timedRun, &TimedRunControl::clockChanged, this, &Form1::showClock);
    connect(m_timedRun, &TimedRunControl::clockShown, this, &Form1::setClockShown);
    connect(m_timedRun, &TimedRunControl::setTimeChanged, this, &Form1::showLinkState);
}

void Form1::connectAlarms()
{
    QString problem;
    m_alarms->setSettings(m_settings.alarmSettings(&problem));
    m_session->alarmsChanged();
    if (!problem.isEmpty())
        showLogNotice(problem);
    connect(m_alarms, &AlarmMonitor::raised, this, [this](const AlarmMonitor::Alarm &alarm) {
        m_banner.raised(alarm.kind);
        showAlarms();
        // Seen from across the room too, where the desktop shows notifications.
        m_notifier->notify(
            tr("泵报警：%1").arg(AlarmMonitor::name(alarm.kind)),
            tr("%1 %2").arg(alarm.raisedAt.toString(QStringLiteral("HH:mm:ss")), alarm.value));
        // Heard until acknowledged, even over a box of the operator's.
        m_bell->start();
    });
    connect(m_session, &PumpSession::alarmActed, this,
            [this](AlarmMonitor::Kind kind, bool stopSent) {
                m_banner.acted(kind, stopSent);
                showAlarms();
            });
    connect(m_alarms, &AlarmMonitor::acknowledged, this, [this] {
        m_bell->stop();
        m_banner.acknowledged();
        showAlarms();
    });
    connect(ui->alarmAck, &QPushButton::clicked, m_alarms, &AlarmMonitor::acknowledgeAll);
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
    showReadingCurrency();
    ui->Cmd1->setFocus();
}

bool Form1::openReadingLog(const QString &path, QString *errorText)
{
    return m_log->openFile(path, errorText);
}

bool Form1::openDailyReadingLog(const QString &folder, QString *errorText)
{
    return m_log->openDailyFolder(folder, errorText);
}

void Form1::programStarted()
{
    const QString where = !m_log->isOpen() ? tr("没有读数日志")
                          : m_log->folder().isEmpty()
                              ? tr("读数日志 %1").arg(QDir::toNativeSeparators(m_log->path()))
                              : tr("读数日志文件夹 %1").arg(QDir::toNativeSeparators(m_log->folder()));
    logEvent("program-start", where);
}

void Form1::finishWorkers()
{
    Publisher *publisher = m_publishing ? m_publishing->publisher() : nullptr;
    if (publisher)
        publisher->beginFinish();
    m_log->beginClose();
    if (publisher)
        publisher->waitFinished();
    m_log->waitClosed();
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
    m_session->end();
}

void Form1::Communication_Click()
{
    const QString answer =
        m_boxes->choiceBox(QStringLiteral("Input communication port"), QStringLiteral("Commport"),
                           portChoices(), QStringLiteral("1"));
    if (answer.isEmpty())
        return;
    if (const QString problem = m_session->open(answer, frameSource()); !problem.isEmpty()) {
        m_boxes->messageBox(problem, tr("通信"));
        return;
    }
    m_settings.setLastDevice(m_session->device());
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

void Form1::onLinkChanged(PumpSession::Link link, PumpSession::Link before)
{
    if (link != PumpSession::Link::Open) {
        Timer2->stop();
        return;
    }
    // Readings from before an outage and after it are not joined by a line.
    if (before == PumpSession::Link::Lost)
        m_trend.breakLine();
    // The menus stay enabled from then on: the readings taken so far can still be saved, the
    // timed run ended and the program left, and 通信 opens the port again.
    setLinkMenusEnabled(true);
    Timer2->start();
}

void Form1::showLinkState()
{
    ui->statusArea->setLine(ui->linkState, m_session->linkText());
    QString tip = tr("设定时间 %1 分").arg(QLocale().toString(m_timedRun->run().timeset()));
    if (m_session->pendingStop().isPending())
        tip += tr("\n停止命令待发送，线路恢复后首先发送");
    for (QLabel *label : std::as_const(ui->clockRow))
        label->setToolTip(tip);
}

void Form1::showAlarms()
{
    const QString text = m_banner.text(m_alarms->latched());
    ui->statusArea->setLine(ui->alarmBanner, text);
    ui->statusArea->setButtonShown(ui->alarmAck, !text.isEmpty());
}

void Form1::SendFrame(const QString &frame)
{
    tellUnsent(m_session->send(frame, frameSource()));
}

void Form1::tellUnsent(const QString &failure)
{
    if (!failure.isEmpty())
        m_boxes->messageBox(failure, tr("通信"));
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
    if (m_publishing)
        m_publishing->stateChanged();
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
    m_timedRun->setTime(m_boxes->inputBox(QString::fromUtf8(TimedRun::kSetTimePrompt),
                                          QString::fromUtf8(TimedRun::kSetTimeTitle),
                                          QString::fromLatin1(TimedRun::kSetTimeDefault)));
}

void Form1::ststart_Click()
{
    tellUnsent(m_timedRun->start(frameSource()));
}

void Form1::stzanting_Click()
{
    tellUnsent(m_timedRun->pause(frameSource()));
}

void Form1::stcontiune_Click()
{
    tellUnsent(m_timedRun->resume(frameSource()));
}

void Form1::stend_Click()
{
    tellUnsent(m_timedRun->end(frameSource()));
}

void Form1::Timer1_Timer()
{
    m_timedRun->tick();
}

void Form1::showClock(const TimedRun::Clock &clock)
{
    ui->lhour->setText(clock.hours);
    ui->lmin->setText(clock.minutes);
    ui->lsed->setText(clock.seconds);
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
    // Confirmed only once the new record has taken the old one's place.
    if (const QString problem = m_saving.save(path, m_run->buffer().text()); !problem.isEmpty()) {
        m_boxes->messageBox(problem, title);
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

void Form1::history_Click()
{
    // Made at the first opening, then kept: it holds the drawing's copy of the readings.
    if (!m_history) {
        m_history = new HistoryWindow(m_run, m_boxes, this);
        m_history->setHeaderSource([this] {
            return RunReportPrinter::Header{windowTitle(), QStringLiteral(CORVANE_VERSION),
                                            m_session->device().isEmpty() ? QString()
                                                                          : m_session->deviceText(),
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
    m_session->alarmsChanged();
}

void Form1::Timer2_Timer()
{
    m_session->poll();
}

void Form1::MSComm1_OnComm()
{
    if (MSComm1->commEvent() == SerialControl::kEventReceive)
        m_session->dataArrived();
}

void Form1::showReading(const QString &text)
{
    ui->pnow->setText(text);
    // The trend's text for those who cannot see it: its scale and the latest reading.
    ui->Picture1->setAccessibleDescription(tr("纵轴 %1 到 %2 MPa；最新读数 %3")
                                               .arg(PressureTrend::kScaleBottomRight.y())
                                               .arg(PressureTrend::kScaleTopLeft.y())
                                               .arg(text));
}

void Form1::showSettingReply(char letter, const QString &value)
{
    (letter == 'P' ? ui->prset : ui->lqset)->setText(value);
}

void Form1::drawTrendStep()
{
    for (const QLineF &axis : PressureTrend::axisLines())
        ui->Picture1->line(axis);
    const PressureTrend::Step step = m_trend.addSample(ui->pnow->text());
    if (step.segment)
        ui->Picture1->line(*step.segment, PanelPalette::kTrendRed);
    if (step.sweepEnded)
        ui->Picture1->cls();
}

void Form1::showReadingCurrency()
{
    // Grey until a reading has come and whenever it is no longer current; said in words too,
    // for whoever cannot tell grey from cyan.
    const bool has = m_session->hasReading();
    const bool stale = m_session->readingIsStale();
    const QColor color = has && !stale ? PanelPalette::kCyan : PanelPalette::kStaleGrey;
    if (QPalette palette = ui->pnow->palette(); palette.color(QPalette::Text) != color) {
        palette.setColor(QPalette::Text, color);
        ui->pnow->setPalette(palette);
    }
    const QString cue = !has ? tr("尚无读数")
                        : stale ? tr("读数已过时：最近没有收到泵的压力读数")
                                : QString();
    if (ui->pnow->toolTip() == cue)
        return;
    ui->pnow->setToolTip(cue);
    ui->pnow->setAccessibleDescription(cue);
}
