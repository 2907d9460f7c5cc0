#include "bench/idlebench.h"

#include "link/linkprotocol.h"
#include "tools/pty/pseudoterminal.h"

#include <QEventLoop>
#include <QHash>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

namespace IdleBench {

namespace {

constexpr int kStartSlackMs = 15'000; // start-up, the first poll and the drain after the run

QHash<QByteArray, QByteArray> fieldsOf(const QByteArray &text)
{
    QHash<QByteArray, QByteArray> fields;
    for (const QByteArray &field : text.simplified().split(' ')) {
        const qsizetype equals = field.indexOf('=');
        if (equals > 0)
            fields.insert(field.left(equals), field.mid(equals + 1));
    }
    return fields;
}

} // namespace

Result run(const QString &panelProgram, double seconds)
{
    Result result;
    PseudoTerminal pty;
    if (!pty.open(&result.error))
        return result;

    // The pump: a reading for every poll, a different one each time so the box changes.
    QByteArray received;
    QSocketNotifier notifier(pty.masterFd(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &notifier, [&] {
        received += pty.readAvailable();
        const QByteArray poll(LinkProtocol::kPollFrame);
        for (qsizetype at; (at = received.indexOf(poll)) >= 0;) {
            received.remove(0, at + poll.size());
            const int value = result.pollsAnswered++ % 100;
            pty.writeAll(QByteArray("Q00N0") + QByteArray::number(value / 10) + '.' +
                         QByteArray::number(value % 10) + 'Y');
        }
    });

    QProcess panel;
    QEventLoop loop;
    QObject::connect(&panel, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&panel, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(qRound(seconds * 1000) + kStartSlackMs, &loop, &QEventLoop::quit);
    panel.start(panelProgram,
                {QStringLiteral("--idle"), pty.slavePath(), QString::number(seconds)});
    loop.exec();
    if (panel.state() != QProcess::NotRunning) {
        panel.kill();
        panel.waitForFinished();
        result.error = QStringLiteral("the panel did not finish its idle run");
        return result;
    }

    const QHash<QByteArray, QByteArray> fields = fieldsOf(panel.readAllStandardOutput());
    if (panel.exitStatus() != QProcess::NormalExit || panel.exitCode() != 0 ||
        !fields.contains("idle_cpu_ns")) {
        result.error = QStringLiteral("the panel's idle run failed: %1 %2")
                           .arg(QString::fromLocal8Bit(fields.value("error", "no figures")),
                                QString::fromLocal8Bit(panel.readAllStandardError()).trimmed());
        return result;
    }
    result.cpuSeconds = fields.value("idle_cpu_ns").toLongLong() / 1e9;
    result.wallSeconds = fields.value("idle_wall_ns").toLongLong() / 1e9;
    result.readings = fields.value("idle_readings").toInt();
    return result;
}

} // namespace IdleBench
