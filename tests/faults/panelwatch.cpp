#include "tests/faults/panelwatch.h"

#include "app/form1.h"
#include "platform/plotarea.h"

#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

#include <sys/resource.h>

PanelWatch::PanelWatch(const Form1 &form, QObject *parent)
    : QObject(parent), m_ticker(new QTimer(this))
{
    m_ticker->setTimerType(Qt::PreciseTimer);
    m_ticker->setInterval(kTickMs);
    connect(m_ticker, &QTimer::timeout, this, &PanelWatch::onTick);
    const auto *pnow = form.findChild<QLineEdit *>(QStringLiteral("pnow"));
    connect(pnow, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_pnowTexts << text; });
}

void PanelWatch::start()
{
    m_rssBeforeKiB = rssKiB();
    m_cpuStart = cpuSeconds();
    m_wall.start();
    m_lastTickMs = 0;
    m_maxGapMs = 0;
    m_ticker->start();
}

void PanelWatch::stop()
{
    m_ticker->stop();
    m_wallMs = m_wall.elapsed();
    m_cpuSeconds = cpuSeconds() - m_cpuStart;
    m_rssAfterKiB = rssKiB();
}

double PanelWatch::cpuShare() const
{
    return m_wallMs > 0 ? m_cpuSeconds * 1000.0 / double(m_wallMs) : 0.0;
}

void PanelWatch::onTick()
{
    const qint64 now = m_wall.elapsed();
    m_maxGapMs = qMax(m_maxGapMs, now - m_lastTickMs);
    m_lastTickMs = now;
}

qint64 PanelWatch::rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // Files in /proc have no size, so read them whole rather than line by line to the end.
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

double PanelWatch::cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

QStringList PanelWatch::logValues(const QString &path)
{
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly))
        return {QStringLiteral("<log unreadable>")};
    QStringList values;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (!line.isEmpty() && !line.startsWith('#'))
            values << QString::fromLatin1(line.mid(line.indexOf('\t') + 1));
    }
    return values;
}

QImage PanelWatch::surroundings(Form1 &form)
{
    QImage image = form.grab().toImage();
    QPainter painter(&image);
    for (const char *name : {"pnow", "prset", "lqset"}) {
        const auto *box = form.findChild<QLineEdit *>(QLatin1String(name));
        painter.fillRect(QRect(box->mapTo(&form, QPoint(0, 0)), box->size()), Qt::magenta);
    }
    // The status area tells an outage and the return for a while after it.
    const auto *status = form.findChild<QWidget *>(QStringLiteral("statusArea"));
    painter.fillRect(QRect(status->mapTo(&form, QPoint(0, 0)), status->size()), Qt::magenta);
    const auto *plot = form.findChild<PlotArea *>(QStringLiteral("Picture1"));
    painter.fillRect(plot->contentsRect().translated(plot->mapTo(&form, QPoint(0, 0))),
                     Qt::magenta);
    return image;
}
