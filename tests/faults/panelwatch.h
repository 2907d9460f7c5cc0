#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QStringList>

class Form1;
class QTimer;

// What a fault case watches on the panel while it runs: every text the current-pressure box
// takes, the longest stall of the event loop (the widest gap between ticks of a 10 ms timer),
// and the process's CPU time and resident memory between start() and stop(). The figures are
// the whole process's: the peer and the test run in the same thread as the panel.
class PanelWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTickMs = 10;

    explicit PanelWatch(const Form1 &form, QObject *parent = nullptr);

    void start();
    void stop();

    const QStringList &pnowTexts() const { return m_pnowTexts; }
    qint64 maxStallMs() const { return m_maxGapMs > kTickMs ? m_maxGapMs - kTickMs : 0; }
    // CPU time over wall time between start() and stop(): 1.0 is one core busy throughout.
    double cpuShare() const;
    qint64 rssGrowthKiB() const { return m_rssAfterKiB - m_rssBeforeKiB; }
    qint64 rssBeforeKiB() const { return m_rssBeforeKiB; }
    qint64 rssAfterKiB() const { return m_rssAfterKiB; }

    // VmRSS of this process from /proc/self/status; -1 when it cannot be read.
    static qint64 rssKiB();
    // False under AddressSanitizer, whose quarantine and allocation records grow the process
    // whatever the panel does: there memory is the leak checker's business.
#if defined(__SANITIZE_ADDRESS__)
    static constexpr bool kRssIsMeaningful = false;
#else
    static constexpr bool kRssIsMeaningful = true;
#endif
    static double cpuSeconds();
    // The values of a reading log, "time<TAB>value" a line, in order; event lines are skipped.
    static QStringList logValues(const QString &path);
    // The window as drawn, with the plot's drawing area, the boxes that replies write to and
    // the status area blanked out: two of these differ only if something drew outside those
    // places.
    static QImage surroundings(Form1 &form);

private:
    void onTick();

    QStringList m_pnowTexts;
    QTimer *m_ticker;
    QElapsedTimer m_wall;
    qint64 m_lastTickMs = 0;
    qint64 m_maxGapMs = 0;
    qint64 m_wallMs = 0;
    double m_cpuStart = 0;
    double m_cpuSeconds = 0;
    qint64 m_rssBeforeKiB = 0;
    qint64 m_rssAfterKiB = 0;
};
