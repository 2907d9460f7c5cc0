#include "tools/paneldriver/paneldriver.h"

#include <QGuiApplication>

#include <cstdio>

// corvane-paneldriver screenshot FILE     saves the panel's window as an image
// corvane-paneldriver open-port N         chooses 通信 and answers N
int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 3 || (args[1] != u"screenshot" && args[1] != u"open-port")) {
        std::fputs("usage: corvane-paneldriver screenshot FILE | open-port N\n", stderr);
        return 2;
    }
    PanelDriver driver;
    bool ok = driver.findWindow(20000);
    if (ok && args[1] == u"screenshot")
        ok = driver.grabWindow().save(args[2]);
    else if (ok)
        ok = driver.openPort(args[2], 10000);
    if (!ok) {
        std::fprintf(stderr, "corvane-paneldriver: %s\n", qPrintable(driver.lastError()));
        return 1;
    }
    return 0;
}
