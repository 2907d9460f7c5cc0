#include "app/auditheadpublishing.h"
#include "app/form1.h"
#include "app/panelending.h"
#include "app/panelpublishing.h"
#include "app/paneltranslations.h"
#include "app/pumpcare.h"
#include "app/remotecontrol.h"
#include "app/remotecontroldialog.h"
#include "app/statusarea.h"
#include "audit/auditlog.h"
#include "audit/auditrecorder.h"
#include "audit/auditverifier.h"
#include "cmdline/panelcommandline.h"
#include "platform/mqttidclaim.h"
#include "platform/publisher.h"
#include "platform/serialcontrol.h"
#include "platform/terminationsignals.h"
#include "program/programfile.h"
#include "records/exportwriter.h"
#include "records/logwriter.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTextStream>
#include <QTranslator>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    // The command line is read before the window system is touched, so --help, --version and
    // a wrong option answer on a machine without a display too.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // In the language the environment asks messages to be in; the window stays Chinese.
    PanelCommandLine commandLine;
    if (!commandLine.parse(arguments)) {
        // A check run by a script: one line, which its log keeps whole.
        if (commandLine.verifyRequested())
            std::fprintf(stderr, "corvane-panel: %s\n", qPrintable(commandLine.errorText()));
        else
            std::fputs(qPrintable(commandLine.usageError(commandLine.errorText())), stderr);
        return 2;
    }
    if (commandLine.helpRequested()) {
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    }
    if (commandLine.versionRequested()) {
        std::fputs(qPrintable(PanelCommandLine::versionText()), stdout);
        return 0;
    }
    // The audit trail is checked without a display and whatever the window would need; the
    // verifier's texts come through the application, in the language of the messages.
    if (commandLine.verifyRequested()) {
        QCoreApplication core(argc, argv);
        QTranslator translator;
        if (CommandLineTexts::load(&translator, CommandLineTexts::messageLocale()))
            QCoreApplication::installTranslator(&translator);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return AuditVerifier::run(commandLine.auditFiles(), commandLine.auditHead(), out, err);
    }
    // The broker's credentials and certificate authority are read now, once: a FIFO or a
    // folder in their place is refused before any window, and nothing waits on them later.
    if (commandLine.publishes() && !commandLine.readMqttFiles()) {
        std::fprintf(stderr, "corvane-panel: %s\n", qPrintable(commandLine.errorText()));
        return 2;
    }
    for (const QString &warning : commandLine.warnings())
        std::fprintf(stderr, "corvane-panel: %s\n", qPrintable(warning));
    // A log on a pipe or terminal whose reader has gone must not end the panel with the pump
    // running; such paths are refused below, and a write that fails is told instead.
    std::signal(SIGPIPE, SIG_IGN);
    // Refused before any window: opening a FIFO without a reader would wait for ever.
    if (const QString refusal = LogWriter::refusal(commandLine.logFile());
        !commandLine.logFile().isEmpty() && !refusal.isEmpty()) {
        std::fprintf(stderr, "corvane-panel: %s\n", qPrintable(refusal));
        return 2;
    }

    // A program file that cannot be used is told now, rather than as an empty program window.
    if (!commandLine.programFile().isEmpty()) {
        if (const ProgramFile::Loaded loaded = ProgramFile::readFile(commandLine.programFile());
            !loaded.program) {
            std::fprintf(stderr, "corvane-panel: %s: %s\n", qPrintable(commandLine.programFile()),
                         qPrintable(loaded.problem));
            return 2;
        }
    }

    // Qt takes its own options (-platform, -style, ...) from the untouched argv.
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("corvane"));
    QApplication::setApplicationName(QStringLiteral("corvane-panel"));
    auto *terminationSignals = new TerminationSignals(&app);
    const PanelTranslations translations;

    // Made before the window, and so gone after it: the window's last events are still told.
    AuditLog auditLog;
    Form1 form;
    form.serialControl()->setPortMap(commandLine.portDevices());
    QHash<QChar, QString> drives = commandLine.driveFolders();
    QString madeOnDemand;
#ifndef Q_OS_WIN
    // Drive d: of the record file, unless the command line names it: a folder of the user's
    // documents, made at the first save.
    if (!drives.contains(u'd')) {
        madeOnDemand = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                           .filePath(QStringLiteral("corvane-panel"));
        drives.insert(u'd', madeOnDemand);
    }
#endif
    form.recordSaving().setDriveFolders(drives, madeOnDemand);
    if (const QString log = commandLine.logFile(); !log.isEmpty()) {
        QString error;
        if (!form.readingLog()->openFile(log, &error)) {
            std::fprintf(stderr, "corvane-panel: %s\n", qPrintable(error));
            return 2;
        }
    } else if (!commandLine.noLog()) {
        // Every reading and event, a file a day; a folder that cannot be made is told and the
        // panel runs without a log.
        const QString folder =
            QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
                .filePath(QStringLiteral("readings"));
        QString error;
        if (!form.readingLog()->openDailyFolder(folder, &error))
            form.showLogNotice(error);
    }
    // The panel's own name on the host, held until it ends so that the next panel takes the
    // next: its audit chain's, and its MQTT id unless --mqtt-id names another.
    MqttIdClaim idClaim;
    const QString panelId =
        idClaim.claim(QSysInfo::machineHostName(), commandLine.portDevices().value(1));
    QString mqttId;
    if (commandLine.publishes()) {
        MqttSettings mqtt = commandLine.mqtt();
        if (mqtt.id.isEmpty())
            mqtt.id = panelId;
        mqttId = mqtt.id;
        form.startPublishing(mqtt);
    }
    // Who commanded what, chained so that a change shows; written off the window's thread and
    // kept in memory while it cannot be written, which the status area says.
    auto *recorder =
        new AuditRecorder(&auditLog, form.session(), &form.runRecord(), form.alarms(), &form);
    QObject::connect(recorder, &AuditRecorder::stateText, &form, [&form](const QString &text) {
        form.statusArea()->setLine(StatusArea::Line::Audit, text);
    });
    auditLog.open(commandLine.auditFolder().isEmpty() ? AuditLog::defaultFolder()
                                                      : commandLine.auditFolder(),
                  panelId, form.runRecord().sessionId(), AuditLog::loginName(),
                  PanelCommandLine::versionText().trimmed(),
                  AuditRecorder::formerInstanceName(mqttId, commandLine.portDevices().value(1)));
    if (const std::optional<QString> name = commandLine.operatorName()) {
        recorder->setOperator(name, QStringLiteral("命令行"));
        form.setOperatorName(*name);
    }
    // A counter reset after a service, with its value before: the one way a counter goes down.
    QObject::connect(form.care(), &PumpCare::counterReset, &form,
                     [&auditLog](CareCounter::Kind kind, const QString &before, const QString &remark) {
                         auditLog.append({.source = QStringLiteral("维护…"),
                                          .what = QStringLiteral("care-reset"),
                                          .before = before,
                                          .after = QStringLiteral("0"),
                                          .text = CareCounter::name(kind) + u'：' + remark});
                     });
    QObject::connect(&form, &Form1::operatorEntered, recorder, [recorder](const QString &name) {
        recorder->setOperator(name.isEmpty() ? std::nullopt : std::optional<QString>(name),
                              QStringLiteral("操作员…"));
    });
    form.setAuditHeadSource([&auditLog] {
        const AuditLog::Head head = auditLog.head();
        return head.seq > 0 ? QStringLiteral("%1:%2").arg(head.seq).arg(QLatin1String(head.hash))
                            : QString();
    });
    form.setAuditFolder(commandLine.auditFolder().isEmpty() ? AuditLog::defaultFolder()
                                                            : commandLine.auditFolder());
    AuditHeadPublishing *headPublishing =
        form.publishing()
            ? new AuditHeadPublishing(&auditLog, form.publishing()->publisher(), &form)
            : nullptr;
    // An event of the run with or without a log, once the log and the broker take events.
    form.programStarted(commandLine.programFile());
    // Remote control, when asked for here or left on in 远程控制…: the port and the
    // certificate's fingerprint are printed, for a client to find and pin.
    if (const RemoteControlDialog::Stored stored = RemoteControlDialog::stored();
        commandLine.silaPort() || stored.enabled) {
        const int port = commandLine.silaPort().value_or(stored.port);
        if (const QString problem = form.remoteControl()->start(port, commandLine.silaCertificate(),
                                                                commandLine.silaKey());
            !problem.isEmpty()) {
            std::fprintf(stderr, "corvane-panel: SiLA 2: %s\n", qPrintable(problem));
            if (commandLine.silaPort())
                return 2;
        } else {
            std::printf("corvane-panel: SiLA 2 server on 127.0.0.1:%d, certificate SHA-256 %s\n",
                        form.remoteControl()->port(),
                        qPrintable(form.remoteControl()->fingerprint()));
            std::fflush(stdout);
        }
    }
    QObject::connect(&form, &Form1::endRequested, &app, [] { QCoreApplication::exit(0); });
    // Ended by the session or a service manager: as if the window were closed, so the close
    // handler closes the port and its lock file goes with it.
    QObject::connect(terminationSignals, &TerminationSignals::terminationRequested, &form, [&form] {
        form.close();
        QCoreApplication::exit(0);
    });
    form.show();
    const int status = app.exec();
    PanelEnding::finish(form, auditLog, headPublishing);
    return status;
}
