// The reference for the panel's start-up: a plain Qt main window of the panel's client size with
// a menu bar, one menu and one Chinese label in the panel's font, in a fresh process linked with
// Qt Widgets alone. Prints its FirstPaintProbe line and exits once the window has been painted.

#include "bench/firstpaintprobe.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>

#include <cstdio>

namespace {

// The panel's client area, 10905 x 7530 twips.
constexpr QSize kClientSize(727, 502);

} // namespace

int main(int argc, char **argv)
{
    const qint64 mainEntry = FirstPaintProbe::monotonicNs();
    QApplication app(argc, argv);
    FirstPaintProbe probe(mainEntry);

    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("文件(F)"));
    auto *client = new QWidget(&window);
    auto *label = new QLabel(QStringLiteral("压力"), client);
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(12);
    font.setBold(true);
    label->setFont(font);
    label->move(20, 20);
    window.setCentralWidget(client);
    window.resize(kClientSize.width(),
                  kClientSize.height() + window.menuBar()->sizeHint().height());
    probe.mark("built");
    window.show();
    probe.mark("shown");
    probe.watchFirstPaint(&window, [&] {
        std::printf("%s\n", probe.report().constData());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return app.exec();
}
