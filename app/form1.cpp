#include "app/form1.h"

#include "app/alarmsettingsdialog.h"
#include "app/auditwindow.h"
#include "app/commandsource.h"
#include "app/form1layout.h"
#include "app/form1ui.h"
#include "app/historywindow.h"
#include "app/maintenancedialog.h"
#include "app/menukeys.h"
#include "app/panelpublishing.h"
#include "app/programpanel.h"
#include "app/remotecontrol.h"
#include "app/remotecontroldialog.h"
#include "remote/remotedesk.h"
#include "app/pumpcare.h"
#include "app/setpointentry.h"
#include "app/statusarea.h"
#include "audit/auditlog.h"
#include "link/linkprotocol.h"
#include "link/portanswer.h"
#include "platform/linkreconnector.h"
#include "platform/qtprintinglayer.h"
#include "platform/serialcontrol.h"
#include "platform/widgetmodalboxes.h"
#include "program/programcontrol.h"
#include "records/exportwriter.h"
#include "records/logwriter.h"
#include "records/testpage.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
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
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    MSComm1 = new SerialControl(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    m_run = new RunRecord(this);
    m_log = new LogWriter(this);
    m_exports = new ExportWriter(this);
    m_log->follow(m_run);
    // A log that has stopped is told once, beside the link, and the panel goes on.
    connect(m_log, &LogWriter::stopped, this,
            [this](const QString &reason) { showLogNotice(tr("%1；读数日志已停止").arg(reason)); });
    m_alarms = new AlarmMonitor({}, this);
    m_reconnector = new LinkReconnector(MSComm1, &m_portListing, this);
    m_session = new PumpSession(MSComm1, m_reconnector, m_run, m_alarms, this);
    m_session->setKeypad(&m_keypad);
    // Counters belong to the adapter: its identity, or the path of one without.
    m_care = new PumpCare(
        m_session,
        [this] {
            const PortIdentity &identity = m_reconnector->identity();
            return identity.isKnown() ? identity.text() : m_reconnector->device();
        },
        this);
    m_timedRun = new TimedRunControl(Timer1, m_session, this);
    m_interruptedRun = new InterruptedRun(
        &m_journal, m_timedRun, m_session, [this] { return m_keypad.pumpNumber(); }, this);

    ui = std::make_unique<Form1Ui>();
    ui->setupUi(this);
    m_entry = std::make_unique<SetpointEntry>(
        &m_keypad, ui->lqset, ui->prset, m_boxes,
        [this](const QString &frame, const QString &source) { SendFrame(frame, source); });
    m_display = new ReadingDisplay(m_session, ui->pnow, ui->Picture1, this);
    m_annunciator = new AlarmAnnunciator(m_alarms, m_session, ui->statusArea, ui->alarmAck, this);
    m_programs = new ProgramPanel(
        m_session, m_alarms, &m_journal, [this] { return m_timedRun->startedAt().isValid(); },
        m_boxes, ui->statusArea, this);
    connect(m_programs, &ProgramPanel::fileChosen, this,
            [this](const QString &path) { m_settings.setLastProgram(path); });
    m_remote = new RemoteControl(
        {m_session, m_timedRun, m_alarms, m_run, ui->statusArea},
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
            .filePath(QStringLiteral("sila")),
        QStringLiteral(CORVANE_VERSION), this);
    connectHandlers();
    connectSession();
    QString alarmsProblem;
    m_alarms->setSettings(m_settings.alarmSettings(&alarmsProblem));
    m_session->alarmsChanged();

    // The client area sits at its designed place, moved only as far as the screen's free area
    // asks: a window cut off at the screen's edge hides the trend.
    const QRect designed = Form1Layout::designedWindow(menuBar()->sizeHint().height());
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    setGeometry(where ? Form1Layout::placeOnScreen(designed, where->availableGeometry())
                      : designed);

    Form_Load();
    // Both told at once: the alarms' settings that could not be used, and a store that cannot
    // be read or written.
    QStringList problems{alarmsProblem, m_settings.problem()};
    problems.removeAll(QString());
    if (!problems.isEmpty())
        showSettingsNotice(problems.join(u'；'));
}

Form1::~Form1() = default;

void Form1::startPublishing(const MqttSettings &settings)
{
    if (m_publishing)
        return;
    m_publishing = new PanelPublishing(settings, m_run, m_alarms, m_session, this);
    m_publishing->setWindowSource([this] {
        const ProgramControl *program = m_programs->control();
        return PanelStateBuilder::Window{m_keypad.pumpNumber(),   m_timedRun->run().timeset(),
                                         m_timedRun->startedAt(), m_timedRun->counting(),
                                         program->name(),         program->stepText(),
                                         program->stateWord(),    program->stepKey(),
                                         m_care->stateObject(),   m_remote->stateObject()};
    });
    connect(m_care, &PumpCare::changed, m_publishing, &PanelPublishing::stateChanged);
    connect(m_remote->desk(), &RemoteDesk::statusChanged, m_publishing,
            &PanelPublishing::stateChanged);
    connect(m_remote, &RemoteControl::runningChanged, m_publishing, &PanelPublishing::stateChanged);
    connect(m_publishing, &PanelPublishing::statusText, this,
            [this](const QString &text) { ui->statusArea->setLine(StatusArea::Line::Mqtt, text); });
    connect(m_programs, &ProgramPanel::changed, m_publishing, &PanelPublishing::stateChanged);
    m_publishing->start();
}

void Form1::connectHandlers()
{
    connect(ui->Cmdr, &QPushButton::clicked, this, &Form1::runPump);
    connect(ui->Cmds, &QPushButton::clicked, this, &Form1::stopPump);
    const std::pair<QAction *, void (Form1::*)()> items[] = {
        {ui->run, &Form1::runPump},
        {ui->stop, &Form1::stopPump},
        {ui->rrun, &Form1::runPump},
        {ui->rstop, &Form1::stopPump},
        {ui->Pump_NO, &Form1::Pump_NO_Click},
        {ui->Communication, &Form1::Communication_Click},
        {ui->end, &Form1::endRequested},
        {ui->stset, &Form1::stset_Click},
        {ui->ststart, &Form1::ststart_Click},
        {ui->stzanting, &Form1::stzanting_Click},
        {ui->stcontiune, &Form1::stcontiune_Click},
        {ui->stend, &Form1::stend_Click},
        {ui->save, &Form1::save_Click},
        {ui->saveAs, &Form1::saveAs_Click},
        {ui->openLogFolder, &Form1::openLogFolder_Click},
        {ui->print, &Form1::print_Click},
        {ui->history, &Form1::history_Click},
        {ui->program, &Form1::program_Click},
        {ui->alarmSettings, &Form1::alarmSettings_Click},
        {ui->operatorName, &Form1::operator_Click},
        {ui->auditTrail, &Form1::auditTrail_Click},
        {ui->remoteControl, &Form1::remoteControl_Click},
        {ui->maintenance, &Form1::maintenance_Click},
    };
    for (const auto &[item, handler] : items)
        connect(item, &QAction::triggered, this, handler);

    new MenuKeys(this, [this](const QPoint &at) { Form_MouseDown(Qt::RightButton, at); });

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
            [this] { m_entry->ask(SetpointDialog::Kind::Flow, &m_state.setliq); });
    connect(ui->pressure, &QAction::triggered, this,
            [this] { m_entry->ask(SetpointDialog::Kind::Pressure, &m_state.setpresure); });
}

void Form1::connectSession()
{
    connect(MSComm1, &SerialControl::OnComm, this, &Form1::MSComm1_OnComm);
    connect(MSComm1, &SerialControl::failed, m_session, &PumpSession::lineFailed);
    connect(m_reconnector, &LinkReconnector::reconnected, m_session, &PumpSession::lineBack);
    connect(m_reconnector, &LinkReconnector::stillAway, m_session, &PumpSession::stillAway);
    connect(m_session, &PumpSession::settingReplied, this,
            [this](char letter, const QString &value) {
                (letter == 'P' ? ui->prset : ui->lqset)->setText(value);
            });
    connect(m_session, &PumpSession::linkChanged, this, &Form1::onLinkChanged);
    connect(ui->runStateAck, &QPushButton::clicked, m_interruptedRun, &InterruptedRun::settle);
    connect(m_interruptedRun, &InterruptedRun::noticeChanged, this,
            [this](const QString &text) { ui->statusArea->setLine(StatusArea::Line::Run, text); });
    connect(m_interruptedRun, &InterruptedRun::problem, this, &Form1::showLogNotice);
    connect(m_session, &PumpSession::statusChanged, this, &Form1::showLinkState);
    connect(m_session, &PumpSession::statusChanged, this, [this] {
        if (m_heldStopBoxOpen && !m_session->pendingStop().isPending()) {
            m_heldStopBoxOpen = false;
            m_boxes->closeMessageBox();
        }
    });
    connect(m_timedRun, &TimedRunControl::clockChanged, this, &Form1::showClock);
    connect(m_timedRun, &TimedRunControl::clockShown, this, &Form1::setClockShown);
    connect(m_timedRun, &TimedRunControl::setTimeChanged, this, &Form1::showLinkState);
    connect(m_care, &PumpCare::stateTextChanged, this,
            [this](const QString &text) { ui->statusArea->setLine(StatusArea::Line::Care, text); });
}

void Form1::Form_Load()
{
    setLinkMenusEnabled(false);
    m_keypad.setPumpNumber(0);
    Timer1->stop();
    Timer2->setInterval(LinkProtocol::kPollInterval);
    Timer2->stop();
    for (QLabel *label : std::as_const(ui->clockRow))
        label->hide();
    m_display->reset();
    ui->Cmd1->setFocus();
}

void Form1::programStarted(const QString &programFile)
{
    logEvent("program-start", m_log->destinationText());
    m_interruptedRun->check();
    m_programs->lookForInterrupted();
    // The program given, else the one opened or saved last; one that is gone is not offered.
    if (const QString file = programFile.isEmpty() ? m_settings.lastProgram() : programFile;
        !file.isEmpty())
        m_programs->load(file);
}

void Form1::showLogNotice(const QString &notice)
{
    ui->statusArea->setLine(StatusArea::Line::Log, notice);
}

void Form1::showSettingsNotice(const QString &notice)
{
    m_settingsNotice = notice;
    showLogNotice(notice);
}

void Form1::openLogFolder_Click()
{
    const QString folder = m_log->filesFolder();
    // An answer to the click, gone after a while; a standing notice comes back after it.
    if (folder.isEmpty()) {
        ui->statusArea->pass(StatusArea::Line::Log, m_log->destinationText());
        return;
    }
    // Without a file manager to show it, the operator is told where it is.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        ui->statusArea->pass(StatusArea::Line::Log,
                             tr("读数日志文件夹：%1").arg(QDir::toNativeSeparators(folder)));
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
    const QString answer = m_boxes->choiceBox(
        QStringLiteral("Input communication port"), QStringLiteral("Commport"),
        PortAnswer::choices(m_settings.lastDevice(), m_portListing.ports()), QStringLiteral("1"));
    if (answer.isEmpty())
        return;
    if (const QString problem = m_session->open(answer); !problem.isEmpty()) {
        m_boxes->messageBox(problem, tr("通信"));
        return;
    }
    m_settings.setLastDevice(m_session->device());
}

void Form1::onLinkChanged(PumpSession::Link link)
{
    if (link != PumpSession::Link::Open) {
        Timer2->stop();
        return;
    }
    // The menus stay enabled from then on: the readings taken so far can still be saved, the
    // timed run ended and the program left, and 通信 opens the port again.
    setLinkMenusEnabled(true);
    Timer2->start();
}

void Form1::showLinkState()
{
    ui->statusArea->setLine(StatusArea::Line::Link, m_session->linkText());
    ui->statusArea->setLine(StatusArea::Line::Stop, m_session->stopText());
    QString tip = tr("设定时间 %1 分").arg(QLocale().toString(m_timedRun->run().timeset()));
    if (m_session->pendingStop().isPending())
        tip += tr("\n停止命令待发送，线路恢复后首先发送");
    for (QLabel *label : std::as_const(ui->clockRow))
        label->setToolTip(tip);
}

void Form1::SendFrame(const QString &frame, const QString &source)
{
    tellUnsent(m_session->send(frame, source.isEmpty() ? frameSource() : source));
}

void Form1::tellUnsent(const QString &failure)
{
    if (failure.isEmpty())
        return;
    // The box of a held stop closes by itself once the stop has gone out or is settled.
    const bool held = failure == PumpSession::heldStopText();
    const bool outer = std::exchange(m_heldStopBoxOpen, held);
    m_boxes->messageBox(failure, tr("通信"));
    m_heldStopBoxOpen = outer;
}

QString Form1::frameSource() const
{
    return CommandSource::of(sender());
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
    if (m_keypad.setPumpNumber(answer) && m_publishing)
        m_publishing->stateChanged();
}

void Form1::Cmdl_Click()
{
    m_entry->pressL();
}

void Form1::Cmdp_Click()
{
    m_entry->pressP();
}

void Form1::Cmd_Click(int digit)
{
    m_entry->pressDigit(digit);
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
    saveRecordTo(m_saving.recordFilePath(), "save");
}

void Form1::saveAs_Click()
{
    const QString path = m_boxes->saveFileBox(tr("另存为"), m_saving.recordFilePath());
    if (!path.isEmpty())
        saveRecordTo(path, "save-as");
}

void Form1::saveRecordTo(const QString &path, const char *eventKey)
{
    // Written on the export thread from a copy of the readings (8 MB at a million), so that a
    // slow disk holds up nothing; confirmed only once the new record has taken the old one's
    // place.
    auto write = [saving = m_saving, path, buffer = m_run->buffer()](const std::atomic_bool &) {
        return saving.save(path, buffer.text());
    };
    auto confirm = [this, path, key = QByteArray(eventKey)](const QString &problem) {
        const QString title = tr("存储数据");
        if (!problem.isEmpty()) {
            m_boxes->messageBox(problem, title);
            return;
        }
        logEvent(key.constData(), QDir::toNativeSeparators(path));
        m_boxes->messageBox(tr("当前压力数值以存储"), title);
    };
    m_exports->submit(std::move(write), this, std::move(confirm));
}

void Form1::print_Click()
{
    QtPrintingLayer printer(this);
    if (const int pages = TestPage::print(printer); pages > 0)
        logEvent("print", tr("测试页 %1 份，%2").arg(pages).arg(printer.destination()));
}

void Form1::history_Click()
{
    // Made at the first opening, then kept: it holds the drawing's copy of the readings.
    if (!m_history) {
        m_history = new HistoryWindow(m_run, m_boxes, this, m_exports);
        m_history->setHeaderSource([this] {
            const QString device =
                m_session->device().isEmpty() ? QString() : m_session->deviceText();
            return RunReportPrinter::Header{
                windowTitle(),         QStringLiteral(CORVANE_VERSION),         device,
                m_keypad.pumpNumber(), m_auditHead ? m_auditHead() : QString(), m_operatorName};
        });
        m_history->setExportFolder([this] { return m_saving.recordFolder(); });
        m_history->setCareSource(
            [this](qint64 fromMs, qint64 toMs) { return m_care->reportText(fromMs, toMs); });
        const auto showCare = [this] {
            m_history->setCareLine(m_care->hasAdapter() ? m_care->book().summary() : QString());
        };
        connect(m_care, &PumpCare::changed, m_history, showCare);
        showCare();
        connect(m_history, &HistoryWindow::exported, this,
                [this](const QString &path) { logEvent("export", path); });
        // Each report that came out is an event of the run and, through it, an audit record.
        connect(m_history, &HistoryWindow::reportPrinted, this,
                [this](int pages, const QString &what) {
                    if (pages > 0)
                        logEvent("print", what);
                });
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void Form1::program_Click()
{
    m_programs->showWindow();
}

void Form1::operator_Click()
{
    // The box gives nothing on cancel, so "nobody" is typed as "-".
    const QString answer =
        m_boxes->inputBox(tr("操作员姓名（输入 - 表示不指定）："), tr("操作员"), m_operatorName)
            .simplified();
    const QString name = answer == u"-" ? QString() : answer;
    if (answer.isEmpty() || name == m_operatorName)
        return;
    m_operatorName = name;
    Q_EMIT operatorEntered(name);
}

void Form1::auditTrail_Click()
{
    // Made at the first opening, then kept where the operator put it; each opening reads the
    // trail again, as it has grown since.
    if (!m_auditWindow)
        m_auditWindow = new AuditWindow(
            m_auditFolder.isEmpty() ? AuditLog::defaultFolder() : m_auditFolder, m_boxes, this);
    else
        m_auditWindow->refresh();
    m_auditWindow->show();
    m_auditWindow->raise();
    m_auditWindow->activateWindow();
}

void Form1::maintenance_Click()
{
    MaintenanceDialog dialog(m_care, m_boxes, m_operatorName, this);
    dialog.exec();
}

void Form1::remoteControl_Click()
{
    RemoteControlDialog dialog(m_remote, this);
    dialog.exec();
}

void Form1::alarmSettings_Click()
{
    AlarmSettingsDialog dialog(m_alarms->settings(), this);
    if (dialog.exec() != QDialog::Accepted || dialog.settings() == m_alarms->settings())
        return;
    m_alarms->setSettings(dialog.settings());
    m_settings.setAlarmSettings(dialog.settings());
    m_session->alarmsChanged();
    // A notice of the settings holds until they change; a store that still fails says so anew.
    if (!m_settingsNotice.isEmpty() &&
        ui->statusArea->standingText(StatusArea::Line::Log) == m_settingsNotice)
        showSettingsNotice(m_settings.problem());
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
