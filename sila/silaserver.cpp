#include "sila/silaserver.h"

#include "remote/remotedesk.h"
#include "sila/silaboard.h"
#include "sila/silaidentity.h"

#include "LockController.grpc.pb.h"
#include "PumpControl.grpc.pb.h"
#include "SiLAService.grpc.pb.h"

#include <QFile>
#include <QMetaObject>
#include <QPointer>

#include <grpcpp/grpcpp.h>
#include <grpcpp/resource_quota.h>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace fw = sila2::org::silastandard;
namespace ss = sila2::org::silastandard::core::silaservice::v1;
namespace lc = sila2::org::silastandard::core::lockcontroller::v2;
namespace pc = sila2::org::corvane::pump::pumpcontrol::v1;

namespace {

constexpr char kSilaServiceId[] = "org.silastandard/core/SiLAService/v1";
constexpr char kLockControllerId[] = "org.silastandard/core/LockController/v2";
constexpr char kPumpControlId[] = "org.corvane/pump/PumpControl/v1";
constexpr char kLockMetadataKey[] =
    "sila-org.silastandard-core-lockcontroller-v2-metadata-lockidentifier-bin";
// How long a call waits for the panel's thread before it is answered as unavailable.
constexpr auto kDeskAnswer = std::chrono::seconds(3);
// How often a subscription looks whether its client has gone, while nothing changes.
constexpr auto kSubscriptionWake = std::chrono::milliseconds(500);

std::string utf8(const QString &text)
{
    return text.toStdString();
}

grpc::Status silaError(const fw::SiLAError &error)
{
    const std::string bytes = error.SerializeAsString();
    return {grpc::StatusCode::ABORTED,
            QByteArray(bytes.data(), qsizetype(bytes.size())).toBase64().toStdString()};
}

grpc::Status validation(const QString &parameter, const QString &message)
{
    fw::SiLAError error;
    error.mutable_validationerror()->set_parameter(utf8(parameter));
    error.mutable_validationerror()->set_message(utf8(message));
    return silaError(error);
}

grpc::Status defined(const QString &identifier, const QString &message)
{
    fw::SiLAError error;
    error.mutable_definedexecutionerror()->set_erroridentifier(utf8(identifier));
    error.mutable_definedexecutionerror()->set_message(utf8(message));
    return silaError(error);
}

grpc::Status framework(fw::FrameworkError::ErrorType type, const QString &message)
{
    fw::SiLAError error;
    error.mutable_frameworkerror()->set_errortype(type);
    error.mutable_frameworkerror()->set_message(utf8(message));
    return silaError(error);
}

QString errorId(const char *feature, const char *error)
{
    return QStringLiteral("%1/DefinedExecutionError/%2")
        .arg(QLatin1String(feature), QLatin1String(error));
}

QString parameterId(const char *feature, const QString &command, const QString &parameter)
{
    return QStringLiteral("%1/Command/%2/Parameter/%3")
        .arg(QLatin1String(feature), command, parameter);
}

// Reads the call's SiLA metadata: the lock identifier where the call takes it, nothing else.
std::optional<grpc::Status> readMetadata(const grpc::ServerContext &context, bool takesLock,
                                         QString *identifier)
{
    for (const auto &[key, value] : context.client_metadata()) {
        const std::string_view name(key.data(), key.size());
        if (!name.starts_with("sila-"))
            continue;
        if (name != kLockMetadataKey)
            return framework(fw::FrameworkError::INVALID_METADATA,
                             QStringLiteral("unknown metadata %1")
                                 .arg(QString::fromUtf8(name.data(), qsizetype(name.size()))));
        if (!takesLock)
            return framework(fw::FrameworkError::NO_METADATA_ALLOWED,
                             QStringLiteral("this call takes no lock identifier"));
        lc::Metadata_LockIdentifier metadata;
        if (!metadata.ParseFromArray(value.data(), int(value.size())))
            return framework(fw::FrameworkError::INVALID_METADATA,
                             QStringLiteral("the lock identifier cannot be read"));
        *identifier = QString::fromStdString(metadata.lockidentifier().value());
    }
    return std::nullopt;
}

RemoteDesk::Caller callerOf(const grpc::ServerContext &context, const QString &identifier = {})
{
    return {QString::fromStdString(context.peer()), identifier, QString()};
}

} // namespace

// Hands work to the desk on the panel's thread and waits for its reply, never longer than
// kDeskAnswer, and not at all once the server stops (the panel's thread may be the one
// stopping it). What the panel's thread touches is shared with it, so that work still queued
// there when the server has gone finds it.
class DeskBridge
{
public:
    explicit DeskBridge(RemoteDesk *desk) : m_desk(desk), m_shared(std::make_shared<Shared>()) {}

    std::optional<RemoteDesk::Reply> call(std::function<RemoteDesk::Reply(RemoteDesk &)> work)
    {
        // A call given up before the panel's thread came to it is never carried out: the client
        // was told it failed, and a retry must not make it go out twice. One already begun is
        // waited for, as it ends at once.
        struct Call
        {
            std::optional<RemoteDesk::Reply> reply;
            bool started = false;
            bool abandoned = false;
        };
        auto state = std::make_shared<Call>();
        {
            std::lock_guard lock(m_shared->mutex);
            if (m_shared->closed)
                return std::nullopt;
        }
        QPointer<RemoteDesk> desk = m_desk;
        QMetaObject::invokeMethod(
            m_desk,
            [shared = m_shared, desk, state, work = std::move(work)] {
                {
                    std::lock_guard lock(shared->mutex);
                    if (!desk || shared->closed || state->abandoned)
                        return;
                    state->started = true;
                }
                RemoteDesk::Reply answer = work(*desk);
                {
                    std::lock_guard lock(shared->mutex);
                    state->reply = std::move(answer);
                }
                shared->answered.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(m_shared->mutex);
        m_shared->answered.wait_for(lock, kDeskAnswer,
                                    [&] { return m_shared->closed || state->reply.has_value(); });
        if (!state->reply && !state->started)
            state->abandoned = true;
        else if (!state->reply)
            m_shared->answered.wait(lock, [&] { return state->reply.has_value(); });
        return state->reply;
    }

    void close()
    {
        {
            std::lock_guard lock(m_shared->mutex);
            m_shared->closed = true;
        }
        m_shared->answered.notify_all();
    }

private:
    struct Shared
    {
        std::mutex mutex;
        std::condition_variable answered;
        bool closed = false;
    };

    RemoteDesk *m_desk;
    std::shared_ptr<Shared> m_shared;
};

namespace {

grpc::Status unavailable()
{
    return {grpc::StatusCode::UNAVAILABLE, "the panel does not answer"};
}

grpc::Status tooMany(const RemoteDesk::Reply &reply)
{
    return framework(fw::FrameworkError::COMMAND_EXECUTION_NOT_ACCEPTED, reply.message);
}

class SilaServiceImpl final : public ss::SiLAService::Service
{
public:
    SilaServiceImpl(DeskBridge *bridge, SilaIdentity *identity, const QString &version)
        : m_bridge(bridge), m_identity(identity), m_version(version)
    {
        for (const QString &id : SilaServer::featureIdentifiers()) {
            const QString name = id.section(u'/', 2, 2);
            const QString version = id.section(u'/', 3, 3).mid(1);
            QFile file(QStringLiteral(":/sila/features/%1-v%2_0.sila.xml").arg(name, version));
            if (file.open(QIODevice::ReadOnly))
                m_definitions.insert(id, file.readAll().toStdString());
        }
    }

    grpc::Status GetFeatureDefinition(grpc::ServerContext *context,
                                      const ss::GetFeatureDefinition_Parameters *request,
                                      ss::GetFeatureDefinition_Responses *response) override
    {
        if (auto status = admit(context))
            return *status;
        const QString id = QString::fromStdString(
            request->qualifiedfeatureidentifier().featureidentifier().value());
        const auto found = m_definitions.constFind(id);
        if (found == m_definitions.cend())
            return defined(errorId(kSilaServiceId, "UnimplementedFeature"),
                           QStringLiteral("%1 is not implemented here").arg(id.left(256)));
        response->mutable_featuredefinition()->mutable_featuredefinition()->set_value(*found);
        return grpc::Status::OK;
    }

    grpc::Status SetServerName(grpc::ServerContext *context,
                               const ss::SetServerName_Parameters *request,
                               ss::SetServerName_Responses *) override
    {
        if (auto status = admit(context))
            return *status;
        const QString name = QString::fromStdString(request->servername().value());
        if (name.isEmpty() || name.size() > 255)
            return validation(parameterId(kSilaServiceId, QStringLiteral("SetServerName"),
                                          QStringLiteral("ServerName")),
                              QStringLiteral("a name of 1 to 255 characters"));
        std::lock_guard lock(m_mutex);
        if (const QString problem = m_identity->setName(name); !problem.isEmpty())
            return {grpc::StatusCode::INTERNAL, utf8(problem)};
        return grpc::Status::OK;
    }

    grpc::Status Get_ServerName(grpc::ServerContext *context, const ss::Get_ServerName_Parameters *,
                                ss::Get_ServerName_Responses *response) override
    {
        std::lock_guard lock(m_mutex);
        return answer(context, response->mutable_servername(), m_identity->name());
    }
    grpc::Status Get_ServerType(grpc::ServerContext *context, const ss::Get_ServerType_Parameters *,
                                ss::Get_ServerType_Responses *response) override
    {
        return answer(context, response->mutable_servertype(), QStringLiteral("CorvanePumpPanel"));
    }
    grpc::Status Get_ServerUUID(grpc::ServerContext *context, const ss::Get_ServerUUID_Parameters *,
                                ss::Get_ServerUUID_Responses *response) override
    {
        return answer(context, response->mutable_serveruuid(), m_identity->uuid());
    }
    grpc::Status Get_ServerDescription(grpc::ServerContext *context,
                                       const ss::Get_ServerDescription_Parameters *,
                                       ss::Get_ServerDescription_Responses *response) override
    {
        return answer(
            context, response->mutable_serverdescription(),
            QStringLiteral(
                "The operator panel of a laboratory pump (constant flow, constant pressure)"));
    }
    grpc::Status Get_ServerVersion(grpc::ServerContext *context,
                                   const ss::Get_ServerVersion_Parameters *,
                                   ss::Get_ServerVersion_Responses *response) override
    {
        return answer(context, response->mutable_serverversion(), m_version);
    }
    grpc::Status Get_ServerVendorURL(grpc::ServerContext *context,
                                     const ss::Get_ServerVendorURL_Parameters *,
                                     ss::Get_ServerVendorURL_Responses *response) override
    {
        return answer(context, response->mutable_servervendorurl()->mutable_url(),
                      QStringLiteral("https://corvane.org/pump-panel"));
    }
    grpc::Status Get_ImplementedFeatures(grpc::ServerContext *context,
                                         const ss::Get_ImplementedFeatures_Parameters *,
                                         ss::Get_ImplementedFeatures_Responses *response) override
    {
        if (auto status = admit(context))
            return *status;
        for (const QString &id : SilaServer::featureIdentifiers())
            response->add_implementedfeatures()->mutable_featureidentifier()->set_value(utf8(id));
        return grpc::Status::OK;
    }

private:
    std::optional<grpc::Status> admit(grpc::ServerContext *context)
    {
        QString none;
        if (auto status = readMetadata(*context, false, &none))
            return status;
        const std::optional<RemoteDesk::Reply> reply = m_bridge->call(
            [caller = callerOf(*context)](RemoteDesk &desk) { return desk.watch(caller); });
        if (!reply)
            return unavailable();
        if (reply->kind == RemoteDesk::Reply::Kind::TooManyCalls)
            return tooMany(*reply);
        return std::nullopt;
    }

    grpc::Status answer(grpc::ServerContext *context, fw::String *field, const QString &value)
    {
        if (auto status = admit(context))
            return *status;
        field->set_value(utf8(value));
        return grpc::Status::OK;
    }

    DeskBridge *m_bridge;
    SilaIdentity *m_identity;
    QString m_version;
    QHash<QString, std::string> m_definitions;
    std::mutex m_mutex; // the identity's name, set and read on gRPC's threads
};

// Streams the state a subscription watches: the newest each time it changes, never a queue.
template <class Response>
grpc::Status watchBoard(grpc::ServerContext *context, grpc::ServerWriter<Response> *writer,
                        SilaBoard *board,
                        const std::function<void(const SilaBoard::State &, Response *)> &fill)
{
    quint64 seen = 0;
    // The first value goes out whatever it is, an empty list too.
    std::optional<std::string> last;
    SilaBoard::State state;
    while (!context->IsCancelled()) {
        if (!board->wait(&seen, &state, kSubscriptionWake))
            return {grpc::StatusCode::UNAVAILABLE, "the server stops"};
        Response response;
        fill(state, &response);
        std::string bytes = response.SerializeAsString();
        if (last == bytes)
            continue;
        if (!writer->Write(response))
            break;
        last = std::move(bytes);
    }
    return grpc::Status::OK;
}

class LockControllerImpl final : public lc::LockController::Service
{
public:
    LockControllerImpl(DeskBridge *bridge, SilaBoard *board) : m_bridge(bridge), m_board(board) {}

    grpc::Status LockServer(grpc::ServerContext *context, const lc::LockServer_Parameters *request,
                            lc::LockServer_Responses *) override
    {
        QString none;
        if (auto status = readMetadata(*context, false, &none))
            return *status;
        const QString identifier = QString::fromStdString(request->lockidentifier().value());
        const qint64 timeout = request->timeout().value();
        const std::optional<RemoteDesk::Reply> reply =
            m_bridge->call([caller = callerOf(*context), identifier, timeout](RemoteDesk &desk) {
                return desk.lock(caller, identifier, timeout);
            });
        return answer(reply, QStringLiteral("LockServer"));
    }

    grpc::Status UnlockServer(grpc::ServerContext *context,
                              const lc::UnlockServer_Parameters *request,
                              lc::UnlockServer_Responses *) override
    {
        QString none;
        if (auto status = readMetadata(*context, false, &none))
            return *status;
        const QString identifier = QString::fromStdString(request->lockidentifier().value());
        const std::optional<RemoteDesk::Reply> reply =
            m_bridge->call([caller = callerOf(*context), identifier](RemoteDesk &desk) {
                return desk.unlock(caller, identifier);
            });
        return answer(reply, QStringLiteral("UnlockServer"));
    }

    grpc::Status
    Subscribe_IsLocked(grpc::ServerContext *context, const lc::Subscribe_IsLocked_Parameters *,
                       grpc::ServerWriter<lc::Subscribe_IsLocked_Responses> *writer) override
    {
        QString none;
        if (auto status = readMetadata(*context, false, &none))
            return *status;
        const std::optional<RemoteDesk::Reply> reply = m_bridge->call(
            [caller = callerOf(*context)](RemoteDesk &desk) { return desk.watch(caller); });
        if (!reply)
            return unavailable();
        if (reply->kind == RemoteDesk::Reply::Kind::TooManyCalls)
            return tooMany(*reply);
        return watchBoard<lc::Subscribe_IsLocked_Responses>(
            context, writer, m_board,
            [](const SilaBoard::State &state, lc::Subscribe_IsLocked_Responses *response) {
                response->mutable_islocked()->set_value(state.locked);
            });
    }

    grpc::Status Get_FCPAffectedByMetadata_LockIdentifier(
        grpc::ServerContext *context,
        const lc::Get_FCPAffectedByMetadata_LockIdentifier_Parameters *,
        lc::Get_FCPAffectedByMetadata_LockIdentifier_Responses *response) override
    {
        QString none;
        if (auto status = readMetadata(*context, false, &none))
            return *status;
        response->add_affectedcalls()->set_value(kPumpControlId);
        return grpc::Status::OK;
    }

private:
    grpc::Status answer(const std::optional<RemoteDesk::Reply> &reply, const QString &command)
    {
        using Kind = RemoteDesk::Reply::Kind;
        using Verdict = RemoteArbiter::Verdict;
        if (!reply)
            return unavailable();
        switch (reply->kind) {
        case Kind::Done:
            return grpc::Status::OK;
        case Kind::TooManyCalls:
            return tooMany(*reply);
        case Kind::Invalid:
            return validation(parameterId(kLockControllerId, command, reply->parameter),
                              reply->message);
        default:
            break;
        }
        const char *error = reply->verdict == Verdict::AlreadyLocked ? "ServerAlreadyLocked"
                            : reply->verdict == Verdict::NotLocked   ? "ServerNotLocked"
                                                                     : "InvalidLockIdentifier";
        return defined(errorId(kLockControllerId, error), reply->message);
    }

    DeskBridge *m_bridge;
    SilaBoard *m_board;
};

class PumpControlImpl final : public pc::PumpControl::Service
{
    using Command = RemoteDesk::Command;

public:
    PumpControlImpl(DeskBridge *bridge, SilaBoard *board) : m_bridge(bridge), m_board(board) {}

    grpc::Status SetFlow(grpc::ServerContext *context, const pc::SetFlow_Parameters *request,
                         pc::SetFlow_Responses *) override
    {
        return command(context, Command::SetFlow, request->pumpaddress().value(),
                       double(request->flow().value()));
    }
    grpc::Status SetLimit(grpc::ServerContext *context, const pc::SetLimit_Parameters *request,
                          pc::SetLimit_Responses *) override
    {
        return command(context, Command::SetLimit, request->pumpaddress().value(),
                       request->limit().value());
    }
    grpc::Status Run(grpc::ServerContext *context, const pc::Run_Parameters *,
                     pc::Run_Responses *) override
    {
        return command(context, Command::Run);
    }
    grpc::Status Stop(grpc::ServerContext *context, const pc::Stop_Parameters *,
                      pc::Stop_Responses *response) override
    {
        bool owed = false;
        const grpc::Status status = command(context, Command::Stop, 0, 0, &owed);
        response->mutable_owed()->set_value(owed);
        return status;
    }
    grpc::Status SetRunTime(grpc::ServerContext *context, const pc::SetRunTime_Parameters *request,
                            pc::SetRunTime_Responses *) override
    {
        return command(context, Command::SetRunTime, 0, request->runtime().value());
    }
    grpc::Status StartTimedRun(grpc::ServerContext *context, const pc::StartTimedRun_Parameters *,
                               pc::StartTimedRun_Responses *) override
    {
        return command(context, Command::StartTimedRun);
    }
    grpc::Status PauseTimedRun(grpc::ServerContext *context, const pc::PauseTimedRun_Parameters *,
                               pc::PauseTimedRun_Responses *) override
    {
        return command(context, Command::PauseTimedRun);
    }
    grpc::Status ContinueTimedRun(grpc::ServerContext *context,
                                  const pc::ContinueTimedRun_Parameters *,
                                  pc::ContinueTimedRun_Responses *) override
    {
        return command(context, Command::ContinueTimedRun);
    }
    grpc::Status EndTimedRun(grpc::ServerContext *context, const pc::EndTimedRun_Parameters *,
                             pc::EndTimedRun_Responses *) override
    {
        return command(context, Command::EndTimedRun);
    }
    grpc::Status AcknowledgeAlarms(grpc::ServerContext *context,
                                   const pc::AcknowledgeAlarms_Parameters *,
                                   pc::AcknowledgeAlarms_Responses *) override
    {
        return command(context, Command::AcknowledgeAlarms);
    }

    grpc::Status
    Subscribe_Pressure(grpc::ServerContext *context, const pc::Subscribe_Pressure_Parameters *,
                       grpc::ServerWriter<pc::Subscribe_Pressure_Responses> *writer) override
    {
        return subscribe<pc::Subscribe_Pressure_Responses>(
            context, writer,
            [](const SilaBoard::State &state, pc::Subscribe_Pressure_Responses *response) {
                auto *pressure = response->mutable_pressure();
                pressure->mutable_value()->set_value(utf8(state.pressure));
                pressure->mutable_current()->set_value(state.pressureCurrent);
                if (state.pressureTime.isValid()) {
                    const QDateTime utc = state.pressureTime.toUTC();
                    auto *time = pressure->mutable_time();
                    time->set_year(uint(utc.date().year()));
                    time->set_month(uint(utc.date().month()));
                    time->set_day(uint(utc.date().day()));
                    time->set_hour(uint(utc.time().hour()));
                    time->set_minute(uint(utc.time().minute()));
                    time->set_second(uint(utc.time().second()));
                    time->mutable_timezone();
                }
            });
    }
    grpc::Status
    Subscribe_FlowSent(grpc::ServerContext *context, const pc::Subscribe_FlowSent_Parameters *,
                       grpc::ServerWriter<pc::Subscribe_FlowSent_Responses> *writer) override
    {
        return subscribe<pc::Subscribe_FlowSent_Responses>(
            context, writer,
            [](const SilaBoard::State &state, pc::Subscribe_FlowSent_Responses *response) {
                response->mutable_flowsent()->set_value(utf8(state.flowSent));
            });
    }
    grpc::Status
    Subscribe_LimitSent(grpc::ServerContext *context, const pc::Subscribe_LimitSent_Parameters *,
                        grpc::ServerWriter<pc::Subscribe_LimitSent_Responses> *writer) override
    {
        return subscribe<pc::Subscribe_LimitSent_Responses>(
            context, writer,
            [](const SilaBoard::State &state, pc::Subscribe_LimitSent_Responses *response) {
                response->mutable_limitsent()->set_value(utf8(state.limitSent));
            });
    }
    grpc::Status
    Subscribe_LastCommand(grpc::ServerContext *context,
                          const pc::Subscribe_LastCommand_Parameters *,
                          grpc::ServerWriter<pc::Subscribe_LastCommand_Responses> *writer) override
    {
        return subscribe<pc::Subscribe_LastCommand_Responses>(
            context, writer,
            [](const SilaBoard::State &state, pc::Subscribe_LastCommand_Responses *response) {
                response->mutable_lastcommand()->set_value(utf8(state.lastCommand));
            });
    }
    grpc::Status
    Subscribe_LinkState(grpc::ServerContext *context, const pc::Subscribe_LinkState_Parameters *,
                        grpc::ServerWriter<pc::Subscribe_LinkState_Responses> *writer) override
    {
        return subscribe<pc::Subscribe_LinkState_Responses>(
            context, writer,
            [](const SilaBoard::State &state, pc::Subscribe_LinkState_Responses *response) {
                response->mutable_linkstate()->set_value(utf8(state.link));
            });
    }
    grpc::Status Subscribe_TimedRunState(
        grpc::ServerContext *context, const pc::Subscribe_TimedRunState_Parameters *,
        grpc::ServerWriter<pc::Subscribe_TimedRunState_Responses> *writer) override
    {
        return subscribe<pc::Subscribe_TimedRunState_Responses>(
            context, writer,
            [](const SilaBoard::State &state, pc::Subscribe_TimedRunState_Responses *response) {
                response->mutable_timedrunstate()->set_value(utf8(state.timedRun));
            });
    }
    grpc::Status
    Subscribe_Alarms(grpc::ServerContext *context, const pc::Subscribe_Alarms_Parameters *,
                     grpc::ServerWriter<pc::Subscribe_Alarms_Responses> *writer) override
    {
        return subscribe<pc::Subscribe_Alarms_Responses>(
            context, writer,
            [](const SilaBoard::State &state, pc::Subscribe_Alarms_Responses *response) {
                for (const QString &alarm : state.alarms)
                    response->add_alarms()->set_value(utf8(alarm));
            });
    }

private:
    grpc::Status command(grpc::ServerContext *context, Command which, qint64 address = 0,
                         double value = 0, bool *owed = nullptr)
    {
        using Kind = RemoteDesk::Reply::Kind;
        QString identifier;
        if (auto status = readMetadata(*context, true, &identifier))
            return *status;
        RemoteDesk::Request request{which, callerOf(*context, identifier),
                                    int(std::clamp<qint64>(address, -1, 100)), value};
        const std::optional<RemoteDesk::Reply> reply =
            m_bridge->call([request](RemoteDesk &desk) { return desk.handle(request); });
        if (!reply)
            return unavailable();
        const QString name = RemoteDesk::commandName(which);
        switch (reply->kind) {
        case Kind::Done:
            if (owed)
                *owed = reply->owed;
            return grpc::Status::OK;
        case Kind::TooManyCalls:
            return tooMany(*reply);
        case Kind::Invalid:
            return validation(parameterId(kPumpControlId, name, reply->parameter), reply->message);
        case Kind::LockRefused:
            if (identifier.isEmpty())
                return framework(fw::FrameworkError::INVALID_METADATA,
                                 QStringLiteral("the lock identifier is required"));
            return defined(errorId(kLockControllerId, "InvalidLockIdentifier"), reply->message);
        case Kind::Refused:
            return defined(
                errorId(kPumpControlId, reply->verdict == RemoteArbiter::Verdict::OperatorStopped
                                            ? "OperatorStopped"
                                            : "CommandFailed"),
                reply->message);
        }
        return unavailable();
    }

    template <class Response, class Fill>
    grpc::Status subscribe(grpc::ServerContext *context, grpc::ServerWriter<Response> *writer,
                           Fill fill)
    {
        QString none;
        if (auto status = readMetadata(*context, false, &none))
            return *status;
        const std::optional<RemoteDesk::Reply> reply = m_bridge->call(
            [caller = callerOf(*context)](RemoteDesk &desk) { return desk.watch(caller); });
        if (!reply)
            return unavailable();
        if (reply->kind == RemoteDesk::Reply::Kind::TooManyCalls)
            return tooMany(*reply);
        return watchBoard<Response>(context, writer, m_board, fill);
    }

    DeskBridge *m_bridge;
    SilaBoard *m_board;
};

} // namespace

struct SilaServer::Services
{
    Services(RemoteDesk *desk, SilaBoard *board, SilaIdentity *identity, const QString &version)
        : bridge(desk), silaService(&bridge, identity, version), lockController(&bridge, board),
          pumpControl(&bridge, board)
    {
    }

    DeskBridge bridge;
    SilaServiceImpl silaService;
    LockControllerImpl lockController;
    PumpControlImpl pumpControl;
};

SilaServer::SilaServer(RemoteDesk *desk, SilaBoard *board, SilaIdentity *identity,
                       const QString &version)
    : m_desk(desk), m_board(board), m_identity(identity), m_version(version)
{
}

SilaServer::~SilaServer()
{
    stop();
}

QStringList SilaServer::featureIdentifiers()
{
    return {QLatin1String(kSilaServiceId), QLatin1String(kLockControllerId),
            QLatin1String(kPumpControlId)};
}

QString SilaServer::start(int port)
{
    stop();
    grpc::SslServerCredentialsOptions tls;
    tls.pem_key_cert_pairs.push_back(
        {m_identity->keyPem().toStdString(), m_identity->certificatePem().toStdString()});
    m_board->open();
    m_services = std::make_unique<Services>(m_desk, m_board, m_identity, m_version);
    grpc::ServerBuilder builder;
    int chosen = 0;
    builder.AddListeningPort(QStringLiteral("127.0.0.1:%1").arg(port).toStdString(),
                             grpc::SslServerCredentials(tls), &chosen);
    builder.SetMaxReceiveMessageSize(kMaxReceiveBytes);
    builder.AddChannelArgument(GRPC_ARG_MAX_CONCURRENT_STREAMS, kMaxStreamsPerConnection);
    grpc::ResourceQuota quota("sila");
    quota.SetMaxThreads(kMaxThreads);
    builder.SetResourceQuota(quota);
    builder.RegisterService(&m_services->silaService);
    builder.RegisterService(&m_services->lockController);
    builder.RegisterService(&m_services->pumpControl);
    m_server = builder.BuildAndStart();
    if (!m_server || chosen == 0) {
        m_server.reset();
        m_services.reset();
        return QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port);
    }
    m_port = chosen;
    return {};
}

void SilaServer::stop()
{
    if (!m_server)
        return;
    // Waiting calls return at once; streams end with the board.
    m_services->bridge.close();
    m_board->close();
    m_server->Shutdown(std::chrono::system_clock::now() + std::chrono::seconds(2));
    m_server->Wait();
    m_server.reset();
    m_services.reset();
}
