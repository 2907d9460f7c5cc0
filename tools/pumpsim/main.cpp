// corvane-pumpsim: a simulated pump on a pseudo-terminal, for running the panel without the
// hardware and for the tests. stdout carries only the lines that scripts parse (the slave path,
// the symlink, the hang-up, a vanished line and its return); everything else goes to stderr or the
// --log file.

#include "tools/pumpsim/pumpsimulator.h"
#include "tools/pumpsim/signalwatcher.h"
#include "tools/pumpsim/simoptions.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int kExitUsage = 2;

void announce(const QString &text)
{
    std::printf("corvane-pumpsim: %s\n", qPrintable(text));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    // Before QCoreApplication, so that no thread can catch SIGINT/SIGTERM in the default way.
    const bool blocked = SignalWatcher::blockTerminationSignals();
    // Messages in the language the environment asks for; the lines on stdout that scripts read
    // stay as they are.
    const CommandLineTexts texts;
    if (!blocked) {
        std::fprintf(stderr, "corvane-pumpsim: %s\n",
                     qPrintable(texts.translate("PumpSim", "cannot block SIGINT/SIGTERM")));
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-pumpsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    SimOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), texts, &error)) {
        std::fputs(qPrintable(texts.usageError(QStringLiteral("corvane-pumpsim"), error)), stderr);
        return kExitUsage;
    }
    if (options.helpRequested) {
        std::fputs(qPrintable(SimOptions::helpText(texts)), stdout);
        return 0;
    }
    if (options.versionRequested) {
        std::fputs("corvane-pumpsim " PROJECT_VERSION "\n", stdout);
        return 0;
    }

    auto *watcher = new SignalWatcher(&app);
    QObject::connect(watcher, &SignalWatcher::terminationRequested, &app,
                     [](int) { QCoreApplication::exit(0); });

    auto *simulator = new PumpSimulator(options, &app);
    QObject::connect(simulator, &PumpSimulator::hungUp, &app, [] {
        announce(QStringLiteral("hung up"));
        QCoreApplication::exit(0);
    });
    QObject::connect(simulator, &PumpSimulator::vanished, &app,
                     [] { announce(QStringLiteral("vanished")); });
    QObject::connect(simulator, &PumpSimulator::cameBack, &app, [](const QString &slavePath) {
        announce(QStringLiteral("back on ") + slavePath);
    });
    if (!simulator->start(&error)) {
        std::fprintf(stderr, "corvane-pumpsim: %s\n", qPrintable(error));
        return 1;
    }

    announce(QStringLiteral("listening on ") + simulator->slavePath());
    if (!options.linkPath.isEmpty())
        announce(QStringLiteral("linked ") + options.linkPath);
    return app.exec();
}
