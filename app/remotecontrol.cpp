#include "app/remotecontrol.h"

#include "alarms/alarmmonitor.h"
#include "app/panelremotepump.h"
#include "app/statusarea.h"
#include "records/runrecord.h"
#include "remote/remotedesk.h"
#include "session/pumpsession.h"
#include "sila/silaboard.h"
#include "sila/silaidentity.h"
#include "sila/silaserver.h"
#include "timedrun/runclock.h"
#include "timedrun/timedruncontrol.h"

#include <QPushButton>

namespace {

bool isStop(const QString &frame)
{
    return frame.size() == 9 && frame.at(3) == u'S';
}

QString linkWord(PumpSession::Link link)
{
    switch (link) {
    case PumpSession::Link::Open:
        return QStringLiteral("open");
    case PumpSession::Link::Lost:
        return QStringLiteral("lost");
    case PumpSession::Link::Closed:
        break;
    }
    return QStringLiteral("closed");
}

} // namespace

RemoteControl::RemoteControl(const Parts &parts, const QString &dataFolder, const QString &version,
                             QObject *parent)
    : QObject(parent), m_parts(parts),
      m_pump(std::make_unique<PanelRemotePump>(parts.session, parts.timedRun, parts.alarms)),
      m_desk(new RemoteDesk(m_pump.get(), RunClock::bootTimeMs, this)),
      m_board(std::make_unique<SilaBoard>()),
      m_identity(std::make_unique<SilaIdentity>(dataFolder)),
      m_server(std::make_unique<SilaServer>(m_desk, m_board.get(), m_identity.get(), version)),
      m_allow(parts.area->addButton(StatusArea::Line::Remote, QStringLiteral("remoteAllow"),
                                    QStringLiteral("允许远程")))
{
    m_allow->setAccessibleDescription(QStringLiteral("操作员停泵后，再次允许远程客户端启动泵"));
    m_allow->setEnabled(false);
    connect(m_allow, &QPushButton::clicked, m_desk, &RemoteDesk::allowRemote);
    connect(m_desk, &RemoteDesk::event, this,
            [this](const char *key, const QString &text) { m_parts.session->logEvent(key, text); });
    connect(m_desk, &RemoteDesk::statusChanged, this, &RemoteControl::showStatus);
    connect(m_desk, &RemoteDesk::lockedChanged, this, &RemoteControl::post);

    PumpSession *session = parts.session;
    connect(session, &PumpSession::frameSent, this, [this](const PumpSession::SentFrame &frame) {
        onFrame(frame.frame, frame.source);
        post();
    });
    connect(session, &PumpSession::frameRefused, this,
            [this](const QString &frame, const QString &source, const QString &) {
                onFrame(frame, source);
            });
    connect(session, &PumpSession::statusChanged, this, [this] {
        // A stop owed for a cause of the panel's (an alarm, the operator) is the operator's too.
        const QList<PendingStop::Reason> reasons = m_parts.session->pendingStop().reasons();
        if (std::any_of(reasons.cbegin(), reasons.cend(), [](const PendingStop::Reason &reason) {
                return reason.cause != PendingStop::Cause::Remote;
            }))
            m_desk->operatorStopped();
        post();
    });
    connect(session, &PumpSession::reading, this, [this](const QString &text) {
        m_pressure = text;
        m_pressureTime = QDateTime::currentDateTime();
        post();
    });
    connect(session, &PumpSession::readingCurrencyChanged, this, &RemoteControl::post);
    connect(session, &PumpSession::linkChanged, this, &RemoteControl::post);
    connect(session, &PumpSession::pumpCommanded, this, [this](bool running) {
        m_lastCommand = running ? QStringLiteral("run") : QStringLiteral("stop");
        post();
    });
    connect(parts.timedRun, &TimedRunControl::runStarted, this, [this] {
        if (!m_pump->acting())
            m_desk->panelStartedRun();
        post();
    });
    connect(parts.timedRun, &TimedRunControl::runEnded, this, &RemoteControl::post);
    connect(parts.alarms, &AlarmMonitor::raised, this, &RemoteControl::post);
    connect(parts.alarms, &AlarmMonitor::acknowledged, this, &RemoteControl::post);
    connect(parts.record, &RunRecord::eventAdded, this, [this](const RunRecord::Event &event) {
        if (event.key == QLatin1String("prog-start"))
            m_desk->panelStartedRun();
        else if (event.key == QLatin1String("run-pause") ||
                 event.key == QLatin1String("run-continue"))
            post();
    });
}

RemoteControl::~RemoteControl()
{
    // The session and the record may be gone already: the end is not told.
    m_desk->disconnect(this);
    disconnect(m_desk);
    m_server->stop();
}

QJsonObject RemoteControl::stateObject() const
{
    if (!isRunning())
        return {};
    const std::optional<RemoteArbiter::Lease> lease = m_desk->lease();
    return {{QStringLiteral("port"), port()},
            {QStringLiteral("lease"),
             lease ? QJsonObject{{QStringLiteral("identifier"), lease->identifier},
                                 {QStringLiteral("client"), lease->client},
                                 {QStringLiteral("timeoutSeconds"), lease->timeoutSeconds}}
                   : QJsonValue()},
            {QStringLiteral("remoteStartsBlocked"), m_desk->remoteStartsBlocked()}};
}

void RemoteControl::onFrame(const QString &frame, const QString &source)
{
    // The owed stop going out was judged by its causes when it was owed: a client's own is no
    // stop of the operator's.
    if (isStop(frame) && !PanelRemotePump::isRemote(source) &&
        !PumpSession::isPendingStopSource(source))
        m_desk->operatorStopped();
}

QString RemoteControl::start(int port, const QString &certificatePath, const QString &keyPath)
{
    QString problem = m_identity->load();
    if (problem.isEmpty())
        problem = m_identity->loadCertificate(certificatePath, keyPath);
    if (problem.isEmpty())
        problem = m_server->start(port);
    if (!problem.isEmpty())
        return problem;
    post();
    showStatus();
    Q_EMIT runningChanged(true);
    return {};
}

void RemoteControl::stop()
{
    if (!m_server->isRunning())
        return;
    m_desk->takeBack();
    m_server->stop();
    showStatus();
    Q_EMIT runningChanged(false);
}

bool RemoteControl::isRunning() const
{
    return m_server->isRunning();
}

int RemoteControl::port() const
{
    return m_server->port();
}

QString RemoteControl::fingerprint() const
{
    return m_identity->fingerprint();
}

QByteArray RemoteControl::certificatePem() const
{
    return m_identity->certificatePem();
}

bool RemoteControl::takeBack()
{
    return m_desk->takeBack();
}

void RemoteControl::showStatus()
{
    m_allow->setEnabled(m_desk->remoteStartsBlocked());
    m_parts.area->setLine(StatusArea::Line::Remote, isRunning() ? m_desk->statusText() : QString());
}

void RemoteControl::post()
{
    if (!isRunning())
        return;
    const PumpSession *session = m_parts.session;
    SilaBoard::State state;
    state.pressure = m_pressure;
    state.pressureTime = m_pressureTime;
    state.pressureCurrent = session->hasReading() && !session->readingIsStale() &&
                            session->link() == PumpSession::Link::Open;
    state.flowSent = session->lastFlowSent().frame;
    state.limitSent = session->lastLimitSent().frame;
    state.lastCommand = m_lastCommand;
    state.link = linkWord(session->link());
    const TimedRunControl *run = m_parts.timedRun;
    state.timedRun = run->counting()              ? QStringLiteral("running")
                     : run->startedAt().isValid() ? QStringLiteral("paused")
                                                  : QStringLiteral("idle");
    for (const AlarmMonitor::Alarm &alarm : m_parts.alarms->latched())
        state.alarms << AlarmMonitor::name(alarm.kind);
    state.locked = m_desk->isLocked();
    m_board->post(state);
}
