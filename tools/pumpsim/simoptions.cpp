#include "tools/pumpsim/simoptions.h"

#include "link/numbertext.h"

#include <QCommandLineParser>

#include <cmath>
#include <limits>
#include <optional>

namespace {

// An option of --help: its value's name (none for a switch), what it does, and the value it has
// when not given.
struct SimOption
{
    const char *name;
    const char *valueName;
    const char *description;
    const char *defaultValue;
};

const SimOption kOptions[] = {
    {"flow", "ml/min", QT_TRANSLATE_NOOP("SimOptions", "Flow setpoint at start."), "500"},
    {"limit", "MPa", QT_TRANSLATE_NOOP("SimOptions", "Protection-pressure limit at start."), "2.0"},
    {"running", nullptr, QT_TRANSLATE_NOOP("SimOptions", "Start running instead of stopped."),
     nullptr},
    {"address", "N",
     QT_TRANSLATE_NOOP("SimOptions",
                       "Pump address 0..99; frames for 00 and for this address are obeyed."),
     "0"},
    {"back-pressure", "MPa per ml/min",
     QT_TRANSLATE_NOOP("SimOptions", "Steady pressure per unit of flow."), "0.002"},
    {"time-constant-s", "s", QT_TRANSLATE_NOOP("SimOptions", "Time constant of the pressure lag."),
     "3"},
    {"noise-mpa", "MPa",
     QT_TRANSLATE_NOOP("SimOptions", "Amplitude of the reading's uniform noise."), "0.01"},
    {"seed", "N", QT_TRANSLATE_NOOP("SimOptions", "Seed for the reading noise and stray bytes."),
     "1"},
    {"blocked-at", "s[:MPa]",
     QT_TRANSLATE_NOOP("SimOptions",
                       "Block the outlet s seconds after start: while running, the pressure climbs "
                       "0.2 MPa a second up to MPa, by default 0.5 MPa above the protection limit, "
                       "which then stops the pump."),
     nullptr},
    {"leak-at", "s",
     QT_TRANSLATE_NOOP("SimOptions", "Spring a leak s seconds after start: while running, the "
                                     "pressure falls away towards 0 with the time constant."),
     nullptr},
    {"stall-at", "s",
     QT_TRANSLATE_NOOP("SimOptions", "Stop by itself s seconds after start, or the first time it "
                                     "runs after that, as if it had received a stop; once."),
     nullptr},
    {"silent-at", "s[:s]",
     QT_TRANSLATE_NOOP("SimOptions",
                       "Stop answering s seconds after start, for the seconds after the colon or "
                       "for ever. The line stays open and frames are still obeyed."),
     nullptr},
    {"delay-ms", "ms", QT_TRANSLATE_NOOP("SimOptions", "Extra delay before each reply."), "0"},
    {"drop-every", "N", QT_TRANSLATE_NOOP("SimOptions", "Leave every Nth reply unsent."), "0"},
    {"noise-every", "N",
     QT_TRANSLATE_NOOP("SimOptions", "Send 1..3 stray bytes before every Nth reply."), "0"},
    {"split", nullptr,
     QT_TRANSLATE_NOOP("SimOptions", "Send each reply in two writes: 4 bytes, then the rest."),
     nullptr},
    {"split-gap-ms", "ms",
     QT_TRANSLATE_NOOP("SimOptions", "Pause between the two writes of --split."), "30"},
    {"coalesce", nullptr,
     QT_TRANSLATE_NOOP("SimOptions",
                       "Hold every odd-numbered reply and send it with the next one in one write."),
     nullptr},
    {"hangup-after", "N",
     QT_TRANSLATE_NOOP("SimOptions", "Hang up the line after N received frames."), "0"},
    {"vanish-after", "N",
     QT_TRANSLATE_NOOP("SimOptions",
                       "After N received frames close the line and remove the --link symlink, as "
                       "an unplugged USB adapter does; come back later on a new pseudo-terminal."),
     "0"},
    {"vanish-for", "s",
     QT_TRANSLATE_NOOP("SimOptions", "How long the line stays away before it comes back, with the "
                                     "--link symlink moved to it."),
     "2"},
    {"vanish-every", "N",
     QT_TRANSLATE_NOOP("SimOptions", "Vanish again after every N more received frames once back; "
                                     "0 vanishes only once. Needs --vanish-after."),
     "0"},
    {"log", "FILE", QT_TRANSLATE_NOOP("SimOptions", "Append every received frame to FILE."),
     nullptr},
    {"sent-log", "FILE",
     QT_TRANSLATE_NOOP("SimOptions",
                       "Append every write to the line (replies and stray bytes) to FILE."),
     nullptr},
    {"timeline", "FILE",
     QT_TRANSLATE_NOOP("SimOptions",
                       "Append every setting, run and stop obeyed to FILE, with the time, the "
                       "flow, limit and run state after it, and the volume delivered so far (ml)."),
     nullptr},
    {"link", "PATH", QT_TRANSLATE_NOOP("SimOptions", "Also make PATH a symlink to the slave."),
     nullptr},
};

struct Range
{
    QString name;
    double minimum;
    double maximum;
};

} // namespace

QString SimOptions::helpText(const CommandLineTexts &texts)
{
    QList<CommandLineTexts::HelpEntry> entries{
        {QStringLiteral("-h, --help"), texts.translate("SimOptions", "Show this help and exit.")},
        {QStringLiteral("-v, --version"),
         texts.translate("SimOptions", "Show the program's name and version and exit.")}};
    for (const SimOption &entry : kOptions) {
        QString option = QStringLiteral("--") + QLatin1String(entry.name);
        if (entry.valueName)
            option += QStringLiteral(" <%1>").arg(QLatin1String(entry.valueName));
        const QString description = texts.translate("SimOptions", entry.description);
        entries.append({option, entry.defaultValue
                                    ? texts.translate("SimOptions", "%1 Default: %2.")
                                          .arg(description, QLatin1String(entry.defaultValue))
                                    : description});
    }
    return texts.translate("SimOptions", "Usage: corvane-pumpsim [OPTION]...") + u'\n' +
           CommandLineTexts::paragraph(texts.translate(
               "SimOptions",
               "Simulated constant-flow pump on a pseudo-terminal, to run the panel and its tests "
               "without the pump. It prints the slave path to stdout; open it at 9600 8N1 and talk "
               "the pump's nine-character frames.")) +
           u'\n' + CommandLineTexts::section(texts.translate("CommandLine", "Options:"), entries) +
           u'\n' +
           CommandLineTexts::section(texts.translate("CommandLine", "Environment:"),
                                     {texts.languageVariables()});
}

bool SimOptions::parse(const QStringList &arguments, const CommandLineTexts &texts, QString *error)
{
    QCommandLineParser parser;
    // --help-all is what QCommandLineParser offers for Qt's own options; here it is --help.
    QList<QCommandLineOption> options{
        QCommandLineOption(
            QStringList{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("help-all")}),
        QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")})};
    for (const SimOption &entry : kOptions) {
        options.append(entry.valueName ? QCommandLineOption(QLatin1String(entry.name), QString(),
                                                            QLatin1String(entry.valueName),
                                                            QLatin1String(entry.defaultValue))
                                       : QCommandLineOption(QLatin1String(entry.name)));
    }
    parser.addOptions(options);

    error->clear();
    if (!parser.parse(arguments)) {
        *error = texts.whyParseFailed(options, arguments,
                                      QCommandLineParser::ParseAsCompactedShortOptions);
        return false;
    }
    helpRequested = parser.isSet(QStringLiteral("help"));
    versionRequested = parser.isSet(QStringLiteral("version"));
    if (helpRequested || versionRequested)
        return true;
    if (!parser.positionalArguments().isEmpty()) {
        *error = texts.unexpectedArgument(parser.positionalArguments().first());
        return false;
    }

    constexpr double kMaxFaultS = 24 * 60 * 60;
    const auto numberIn = [&](const Range &range, const QString &text) -> std::optional<double> {
        const std::optional<double> value = NumberText::toDouble(text);
        if (!value || *value < range.minimum || *value > range.maximum) {
            if (error->isEmpty())
                *error = texts
                             .translate("SimOptions", "--%1: expected a number from %2 to %3, "
                                                      "got '%4'")
                             .arg(range.name)
                             .arg(range.minimum)
                             .arg(range.maximum)
                             .arg(text);
            return std::nullopt;
        }
        return value;
    };
    const auto number = [&](const Range &range) {
        return numberIn(range, parser.value(range.name));
    };
    // A fault's time in seconds, followed by ":" and a value for the faults that take one.
    struct Moment
    {
        std::optional<double> at;
        std::optional<double> value;
    };
    const auto moment = [&](const QString &name,
                            std::optional<Range> valueRange) -> std::optional<Moment> {
        if (!parser.isSet(name))
            return Moment{};
        const QString text = parser.value(name);
        const Range time{name, 0.0, kMaxFaultS};
        if (!valueRange) {
            const std::optional<double> at = numberIn(time, text);
            return at ? std::optional<Moment>(Moment{at, std::nullopt}) : std::nullopt;
        }
        const QStringList parts = text.split(u':');
        if (parts.size() > 2) {
            if (error->isEmpty())
                *error = texts.translate("SimOptions", "--%1: expected s or s:%2, got '%3'")
                             .arg(name, valueRange->name, text);
            return std::nullopt;
        }
        Moment result{numberIn(time, parts.first()), std::nullopt};
        if (parts.size() == 2)
            result.value = numberIn({name, valueRange->minimum, valueRange->maximum}, parts.at(1));
        if (!result.at || (parts.size() == 2 && !result.value))
            return std::nullopt;
        return result;
    };
    // Counts and times must be whole numbers; "1.5" frames makes no sense.
    const auto count = [&](const QString &name, int maximum) -> std::optional<int> {
        bool ok = false;
        const int value = parser.value(name).toInt(&ok);
        if (!ok || value < 0 || value > maximum) {
            if (error->isEmpty())
                *error = texts
                             .translate("SimOptions", "--%1: expected a whole number from 0 to "
                                                      "%2, got '%3'")
                             .arg(name)
                             .arg(maximum)
                             .arg(parser.value(name));
            return std::nullopt;
        }
        return value;
    };

    constexpr int kMaxCount = std::numeric_limits<int>::max();
    constexpr int kMaxMs = 3'600'000;
    const auto flowValue = number({QStringLiteral("flow"), 0.0, PumpModel::kMaxFlowMlPerMin});
    const auto limitValue = number({QStringLiteral("limit"), 0.0, PumpModel::kMaxPressureMPa});
    const auto addressValue = count(QStringLiteral("address"), 99);
    const auto backValue = number({QStringLiteral("back-pressure"), 0.0, 1.0});
    const auto tauValue = number({QStringLiteral("time-constant-s"), 0.0, 3600.0});
    const auto noiseValue = number({QStringLiteral("noise-mpa"), 0.0, 10.0});
    bool seedOk = false;
    const uint seedValue = parser.value(QStringLiteral("seed")).toUInt(&seedOk);
    if (!seedOk && error->isEmpty())
        *error = texts.translate("SimOptions", "--seed: expected a whole number, got '%1'")
                     .arg(parser.value(QStringLiteral("seed")));
    const auto delayValue = count(QStringLiteral("delay-ms"), kMaxMs);
    const auto dropValue = count(QStringLiteral("drop-every"), kMaxCount);
    const auto noiseEveryValue = count(QStringLiteral("noise-every"), kMaxCount);
    const auto gapValue = count(QStringLiteral("split-gap-ms"), kMaxMs);
    const auto hangupValue = count(QStringLiteral("hangup-after"), kMaxCount);
    const auto vanishAfterValue = count(QStringLiteral("vanish-after"), kMaxCount);
    const auto vanishForValue = number({QStringLiteral("vanish-for"), 0.0, kMaxMs / 1000.0});
    const auto vanishEveryValue = count(QStringLiteral("vanish-every"), kMaxCount);
    const auto blocked = moment(QStringLiteral("blocked-at"),
                                Range{QStringLiteral("MPa"), 0.0, PumpModel::kMaxPressureMPa});
    const auto leak = moment(QStringLiteral("leak-at"), std::nullopt);
    const auto stall = moment(QStringLiteral("stall-at"), std::nullopt);
    // A silence of no time would be no fault at all, and easily taken for "for ever".
    const auto silent =
        moment(QStringLiteral("silent-at"), Range{QStringLiteral("s"), 0.1, kMaxFaultS});
    if (!flowValue || !limitValue || !addressValue || !backValue || !tauValue || !noiseValue ||
        !seedOk || !delayValue || !dropValue || !noiseEveryValue || !gapValue || !hangupValue ||
        !vanishAfterValue || !vanishForValue || !vanishEveryValue || !blocked || !leak || !stall ||
        !silent)
        return false;
    if (*vanishEveryValue > 0 && *vanishAfterValue == 0) {
        *error = texts.translate("SimOptions", "--vanish-every needs --vanish-after");
        return false;
    }

    flowMlPerMin = *flowValue;
    limitMPa = *limitValue;
    running = parser.isSet(QStringLiteral("running"));
    address = *addressValue;
    backPressureMPaPerMlMin = *backValue;
    timeConstantS = *tauValue;
    noiseMPa = *noiseValue;
    seed = seedValue;
    delayMs = *delayValue;
    dropEvery = *dropValue;
    noiseEvery = *noiseEveryValue;
    split = parser.isSet(QStringLiteral("split"));
    splitGapMs = *gapValue;
    coalesce = parser.isSet(QStringLiteral("coalesce"));
    hangupAfter = *hangupValue;
    vanishAfter = *vanishAfterValue;
    vanishForMs = int(std::lround(*vanishForValue * 1000.0));
    vanishEvery = *vanishEveryValue;
    faults = {blocked->at, blocked->value, leak->at, stall->at, silent->at, silent->value};
    logPath = parser.value(QStringLiteral("log"));
    sentLogPath = parser.value(QStringLiteral("sent-log"));
    timelinePath = parser.value(QStringLiteral("timeline"));
    linkPath = parser.value(QStringLiteral("link"));
    return true;
}

PumpModel::Parameters SimOptions::modelParameters() const
{
    PumpModel::Parameters parameters;
    parameters.backPressureMPaPerMlMin = backPressureMPaPerMlMin;
    parameters.timeConstantS = timeConstantS;
    parameters.noiseMPa = noiseMPa;
    parameters.seed = seed;
    return parameters;
}
