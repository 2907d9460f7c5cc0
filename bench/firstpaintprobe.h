#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>

class QWidget;

// Start-up milestones of one bench process on the monotonic clock that every process shares,
// so the program that started it can subtract its own start time. Once the watched window
// has been painted for the first time (every widget of the first paint done and the result
// flushed), it reads the process's CPU time, resident memory and page faults and calls back.
// report() gives them as one line of key=value fields.
class FirstPaintProbe : public QObject
{
    Q_OBJECT

public:
    // Nanoseconds on the system's monotonic clock (std::chrono::steady_clock on Linux).
    static qint64 monotonicNs();
    // CPU time of the whole process so far, every thread.
    static qint64 processCpuNs();
    // Resident set size now, from /proc/self/status; -1 when it cannot be read.
    static qint64 residentKiB();

    explicit FirstPaintProbe(qint64 mainEntryNs, QObject *parent = nullptr);

    // Records now under name ("app", "built", "shown", ...).
    void mark(const char *name);
    void watchFirstPaint(QWidget *window, std::function<void()> painted);
    bool painted() const { return m_painted; }

    // "main_ns=… app_ns=… … painted_ns=… cpu_ns=… rss_kib=… minflt=… client=WxH"
    QByteArray report() const { return m_report; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onPainted();

    QByteArray m_report;
    QWidget *m_window = nullptr;
    std::function<void()> m_then;
    bool m_paintSeen = false;
    bool m_painted = false;
};
