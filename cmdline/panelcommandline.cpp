#include "cmdline/panelcommandline.h"

#include <QFile>

#include <QCommandLineOption>

#include <algorithm>
#include <climits>
#include <array>

namespace {

// Where the descriptions of a --help table start, and the width they wrap to.
constexpr int kDescriptionColumn = 26;
constexpr int kLineWidth = 79;

// Columns a character takes on a terminal: two for the wide ones of Chinese text.
int columns(QChar c)
{
    const char16_t u = c.unicode();
    const bool wide = (u >= 0x2e80 && u <= 0xa4cf) || (u >= 0xac00 && u <= 0xd7a3) ||
                      (u >= 0xf900 && u <= 0xfaff) || (u >= 0xfe30 && u <= 0xfe4f) ||
                      (u >= 0xff00 && u <= 0xff60) || (u >= 0xffe0 && u <= 0xffe6);
    return wide ? 2 : 1;
}

int columns(const QString &text)
{
    int total = 0;
    for (const QChar c : text)
        total += columns(c);
    return total;
}

// Breaks text into lines of at most width columns (a longer word keeps a line of its own).
// English breaks at spaces; Chinese also between its characters, but never before a closing
// mark or after an opening one.
QStringList wrap(const QString &text, int width)
{
    static const QString noBreakBefore = QStringLiteral("，。、；：！？）》”’");
    static const QString noBreakAfter = QStringLiteral("（《“‘");
    QStringList lines;
    QString line;
    int lineColumns = 0;
    QString unit; // what may not be broken
    bool unitSpaced = false;
    bool pendingSpace = false;
    const auto place = [&] {
        if (unit.isEmpty())
            return;
        const int space = unitSpaced && !line.isEmpty() ? 1 : 0;
        const int unitColumns = columns(unit);
        if (!line.isEmpty() && lineColumns + space + unitColumns > width) {
            lines << line;
            line = unit;
            lineColumns = unitColumns;
        } else {
            line += QString(space, u' ') + unit;
            lineColumns += space + unitColumns;
        }
        unit.clear();
    };
    for (const QChar c : text) {
        if (c == u' ') {
            place();
            pendingSpace = true;
            continue;
        }
        if (!unit.isEmpty() && (columns(c) == 2 || columns(unit.back()) == 2) &&
            !noBreakBefore.contains(c) && !noBreakAfter.contains(unit.back()))
            place();
        if (unit.isEmpty()) {
            unitSpaced = pendingSpace;
            pendingSpace = false;
        }
        unit += c;
    }
    place();
    if (!line.isEmpty())
        lines << line;
    return lines;
}

// How Qt takes the value of one of its options from argv.
enum class QtValue { None, Next, NextOrJoined };

struct QtOption
{
    const char *name;
    QtValue value;
};

// What QCoreApplication, QGuiApplication, QApplication and the xcb platform read from argv,
// with one dash or two, and what Qt documents for other platforms (Qt ignores those here).
constexpr std::array kQtOptions{
    QtOption{"platform", QtValue::Next},
    QtOption{"platformpluginpath", QtValue::Next},
    QtOption{"platformtheme", QtValue::Next},
    QtOption{"plugin", QtValue::Next},
    QtOption{"qwindowgeometry", QtValue::Next},
    QtOption{"qwindowicon", QtValue::Next},
    QtOption{"qwindowtitle", QtValue::Next},
    QtOption{"session", QtValue::Next},
    QtOption{"display", QtValue::Next},
    QtOption{"geometry", QtValue::Next},
    QtOption{"title", QtValue::Next},
    QtOption{"icon", QtValue::Next},
    QtOption{"name", QtValue::Next},
    QtOption{"visual", QtValue::Next},
    QtOption{"style", QtValue::NextOrJoined},
    QtOption{"stylesheet", QtValue::NextOrJoined},
    QtOption{"qmljsdebugger", QtValue::NextOrJoined},
    QtOption{"fontengine", QtValue::NextOrJoined},
    QtOption{"dialogs", QtValue::NextOrJoined},
    QtOption{"reverse", QtValue::None},
    QtOption{"widgetcount", QtValue::None},
    QtOption{"nograb", QtValue::None},
    QtOption{"dograb", QtValue::None},
    QtOption{"sync", QtValue::None},
    QtOption{"testability", QtValue::None},
};

bool isOption(const QString &argument)
{
    return argument.size() > 1 && argument.startsWith(u'-') && argument != u"--";
}

// "port" for "--port=1=/dev/a", "platform" for "-platform".
QString optionName(const QString &argument)
{
    return argument.mid(argument.startsWith(u"--") ? 2 : 1).section(u'=', 0, 0);
}

// The Qt option that argument names, or null.
const QtOption *qtOption(const QString &argument)
{
    if (!isOption(argument))
        return nullptr;
    const QString name = optionName(argument);
    const auto found = std::find_if(kQtOptions.begin(), kQtOptions.end(), [&](const QtOption &o) {
        return name == QLatin1String(o.name);
    });
    return found == kQtOptions.end() ? nullptr : &*found;
}

// Splits "KEY=VALUE" with both sides non-empty.
bool splitAssignment(const QString &text, QString *key, QString *value)
{
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0 || equals == text.size() - 1)
        return false;
    *key = text.left(equals).trimmed();
    *value = text.mid(equals + 1);
    return !key->isEmpty();
}

} // namespace

QLocale CommandLineTexts::messageLocale()
{
    QString locale = qEnvironmentVariable("LC_ALL");
    if (locale.isEmpty())
        locale = qEnvironmentVariable("LC_MESSAGES");
    if (locale.isEmpty())
        locale = qEnvironmentVariable("LANG");
    // "C.UTF-8" is the C locale too.
    const QString name = locale.section(u'.', 0, 0).section(u'@', 0, 0);
    if (name.isEmpty() || name == u"C" || name == u"POSIX")
        return QLocale::c();
    QStringList preferred = qEnvironmentVariable("LANGUAGE").split(u':', Qt::SkipEmptyParts);
    if (preferred.isEmpty())
        preferred << locale;
    // The first language there is a text for; English is the source.
    for (const QString &language : std::as_const(preferred)) {
        const QLocale candidate(language);
        if (candidate.language() == QLocale::Chinese || candidate.language() == QLocale::English)
            return candidate;
    }
    return QLocale(QLocale::English);
}

CommandLineTexts::CommandLineTexts(const QLocale &locale)
{
    (void)load(&m_translator, locale);
}

bool CommandLineTexts::load(QTranslator *translator, const QLocale &locale)
{
    // One translation, in simplified characters, serves every Chinese locale; should it be
    // missing the texts stay English.
    return locale.language() == QLocale::Chinese &&
           translator->load(QStringLiteral(":/i18n/corvane_zh_CN.qm"));
}

QString CommandLineTexts::translate(const char *context, const char *source) const
{
    const QString translation = m_translator.translate(context, source);
    return translation.isEmpty() ? QString::fromUtf8(source) : translation;
}

QString CommandLineTexts::usageError(const QString &program, const QString &message) const
{
    return program + QStringLiteral(": ") + message + u'\n' +
           translate("CommandLine", "Try '%1 --help' for more information.").arg(program) + u'\n';
}

QString CommandLineTexts::unexpectedArgument(const QString &argument) const
{
    return translate("CommandLine", "unexpected argument '%1': the program takes options only")
        .arg(argument);
}

QString CommandLineTexts::whyParseFailed(const QList<QCommandLineOption> &options,
                                         const QStringList &arguments,
                                         QCommandLineParser::SingleDashWordOptionMode mode) const
{
    const auto find = [&](const QString &name) {
        return std::find_if(options.begin(), options.end(),
                            [&](const QCommandLineOption &o) { return o.names().contains(name); });
    };
    const auto unknown = [&](const QString &written) {
        return translate("CommandLine", "unknown option '%1'").arg(written);
    };
    const auto noValue = [&](const QString &written) {
        return translate("CommandLine", "option '%1' takes no value").arg(written);
    };
    const auto missingValue = [&](const QString &written) {
        return translate("CommandLine", "option '%1' needs a value").arg(written);
    };
    // The parser fails on an unknown option, a value given to a switch, or a value option
    // that ends the line; walk the arguments as it does to find which.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--")
            break;
        if (argument.size() < 2 || !argument.startsWith(u'-'))
            continue;
        if (argument.startsWith(u"--") || mode == QCommandLineParser::ParseAsLongOptions) {
            const QString written = argument.section(u'=', 0, 0);
            const auto known = find(written.mid(argument.startsWith(u"--") ? 2 : 1));
            const bool joined = argument.contains(u'=');
            if (known == options.end())
                return unknown(written);
            if (known->valueName().isEmpty() && joined)
                return noValue(written);
            if (!known->valueName().isEmpty() && !joined && ++i == arguments.size())
                return missingValue(written);
            continue;
        }
        // "-hv" is -h -v; a letter that takes a value takes the rest, or the next argument.
        for (qsizetype at = 1; at < argument.size(); ++at) {
            const QString written = QStringLiteral("-") + argument.at(at);
            const auto known = find(argument.mid(at, 1));
            if (known == options.end())
                return unknown(written);
            const bool last = at + 1 == argument.size();
            if (!known->valueName().isEmpty()) {
                if (last && ++i == arguments.size())
                    return missingValue(written);
                break;
            }
            if (!last && argument.at(at + 1) == u'=')
                return noValue(written);
        }
    }
    return missingValue(arguments.last());
}

QString CommandLineTexts::section(const QString &heading, const QList<HelpEntry> &entries)
{
    QString text = heading + u'\n';
    for (const auto &[name, description] : entries) {
        QString line = QStringLiteral("  ") + name;
        // Two spaces at least between an entry and its description, as help2man needs.
        if (line.size() + 2 > kDescriptionColumn) {
            text += line + u'\n';
            line.clear();
        }
        for (const QString &part : wrap(description, kLineWidth - kDescriptionColumn)) {
            text += line.leftJustified(kDescriptionColumn, u' ') + part + u'\n';
            line.clear();
        }
    }
    return text;
}

QString CommandLineTexts::paragraph(const QString &text)
{
    return wrap(text, kLineWidth).join(u'\n') + u'\n';
}

CommandLineTexts::HelpEntry CommandLineTexts::languageVariables() const
{
    return {QStringLiteral("LC_ALL, LC_MESSAGES, LANG, LANGUAGE"),
            translate("CommandLine",
                      "the language of these messages: Chinese when the first of LC_ALL, "
                      "LC_MESSAGES and LANG that is set names a Chinese locale (zh_*), English "
                      "otherwise, plain ASCII in the C locale; LANGUAGE, a list such as "
                      "zh_CN:en, comes before them except in the C locale")};
}

PanelCommandLine::PanelCommandLine(const QLocale &locale) : m_texts(locale) {}

QString PanelCommandLine::helpText() const
{
    const CommandLineTexts &t = m_texts;
    return t.translate("PanelCommandLine", "Usage: corvane-panel [OPTION]... [QT-OPTION]...") +
           u'\n' +
           t.translate("PanelCommandLine",
                       "  or:  corvane-panel --verify-audit FILE... [--head SEQ:HASH]") +
           u'\n' +
           CommandLineTexts::paragraph(t.translate(
               "PanelCommandLine",
               "Operator panel for a Corvane laboratory pump on a serial line: it sets the "
               "pump's flow and protection-pressure limit, runs and stops it, and shows and logs "
               "its pressure. The window is in Chinese.")) +
           u'\n' +
           CommandLineTexts::section(
               t.translate("CommandLine", "Options:"),
               {{QStringLiteral("--port N=DEVICE"),
                 t.translate("PanelCommandLine",
                             "serial port N is the device DEVICE (e.g. --port 1=/dev/ttyUSB0); "
                             "repeatable; without it port N is /dev/ttyS{N-1}")},
                {QStringLiteral("--drive L=DIR"),
                 t.translate("PanelCommandLine",
                             "drive L: of the record file is the folder DIR (e.g. --drive "
                             "d=/home/lab/records); repeatable; without it drive d: is "
                             "~/Documents/corvane-panel, made when first needed")},
                {QStringLiteral("--log FILE"),
                 t.translate("PanelCommandLine",
                             "append every reading and event, with its time, to FILE (one line "
                             "each: time<TAB>reading, or #<TAB>time<TAB>event<TAB>text); without "
                             "it they go to a file a day in "
                             "~/.local/share/corvane/corvane-panel/readings/")},
                {QStringLiteral("--no-log"),
                 t.translate("PanelCommandLine", "keep no reading log")},
                {QStringLiteral("--mqtt URL"),
                 t.translate("PanelCommandLine",
                             "publish readings, state, events and alarms to the MQTT broker at "
                             "URL (mqtt://HOST[:PORT], or mqtts://HOST[:PORT] for TLS; 1883 and "
                             "8883 by default) under corvane/ID/; nothing published can command "
                             "the pump")},
                {QStringLiteral("--mqtt-id ID"),
                 t.translate("PanelCommandLine",
                             "the panel's name in the topics; by default the host name, reduced "
                             "to letters, digits, '_' and '-', then the device of port 1 when "
                             "--port names it (lab3-ttyUSB0), else a number from the second "
                             "panel of the host on (lab3-2)")},
                {QStringLiteral("--mqtt-auth FILE"),
                 t.translate("PanelCommandLine",
                             "the broker's user name on the first line of FILE, the password on "
                             "the second (never on the command line, where ps shows it); "
                             "readable by you alone (chmod 600)")},
                {QStringLiteral("--mqtt-ca FILE"),
                 t.translate("PanelCommandLine",
                             "the certificate authority that signs the broker's certificate, for "
                             "mqtts:// (by default the system's)")},
                {QStringLiteral("--audit-dir DIR"),
                 t.translate("PanelCommandLine",
                             "keep the audit trail (who commanded what, when, and the value "
                             "before and after) in DIR/INSTANCE/, a file a day; by default "
                             "~/.local/share/corvane/corvane-panel/audit/")},
                {QStringLiteral("--operator NAME"),
                 t.translate("PanelCommandLine",
                             "the operator at the panel, named in every audit record from the "
                             "start")},
                {QStringLiteral("--sila PORT"),
                 t.translate("PanelCommandLine",
                             "let SiLA 2 clients command the pump over TLS on 127.0.0.1:PORT "
                             "(0: a free port, printed at start with the certificate's SHA-256 "
                             "fingerprint); a client must lock the server first")},
                {QStringLiteral("--sila-cert FILE"),
                 t.translate(
                     "PanelCommandLine",
                     "with --sila-key: the server's certificate, in PEM; by default one "
                     "made at the first start under ~/.local/share/corvane/corvane-panel/sila/")},
                {QStringLiteral("--sila-key FILE"),
                 t.translate("PanelCommandLine", "the private key of --sila-cert, in PEM")},
                {QStringLiteral("--program FILE"),
                 t.translate("PanelCommandLine", "load the pump program in FILE at start")},
                {QStringLiteral("--verify-audit FILE..."),
                 t.translate("PanelCommandLine",
                             "check the audit trail in the files given (one instance's, any "
                             "order) and exit without a window: 0 when its chain is whole, 1 "
                             "when it is broken, 2 when it cannot be read")},
                {QStringLiteral("--head SEQ:HASH"),
                 t.translate("PanelCommandLine",
                             "with --verify-audit: the head noted earlier (from an ok line, or as "
                             "published under corvane/ID/audit), which shows the newest records "
                             "removed")},
                {QStringLiteral("-h, --help"),
                 t.translate("PanelCommandLine", "show this help and exit")},
                {QStringLiteral("-v, --version"),
                 t.translate("PanelCommandLine",
                             "show the program's name and version and exit")}}) +
           u'\n' +
           CommandLineTexts::paragraph(
               t.translate("PanelCommandLine",
                           "Qt's own options (e.g. -platform offscreen, -display :1, -style "
                           "Fusion, -reverse) are passed on to Qt, with one dash or two.")) +
           u'\n' +
           CommandLineTexts::section(t.translate("CommandLine", "Environment:"),
                                     {t.languageVariables()});
}

QString PanelCommandLine::usageError(const QString &message) const
{
    return m_texts.usageError(QStringLiteral("corvane-panel"), message);
}

QString PanelCommandLine::versionText()
{
    return QStringLiteral("corvane-panel " CORVANE_VERSION "\n");
}

bool PanelCommandLine::fail(const QString &text)
{
    m_errorText = text;
    return false;
}

bool PanelCommandLine::parse(const QStringList &arguments)
{
    // Qt's options stay in argv for QApplication; the rest is the panel's.
    QStringList own = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QtOption *option = qtOption(arguments.at(i));
        if (!option) {
            own << arguments.at(i);
            continue;
        }
        // Qt does nothing with "-platform=xcb" or "-reverse=1": say so rather than let the
        // option silently go unused.
        if (const QString &argument = arguments.at(i); argument.contains(u'=')) {
            const QString written = argument.section(u'=', 0, 0);
            if (option->value == QtValue::None)
                return fail(
                    m_texts.translate("CommandLine", "option '%1' takes no value").arg(written));
            if (option->value == QtValue::Next)
                return fail(
                    m_texts
                        .translate("PanelCommandLine",
                                   "option '%1' takes its value after a space, not after '='")
                        .arg(written));
            continue;
        }
        // Like Qt, take the next argument as the value whatever it looks like.
        if (option->value != QtValue::None && ++i == arguments.size())
            return fail(m_texts.translate("CommandLine", "option '%1' needs a value")
                            .arg(arguments.last()));
    }

    QCommandLineParser parser;
    // "-platform" and "-port" are words, not the letters p, l, a, ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("N=DEVICE"));
    const QCommandLineOption drive(QStringLiteral("drive"), QString(), QStringLiteral("L=DIR"));
    const QCommandLineOption log(QStringLiteral("log"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption noLog(QStringLiteral("no-log"), QString());
    const QCommandLineOption mqtt(QStringLiteral("mqtt"), QString(), QStringLiteral("URL"));
    const QCommandLineOption mqttId(QStringLiteral("mqtt-id"), QString(), QStringLiteral("ID"));
    const QCommandLineOption mqttAuth(QStringLiteral("mqtt-auth"), QString(),
                                      QStringLiteral("FILE"));
    const QCommandLineOption mqttCa(QStringLiteral("mqtt-ca"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption auditDir(QStringLiteral("audit-dir"), QString(),
                                      QStringLiteral("DIR"));
    const QCommandLineOption operatorName(QStringLiteral("operator"), QString(),
                                          QStringLiteral("NAME"));
    const QCommandLineOption program(QStringLiteral("program"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption sila(QStringLiteral("sila"), QString(), QStringLiteral("PORT"));
    const QCommandLineOption silaCert(QStringLiteral("sila-cert"), QString(),
                                      QStringLiteral("FILE"));
    const QCommandLineOption silaKey(QStringLiteral("sila-key"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption verifyAudit(QStringLiteral("verify-audit"), QString());
    const QCommandLineOption head(QStringLiteral("head"), QString(), QStringLiteral("SEQ:HASH"));
    const QList<QCommandLineOption> options{
        help,   version,  port,         drive,   log,         noLog, mqtt, mqttId,   mqttAuth,
        mqttCa, auditDir, operatorName, program, verifyAudit, head,  sila, silaCert, silaKey};
    parser.addOptions(options);
    m_verifyRequested = own.contains(QStringLiteral("--verify-audit")) ||
                        own.contains(QStringLiteral("-verify-audit"));

    if (!parser.parse(own))
        return fail(m_texts.whyParseFailed(options, own, QCommandLineParser::ParseAsLongOptions));
    if (parser.isSet(verifyAudit)) {
        // A check of files, nothing of the panel's: an option of the window here is a mistake.
        for (const QCommandLineOption &windowOption :
             {port, drive, log, noLog, mqtt, mqttId, mqttAuth, mqttCa, auditDir, operatorName,
              program, sila, silaCert, silaKey}) {
            if (parser.isSet(windowOption))
                return fail(m_texts
                                .translate("PanelCommandLine",
                                           "--verify-audit cannot be used with --%1")
                                .arg(windowOption.names().constFirst()));
        }
        m_auditFiles = parser.positionalArguments();
        if (m_auditFiles.isEmpty())
            return fail(
                m_texts.translate("PanelCommandLine", "--verify-audit needs at least one file"));
        if (parser.isSet(head)) {
            m_auditHead = AuditVerifier::parseHead(parser.value(head));
            if (!m_auditHead)
                return fail(m_texts
                                .translate("PanelCommandLine",
                                           "'%1' of --head is not SEQ:HASH, a record's number "
                                           "and its 64 hex digits")
                                .arg(parser.value(head)));
        }
        m_helpRequested = parser.isSet(help);
        m_versionRequested = parser.isSet(version);
        return true;
    }
    if (const QStringList extra = parser.positionalArguments(); !extra.isEmpty())
        return fail(m_texts.unexpectedArgument(extra.first()));
    if (parser.isSet(head))
        return fail(m_texts.translate("PanelCommandLine", "--head needs --verify-audit"));
    if (parser.isSet(auditDir) && !takePath(QStringLiteral("--audit-dir"), parser.value(auditDir),
                                            &m_auditFolder))
        return false;
    if (parser.isSet(program) &&
        !takePath(QStringLiteral("--program"), parser.value(program), &m_programFile))
        return false;
    if (parser.isSet(operatorName)) {
        // As the records carry it: a name of blanks would name nobody.
        const QString name = parser.value(operatorName).simplified();
        if (name.isEmpty())
            return fail(m_texts.translate("PanelCommandLine", "--operator needs a name"));
        m_operator = name;
    }

    if (parser.isSet(sila)) {
        bool number = false;
        const int silaPort = parser.value(sila).toInt(&number);
        if (!number || silaPort < 0 || silaPort > 65535)
            return fail(m_texts
                            .translate("PanelCommandLine",
                                       "'%1' of --sila is not a port number (0 to 65535)")
                            .arg(parser.value(sila)));
        m_silaPort = silaPort;
    }
    if (parser.isSet(silaCert) != parser.isSet(silaKey) || (parser.isSet(silaCert) && !m_silaPort))
        return fail(m_texts.translate("PanelCommandLine",
                                      "--sila-cert and --sila-key go together, with --sila"));
    if (parser.isSet(silaCert) &&
        (!takePath(QStringLiteral("--sila-cert"), parser.value(silaCert), &m_silaCertificate) ||
         !takePath(QStringLiteral("--sila-key"), parser.value(silaKey), &m_silaKey)))
        return false;

    m_helpRequested = parser.isSet(help);
    m_versionRequested = parser.isSet(version);
    for (const QString &value : parser.values(port)) {
        if (!takePortDevice(value))
            return false;
    }
    for (const QString &value : parser.values(drive)) {
        if (!takeDriveFolder(value))
            return false;
    }
    if (parser.isSet(log)) {
        m_logFile = parser.value(log);
        if (m_logFile.isEmpty())
            return fail(m_texts.translate("PanelCommandLine", "--log needs a file name"));
        if (!fitsPathLimit(m_logFile))
            return false;
    }
    m_noLog = parser.isSet(noLog);
    if (m_noLog && parser.isSet(log))
        return fail(
            m_texts.translate("PanelCommandLine", "--log and --no-log cannot be used together"));
    return m_helpRequested || m_versionRequested ||
           takeMqtt(parser.value(mqtt),
                    parser.isSet(mqttId) ? std::optional(parser.value(mqttId)) : std::nullopt,
                    parser.value(mqttAuth), parser.value(mqttCa),
                    parser.isSet(mqttId) || parser.isSet(mqttAuth) || parser.isSet(mqttCa));
}

bool PanelCommandLine::takeMqtt(const QString &url, const std::optional<QString> &id,
                                const QString &authFile, const QString &caFile, bool anyOther)
{
    if (url.isEmpty()) {
        if (anyOther)
            return fail(m_texts.translate("PanelCommandLine",
                                          "--mqtt-id, --mqtt-auth and --mqtt-ca need --mqtt"));
        return true;
    }
    if (!MqttSettings::parseUrl(url, &m_mqtt))
        return fail(m_texts
                        .translate("PanelCommandLine",
                                   "'%1' is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]")
                        .arg(url));
    if (id) {
        m_mqtt.id = MqttSettings::idFrom(*id);
        if (m_mqtt.id != *id)
            return fail(m_texts.translate("PanelCommandLine",
                                          "--mqtt-id may hold only letters, digits, '_' and '-'"));
    }
    if (!caFile.isEmpty() && !m_mqtt.tls)
        return fail(m_texts.translate("PanelCommandLine", "--mqtt-ca needs an mqtts:// URL"));
    m_mqttAuthFile = authFile;
    m_mqttCaFile = caFile;
    return true;
}

bool PanelCommandLine::readMqttFiles()
{
    if (!m_mqttAuthFile.isEmpty()) {
        const CredentialFile auth = CredentialFile::read(m_mqttAuthFile);
        if (auth.outcome != CredentialFile::Outcome::Read)
            return failReading(m_mqttAuthFile, auth);
        if (!MqttSettings::takeAuth(auth.content, &m_mqtt))
            return fail(
                m_texts.translate("PanelCommandLine", "%1 holds no user name on its first line")
                    .arg(m_mqttAuthFile));
        m_mqtt.authFile = m_mqttAuthFile;
        m_mqtt.authReadableByOthers = auth.readableByOthers;
        if (auth.readableByOthers)
            m_warnings << m_texts
                              .translate("PanelCommandLine",
                                         "warning: other users may read the password in %1; "
                                         "make it yours alone: chmod 600 %1")
                              .arg(m_mqttAuthFile);
    }
    if (!m_mqttCaFile.isEmpty()) {
        const CredentialFile ca = CredentialFile::read(m_mqttCaFile);
        if (ca.outcome != CredentialFile::Outcome::Read)
            return failReading(m_mqttCaFile, ca);
        if (!ca.content.contains("-----BEGIN CERTIFICATE-----"))
            return fail(m_texts.translate("PanelCommandLine", "%1 holds no PEM certificate")
                            .arg(m_mqttCaFile));
        m_mqtt.caCertificates = ca.content;
    }
    return true;
}

bool PanelCommandLine::failReading(const QString &path, const CredentialFile &file)
{
    using Kind = CredentialFile::Kind;
    switch (file.outcome) {
    case CredentialFile::Outcome::NotRegular: {
        const QString kind =
            file.kind == Kind::Folder   ? m_texts.translate("PanelCommandLine", "a folder")
            : file.kind == Kind::Fifo   ? m_texts.translate("PanelCommandLine", "a named pipe")
            : file.kind == Kind::Socket ? m_texts.translate("PanelCommandLine", "a socket")
                                        : m_texts.translate("PanelCommandLine", "a device");
        return fail(m_texts.translate("PanelCommandLine", "%1 is not a regular file but %2")
                        .arg(path, kind));
    }
    case CredentialFile::Outcome::TooLarge:
        return fail(m_texts.translate("PanelCommandLine", "%1 is larger than %2 bytes")
                        .arg(path)
                        .arg(CredentialFile::kLargestBytes));
    default:
        return fail(m_texts.translate("PanelCommandLine", "cannot read %1: %2")
                        .arg(path, qt_error_string(file.error)));
    }
}

bool PanelCommandLine::takePortDevice(const QString &value)
{
    QString key;
    QString device;
    if (!splitAssignment(value, &key, &device))
        return fail(m_texts
                        .translate("PanelCommandLine",
                                   "argument '%1' of --port is not N=DEVICE, e.g. 1=/dev/ttyUSB0")
                        .arg(value));
    bool ok = false;
    const int number = key.toInt(&ok);
    if (!ok || number < 1 || number > 32767)
        return fail(m_texts
                        .translate("PanelCommandLine", "invalid port number '%1' of --port: it "
                                                       "must be a whole number from 1 to 32767")
                        .arg(key));
    // The second would silently win over the first.
    if (m_portDevices.contains(number))
        return fail(m_texts.translate("PanelCommandLine", "port %1 is given twice in --port")
                        .arg(number));
    if (!fitsPathLimit(device))
        return false;
    m_portDevices.insert(number, device);
    return true;
}

bool PanelCommandLine::takePath(const QString &option, const QString &value, QString *path)
{
    if (value.isEmpty())
        return fail(m_texts.translate("CommandLine", "option '%1' needs a value").arg(option));
    if (!fitsPathLimit(value))
        return false;
    *path = value;
    return true;
}

bool PanelCommandLine::fitsPathLimit(const QString &path)
{
    if (QFile::encodeName(path).size() < PATH_MAX)
        return true;
    // Named by its start only: the whole of it would fill the terminal.
    return fail(m_texts
                    .translate("PanelCommandLine",
                               "the path '%1…' is longer than the system allows (%2 bytes)")
                    .arg(path.left(40))
                    .arg(PATH_MAX));
}

bool PanelCommandLine::takeDriveFolder(const QString &value)
{
    QString key;
    QString folder;
    if (!splitAssignment(value, &key, &folder))
        return fail(m_texts
                        .translate("PanelCommandLine", "argument '%1' of --drive is not "
                                                       "LETTER=FOLDER, e.g. d=/home/lab/records")
                        .arg(value));
    if (key.endsWith(u':'))
        key.chop(1);
    if (key.size() != 1 || !key.at(0).isLetter() || key.at(0).unicode() > 0x7f)
        return fail(m_texts
                        .translate("PanelCommandLine",
                                   "invalid drive letter '%1' of --drive: it must be one letter")
                        .arg(key));
    if (!fitsPathLimit(folder))
        return false;
    m_driveFolders.insert(key.at(0).toLower(), folder);
    return true;
}
