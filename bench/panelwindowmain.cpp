// One start of the panel's window in a fresh process, set up as corvane-panel's main() sets it
// up, printing its FirstPaintProbe line and exiting once the window has been painted.
// With --idle DEVICE SECONDS it then opens port 1 on DEVICE through 通信, waits for the first
// reading, and prints the process CPU time spent over SECONDS of ordinary polling.

#include "app/form1.h"
#include "app/paneltranslations.h"
#include "bench/firstpaintprobe.h"
#include "platform/serialcontrol.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr auto kFirstReadingLimit = std::chrono::seconds(5);
constexpr auto kFirstReadingCheck = std::chrono::milliseconds(20);

void fail(const QString &why)
{
    std::printf("error=%s\n", qPrintable(QString(why).replace(u'\n', u' ')));
    std::fflush(stdout);
    QCoreApplication::exit(1);
}

// Opens the port, then measures from the first reading on, so the poll timer's first wait
// and the open are outside the measured time.
void measureIdle(Form1 &form, ScriptedBoxes &boxes, const QString &device, double seconds)
{
    form.serialControl()->setPortMap({{1, device}});
    boxes.answers << QStringLiteral("1");
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    if (!form.serialControl()->portOpen() || !boxes.messages.isEmpty()) {
        fail(boxes.messages.isEmpty() ? form.serialControl()->errorString()
                                      : boxes.messages.first().prompt);
        return;
    }
    auto *waiting = new QTimer(&form);
    const qint64 waitStart = FirstPaintProbe::monotonicNs();
    QObject::connect(waiting, &QTimer::timeout, &form, [&form, waiting, waitStart, seconds] {
        if (form.records().count() == 0) {
            if (FirstPaintProbe::monotonicNs() - waitStart >
                std::chrono::nanoseconds(kFirstReadingLimit).count()) {
                waiting->stop();
                fail(QStringLiteral("no reading arrived"));
            }
            return;
        }
        waiting->stop();
        const qint64 cpu = FirstPaintProbe::processCpuNs();
        const qint64 wall = FirstPaintProbe::monotonicNs();
        const qint32 readings = form.records().count();
        QTimer::singleShot(qRound(seconds * 1000), &form, [&form, cpu, wall, readings] {
            std::printf("idle_cpu_ns=%lld idle_wall_ns=%lld idle_readings=%d\n",
                        static_cast<long long>(FirstPaintProbe::processCpuNs() - cpu),
                        static_cast<long long>(FirstPaintProbe::monotonicNs() - wall),
                        form.records().count() - readings);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    });
    waiting->start(kFirstReadingCheck);
}

} // namespace

int main(int argc, char **argv)
{
    const qint64 mainEntry = FirstPaintProbe::monotonicNs();
    QString idleDevice;
    double idleSeconds = 0;
    if (argc == 4 && std::strcmp(argv[1], "--idle") == 0) {
        idleDevice = QString::fromLocal8Bit(argv[2]);
        idleSeconds = QByteArray(argv[3]).toDouble();
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [--idle DEVICE SECONDS]\n", argv[0]);
        return 2;
    }

    QApplication app(argc, argv);
    FirstPaintProbe probe(mainEntry);
    QApplication::setApplicationName(QStringLiteral("corvane-panel"));
    const PanelTranslations translations;

    // The real boxes at start-up, as in the panel; scripted ones when 通信 is to be answered.
    ScriptedBoxes boxes;
    Form1 form(idleDevice.isEmpty() ? nullptr : &boxes);
    probe.mark("built");
    form.show();
    probe.mark("shown");
    probe.watchFirstPaint(&form, [&] {
        std::printf("%s\n", probe.report().constData());
        std::fflush(stdout);
        if (idleDevice.isEmpty())
            QCoreApplication::exit(0);
        else
            measureIdle(form, boxes, idleDevice, idleSeconds);
    });
    return app.exec();
}
