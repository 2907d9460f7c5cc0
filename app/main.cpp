#include "form1.h"
#include "panelcommandline.h"
#include "paneltranslations.h"
#include "serialcontrol.h"
#include "terminationsignals.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The command line is read before the window system is touched, so --help, --version and
    // a wrong option answer on a machine without a display too.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    PanelCommandLine commandLine;
    if (!commandLine.parse(arguments)) {
        std::fprintf(stderr, "corvane-panel: %s\n%s", qPrintable(commandLine.errorText()),
                     qPrintable(PanelCommandLine::helpText()));
        return 2;
    }
    if (commandLine.helpRequested()) {
        std::fputs(qPrintable(PanelCommandLine::helpText()), stdout);
        return 0;
    }
    if (commandLine.versionRequested()) {
        std::fputs(qPrintable(PanelCommandLine::versionText()), stdout);
        return 0;
    }

    // Qt takes its own options (-platform, -style, ...) from the untouched argv.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane-panel"));
    auto *terminationSignals = new TerminationSignals(&app);
    const PanelTranslations translations;

    Form1 form;
    form.serialControl()->setPortMap(commandLine.portDevices());
    form.setDriveFolders(commandLine.driveFolders());
    if (const QString log = commandLine.logFile(); !log.isEmpty()) {
        QString error;
        if (!form.openReadingLog(log, &error)) {
            std::fprintf(stderr, "corvane-panel: %s\n", qPrintable(error));
            return 2;
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
    return app.exec();
}
