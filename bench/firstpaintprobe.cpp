#include "bench/firstpaintprobe.h"

#include <QEvent>
#include <QMainWindow>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <sys/resource.h>

qint64 FirstPaintProbe::monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

qint64 FirstPaintProbe::processCpuNs()
{
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return qint64(cpu.tv_sec) * 1'000'000'000 + cpu.tv_nsec;
}

qint64 FirstPaintProbe::residentKiB()
{
    // Read line by line: files under /proc report a size of 0, so QFile sees them as empty.
    std::FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    qint64 kib = -1;
    char line[256];
    while (kib < 0 && std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kib = std::strtoll(line + 6, nullptr, 10);
    }
    std::fclose(status);
    return kib;
}

FirstPaintProbe::FirstPaintProbe(qint64 mainEntryNs, QObject *parent) : QObject(parent)
{
    m_report = "main_ns=" + QByteArray::number(mainEntryNs);
    mark("app");
}

void FirstPaintProbe::mark(const char *name)
{
    m_report += ' ' + QByteArray(name) + "_ns=" + QByteArray::number(monotonicNs());
}

void FirstPaintProbe::watchFirstPaint(QWidget *window, std::function<void()> painted)
{
    m_window = window;
    m_then = std::move(painted);
    window->installEventFilter(this);
}

bool FirstPaintProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Paint && !m_paintSeen) {
        m_paintSeen = true;
        // The window's paint event comes first in a pass over all its widgets, and the flush
        // follows the pass: a call queued now runs once both are done.
        QTimer::singleShot(0, this, &FirstPaintProbe::onPainted);
    }
    return QObject::eventFilter(watched, event);
}

void FirstPaintProbe::onPainted()
{
    mark("painted");
    m_report += " cpu_ns=" + QByteArray::number(processCpuNs());
    m_report += " rss_kib=" + QByteArray::number(residentKiB());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    m_report += " minflt=" + QByteArray::number(qint64(usage.ru_minflt));
    QSize client = m_window->size();
    if (const auto *main = qobject_cast<QMainWindow *>(m_window); main && main->centralWidget())
        client = main->centralWidget()->size();
    m_report +=
        " client=" + QByteArray::number(client.width()) + 'x' + QByteArray::number(client.height());
    m_window->removeEventFilter(this);
    m_painted = true;
    if (m_then)
        m_then();
}
