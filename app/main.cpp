#include "form1.h"
#include "panelcommandline.h"
#include "serialcontrol.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane-panel"));

    PanelCommandLine commandLine;
    if (!commandLine.parse(QApplication::arguments())) {
        std::fprintf(stderr, "corvane-panel: %s\n%s", qPrintable(commandLine.errorText()),
                     qPrintable(PanelCommandLine::helpText()));
        return 2;
    }
    if (commandLine.helpRequested()) {
        std::fputs(qPrintable(PanelCommandLine::helpText()), stdout);
        return 0;
    }

    Form1 form;
    form.serialControl()->setPortMap(commandLine.portDevices());
    form.setDriveFolders(commandLine.driveFolders());
    QObject::connect(&form, &Form1::endRequested, &app, [] { QCoreApplication::exit(0); });
    form.show();
    return app.exec();
}
