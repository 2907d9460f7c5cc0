#pragma once

#include "audit/auditverifier.h"
#include "telemetry/credentialfile.h"
#include "telemetry/mqttsettings.h"

#include <QChar>
#include <QCommandLineParser>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QPair>
#include <QString>
#include <QStringList>

#include <QTranslator>
#include <optional>

// How the panel and the simulated pump talk on the command line: in Chinese when the
// environment asks for messages in Chinese, in English (the source text, plain ASCII)
// otherwise. The texts are looked up in a translator of their own rather than one installed in
// the application: the panel reads its command line before any application object exists, and
// its window is in Chinese whatever the locale says.
class CommandLineTexts
{
public:
    // One line of a --help table: the option (or variable) and what it does.
    using HelpEntry = QPair<QString, QString>;

    // The language messages are to be in, as for any command-line program: LC_ALL, else
    // LC_MESSAGES, else LANG; the C and POSIX locales, or none, mean untranslated. Otherwise
    // LANGUAGE, a list such as zh_CN:en, goes first, as gettext has it.
    static QLocale messageLocale();

    explicit CommandLineTexts(const QLocale &locale = messageLocale());

    // Loads the translation for locale into translator: false when locale is not Chinese or it
    // is missing. The audit verifier's texts are looked up in the application, through it.
    static bool load(QTranslator *translator, const QLocale &locale);

    // The translation of source, or source itself.
    QString translate(const char *context, const char *source) const;

    // "PROGRAM: MESSAGE" and the line that points to --help, each ending in a newline.
    QString usageError(const QString &program, const QString &message) const;
    QString unexpectedArgument(const QString &argument) const;
    // Why QCommandLineParser::parse() refused arguments, naming the argument as the user wrote
    // it; the parser's own text says less and is English only.
    QString whyParseFailed(const QList<QCommandLineOption> &options, const QStringList &arguments,
                           QCommandLineParser::SingleDashWordOptionMode mode) const;

    // The --help layout help2man reads: a heading at column 0 ending in ':', then each entry
    // indented, its description wrapped from a common column, or from the next line when the
    // entry is too wide.
    static QString section(const QString &heading, const QList<HelpEntry> &entries);
    // A paragraph wrapped to the terminal's customary 79 columns.
    static QString paragraph(const QString &text);
    // The entry for the variables that choose the language.
    HelpEntry languageVariables() const;

private:
    QTranslator m_translator;
};

// The panel's command line. Every option is optional; without them port N is the system's
// N-th serial port, drive d: a folder in the user's documents, and the reading log a file a
// day in the user's data folder:
//   --port N=DEVICE   serial port number N is DEVICE (repeatable)
//   --drive L=DIR     drive letter L of the record file is the folder DIR (repeatable)
//   --log FILE        append every reading and event, with its time, to FILE
//   --no-log          keep no reading log
//   --mqtt URL [--mqtt-id ID] [--mqtt-auth FILE] [--mqtt-ca FILE]   publish to a broker
//   --audit-dir DIR   the audit trail's folder     --operator NAME   the operator at the panel
//   --program FILE    a pump program to load at start
//   --verify-audit FILE... [--head SEQ:HASH]   check an audit trail and exit, without a window
//   -h, --help        -v, --version
// Qt's own options (-platform offscreen, --style Fusion, -reverse, ...) are accepted and left
// for QApplication, which reads them from the same argv; they are skipped here exactly as Qt
// reads them, so that their values are never taken for the panel's arguments. parse() needs no
// application object, so a wrong command line is answered without a display.
class PanelCommandLine
{
public:
    // Messages and help in the language of locale (see CommandLineTexts).
    explicit PanelCommandLine(const QLocale &locale = CommandLineTexts::messageLocale());

    // False when the arguments do not parse; errorText() says why.
    bool parse(const QStringList &arguments);

    bool helpRequested() const { return m_helpRequested; }
    bool versionRequested() const { return m_versionRequested; }
    QString errorText() const { return m_errorText; }
    QString helpText() const;
    // "corvane-panel: MESSAGE" and where to find help, for standard error.
    QString usageError(const QString &message) const;
    // The program's name and version, one line.
    static QString versionText();

    QHash<int, QString> portDevices() const { return m_portDevices; }
    QHash<QChar, QString> driveFolders() const { return m_driveFolders; }
    // Empty: the default log, unless noLog().
    QString logFile() const { return m_logFile; }
    bool noLog() const { return m_noLog; }
    // Publishing to an MQTT broker: only with --mqtt. The id is empty unless --mqtt-id gives
    // it: the panel's own default is fixed at start, among the other panels of the host.
    bool publishes() const { return !m_mqtt.host.isEmpty(); }
    const MqttSettings &mqtt() const { return m_mqtt; }
    // Reads the files of --mqtt-auth and --mqtt-ca into mqtt(), once and without waiting: false
    // when one cannot be read, is no regular file or holds nothing of use (errorText() says
    // why, in one line). warnings() then says what was read but is unsafe.
    bool readMqttFiles();
    QStringList warnings() const { return m_warnings; }

    // --verify-audit: check the files given and exit, no window. Set as soon as the option is
    // on the command line, even when the rest does not parse, so that its errors take one line.
    bool verifyRequested() const { return m_verifyRequested; }
    QStringList auditFiles() const { return m_auditFiles; }
    // The head noted earlier, from --head; nothing without it.
    std::optional<AuditVerifier::Head> auditHead() const { return m_auditHead; }
    // Empty: AuditLog::defaultFolder().
    QString auditFolder() const { return m_auditFolder; }
    // The operator declared with --operator; nothing when none was.
    std::optional<QString> operatorName() const { return m_operator; }
    // The SiLA 2 server's port, from --sila; nothing without it. Its certificate and key, from
    // --sila-cert and --sila-key; empty: the panel's own.
    std::optional<int> silaPort() const { return m_silaPort; }
    QString silaCertificate() const { return m_silaCertificate; }
    QString silaKey() const { return m_silaKey; }
    // The pump program to load at start; empty for none.
    QString programFile() const { return m_programFile; }

private:
    bool fail(const QString &text);
    bool takePortDevice(const QString &value);
    bool takeDriveFolder(const QString &value);
    // False, with the message, for a path the system could not open: longer than PATH_MAX.
    bool fitsPathLimit(const QString &path);
    bool takeMqtt(const QString &url, const std::optional<QString> &id, const QString &authFile,
                  const QString &caFile, bool anyOther);
    // False, with why the file could not be read.
    bool failReading(const QString &path, const CredentialFile &file);
    // A path option's value: not empty and within the system's limit.
    bool takePath(const QString &option, const QString &value, QString *path);

    CommandLineTexts m_texts;
    bool m_helpRequested = false;
    bool m_versionRequested = false;
    QString m_errorText;
    QHash<int, QString> m_portDevices;
    QHash<QChar, QString> m_driveFolders;
    QString m_logFile;
    bool m_noLog = false;
    MqttSettings m_mqtt;
    QString m_mqttAuthFile;
    QString m_mqttCaFile;
    QStringList m_warnings;
    bool m_verifyRequested = false;
    QStringList m_auditFiles;
    std::optional<AuditVerifier::Head> m_auditHead;
    QString m_auditFolder;
    std::optional<QString> m_operator;
    QString m_programFile;
    std::optional<int> m_silaPort;
    QString m_silaCertificate;
    QString m_silaKey;
};
