#include "simoptions.h"

#include "numbertext.h"

#include <QCommandLineParser>

#include <cmath>
#include <limits>
#include <optional>

namespace {

struct Range
{
    const QCommandLineOption &option;
    double minimum;
    double maximum;
};

} // namespace

bool SimOptions::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated constant-flow pump on a pseudo-terminal. Prints the slave path to stdout; "
        "open it at 9600 8N1 and talk the pump's nine-character frames."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();

    const auto valueOption = [&](const QString &name, const QString &description,
                                 const QString &valueName, const QString &defaultValue) {
        const QString shown = defaultValue.isEmpty()
                                  ? description
                                  : description + QStringLiteral(" Default: %1.").arg(defaultValue);
        QCommandLineOption option(name, shown, valueName, defaultValue);
        parser.addOption(option);
        return option;
    };
    const auto flagOption = [&](const QString &name, const QString &description) {
        QCommandLineOption option(name, description);
        parser.addOption(option);
        return option;
    };

    const auto flow = valueOption(QStringLiteral("flow"), QStringLiteral("Flow setpoint at start."),
                                  QStringLiteral("ml/min"), QStringLiteral("500"));
    const auto limit =
        valueOption(QStringLiteral("limit"), QStringLiteral("Protection-pressure limit at start."),
                    QStringLiteral("MPa"), QStringLiteral("2.0"));
    const auto runningOpt =
        flagOption(QStringLiteral("running"), QStringLiteral("Start running instead of stopped."));
    const auto addressOpt = valueOption(
        QStringLiteral("address"),
        QStringLiteral("Pump address 0..99; frames for 00 and for this address are obeyed."),
        QStringLiteral("N"), QStringLiteral("0"));
    const auto backPressure = valueOption(
        QStringLiteral("back-pressure"), QStringLiteral("Steady pressure per unit of flow."),
        QStringLiteral("MPa per ml/min"), QStringLiteral("0.002"));
    const auto timeConstant = valueOption(QStringLiteral("time-constant-s"),
                                          QStringLiteral("Time constant of the pressure lag."),
                                          QStringLiteral("s"), QStringLiteral("3"));
    const auto noise = valueOption(QStringLiteral("noise-mpa"),
                                   QStringLiteral("Amplitude of the reading's uniform noise."),
                                   QStringLiteral("MPa"), QStringLiteral("0.01"));
    const auto seedOpt = valueOption(QStringLiteral("seed"),
                                     QStringLiteral("Seed for the reading noise and stray bytes."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const auto delay =
        valueOption(QStringLiteral("delay-ms"), QStringLiteral("Extra delay before each reply."),
                    QStringLiteral("ms"), QStringLiteral("0"));
    const auto drop =
        valueOption(QStringLiteral("drop-every"), QStringLiteral("Leave every Nth reply unsent."),
                    QStringLiteral("N"), QStringLiteral("0"));
    const auto noiseEveryOpt =
        valueOption(QStringLiteral("noise-every"),
                    QStringLiteral("Send 1..3 stray bytes before every Nth reply."),
                    QStringLiteral("N"), QStringLiteral("0"));
    const auto splitOpt =
        flagOption(QStringLiteral("split"),
                   QStringLiteral("Send each reply in two writes: 4 bytes, then the rest."));
    const auto splitGap = valueOption(QStringLiteral("split-gap-ms"),
                                      QStringLiteral("Pause between the two writes of --split."),
                                      QStringLiteral("ms"), QStringLiteral("30"));
    const auto coalesceOpt = flagOption(
        QStringLiteral("coalesce"),
        QStringLiteral(
            "Hold every odd-numbered reply and send it with the next one in one write."));
    const auto hangup = valueOption(QStringLiteral("hangup-after"),
                                    QStringLiteral("Hang up the line after N received frames."),
                                    QStringLiteral("N"), QStringLiteral("0"));
    const auto vanishAfterOpt = valueOption(
        QStringLiteral("vanish-after"),
        QStringLiteral("After N received frames close the line and remove the --link symlink, "
                       "as an unplugged USB adapter does; come back later on a new "
                       "pseudo-terminal."),
        QStringLiteral("N"), QStringLiteral("0"));
    const auto vanishForOpt =
        valueOption(QStringLiteral("vanish-for"),
                    QStringLiteral("How long the line stays away before it comes back, with "
                                   "the --link symlink moved to it."),
                    QStringLiteral("s"), QStringLiteral("2"));
    const auto vanishEveryOpt =
        valueOption(QStringLiteral("vanish-every"),
                    QStringLiteral("Vanish again after every N more received frames once back; 0 "
                                   "vanishes only once. Needs --vanish-after."),
                    QStringLiteral("N"), QStringLiteral("0"));
    const auto log =
        valueOption(QStringLiteral("log"), QStringLiteral("Append every received frame to FILE."),
                    QStringLiteral("FILE"), QString());
    const auto sentLog = valueOption(
        QStringLiteral("sent-log"),
        QStringLiteral("Append every write to the line (replies and stray bytes) to FILE."),
        QStringLiteral("FILE"), QString());
    const auto link = valueOption(QStringLiteral("link"),
                                  QStringLiteral("Also make PATH a symlink to the slave."),
                                  QStringLiteral("PATH"), QString());

    error->clear();
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    if (parser.isSet(versionOption))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        *error =
            QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return false;
    }

    const auto number = [&](const Range &range) -> std::optional<double> {
        const QString text = parser.value(range.option);
        const std::optional<double> value = NumberText::toDouble(text);
        if (!value || *value < range.minimum || *value > range.maximum) {
            if (error->isEmpty())
                *error = QStringLiteral("--%1: expected a number from %2 to %3, got \"%4\"")
                             .arg(range.option.names().first())
                             .arg(range.minimum)
                             .arg(range.maximum)
                             .arg(text);
            return std::nullopt;
        }
        return value;
    };
    // Counts and times must be whole numbers; "1.5" frames makes no sense.
    const auto count = [&](const QCommandLineOption &option, int maximum) -> std::optional<int> {
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        if (!ok || value < 0 || value > maximum) {
            if (error->isEmpty())
                *error = QStringLiteral("--%1: expected a whole number from 0 to %2, got \"%3\"")
                             .arg(option.names().first())
                             .arg(maximum)
                             .arg(parser.value(option));
            return std::nullopt;
        }
        return value;
    };

    constexpr int kMaxCount = std::numeric_limits<int>::max();
    constexpr int kMaxMs = 3'600'000;
    const auto flowValue = number({flow, 0.0, PumpModel::kMaxFlowMlPerMin});
    const auto limitValue = number({limit, 0.0, PumpModel::kMaxPressureMPa});
    const auto addressValue = count(addressOpt, 99);
    const auto backValue = number({backPressure, 0.0, 1.0});
    const auto tauValue = number({timeConstant, 0.0, 3600.0});
    const auto noiseValue = number({noise, 0.0, 10.0});
    bool seedOk = false;
    const uint seedValue = parser.value(seedOpt).toUInt(&seedOk);
    if (!seedOk && error->isEmpty())
        *error = QStringLiteral("--seed: expected a whole number, got \"%1\"")
                     .arg(parser.value(seedOpt));
    const auto delayValue = count(delay, kMaxMs);
    const auto dropValue = count(drop, kMaxCount);
    const auto noiseEveryValue = count(noiseEveryOpt, kMaxCount);
    const auto gapValue = count(splitGap, kMaxMs);
    const auto hangupValue = count(hangup, kMaxCount);
    const auto vanishAfterValue = count(vanishAfterOpt, kMaxCount);
    const auto vanishForValue = number({vanishForOpt, 0.0, kMaxMs / 1000.0});
    const auto vanishEveryValue = count(vanishEveryOpt, kMaxCount);
    if (!flowValue || !limitValue || !addressValue || !backValue || !tauValue || !noiseValue ||
        !seedOk || !delayValue || !dropValue || !noiseEveryValue || !gapValue || !hangupValue ||
        !vanishAfterValue || !vanishForValue || !vanishEveryValue)
        return false;
    if (*vanishEveryValue > 0 && *vanishAfterValue == 0) {
        *error = QStringLiteral("--vanish-every: needs --vanish-after");
        return false;
    }

    flowMlPerMin = *flowValue;
    limitMPa = *limitValue;
    running = parser.isSet(runningOpt);
    address = *addressValue;
    backPressureMPaPerMlMin = *backValue;
    timeConstantS = *tauValue;
    noiseMPa = *noiseValue;
    seed = seedValue;
    delayMs = *delayValue;
    dropEvery = *dropValue;
    noiseEvery = *noiseEveryValue;
    split = parser.isSet(splitOpt);
    splitGapMs = *gapValue;
    coalesce = parser.isSet(coalesceOpt);
    hangupAfter = *hangupValue;
    vanishAfter = *vanishAfterValue;
    vanishForMs = int(std::lround(*vanishForValue * 1000.0));
    vanishEvery = *vanishEveryValue;
    logPath = parser.value(log);
    sentLogPath = parser.value(sentLog);
    linkPath = parser.value(link);
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
