#include "tools/pumpsim/pumpsimulator.h"

#include "link/commandframe.h"
#include "link/linkprotocol.h"
#include "link/numbertext.h"

#include <QDateTime>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace {

constexpr char kBroadcastAddress[] = "00";
// Roughly one stray byte in four is a start character, the case a reader must resynchronise on.
constexpr int kStartCharOdds = 4;

// Printable ASCII as it is, everything else as \xNN, so stray bytes show in a log line.
QString escaped(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return text;
}

} // namespace

PumpSimulator::PumpSimulator(const SimOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_model(options.modelParameters()),
      m_ownAddress(addressField(options.address)),
      // Its own stream, so that turning stray bytes on does not change the pressure noise.
      m_random({options.seed, 0x5eedu}), m_tickTimer(new QTimer(this)),
      m_replyTimer(new QTimer(this)), m_splitTimer(new QTimer(this)),
      m_returnTimer(new QTimer(this)), m_vanishAt(quint64(options.vanishAfter))
{
    m_model.setFlowSetpoint(options.flowMlPerMin);
    m_model.setProtectionLimit(options.limitMPa);
    m_model.setFaults(options.faults);
    if (options.running)
        m_model.run();

    m_tickTimer->setInterval(kTickMs);
    m_tickTimer->setTimerType(Qt::PreciseTimer);
    connect(m_tickTimer, &QTimer::timeout, this, &PumpSimulator::onTick);
    m_replyTimer->setSingleShot(true);
    m_replyTimer->setTimerType(Qt::PreciseTimer);
    connect(m_replyTimer, &QTimer::timeout, this, &PumpSimulator::onReplyTimer);
    m_splitTimer->setSingleShot(true);
    m_splitTimer->setTimerType(Qt::PreciseTimer);
    connect(m_splitTimer, &QTimer::timeout, this, &PumpSimulator::onSplitTimer);
    m_returnTimer->setSingleShot(true);
    m_returnTimer->setInterval(options.vanishForMs);
    connect(m_returnTimer, &QTimer::timeout, this, &PumpSimulator::comeBack);
}

PumpSimulator::~PumpSimulator()
{
    // The notifier must let go of the master before the pty member closes it.
    if (m_notifier)
        m_notifier->setEnabled(false);
}

bool PumpSimulator::start(QString *error)
{
    if (!m_pty.open(error))
        return false;
    if (!m_options.linkPath.isEmpty() && !m_pty.makeSymlink(m_options.linkPath, error))
        return false;
    if (!m_options.logPath.isEmpty()) {
        m_log.setFileName(m_options.logPath);
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            *error = QStringLiteral("cannot open log %1: %2")
                         .arg(m_options.logPath, m_log.errorString());
            return false;
        }
    }

    if (!m_options.sentLogPath.isEmpty()) {
        m_sentLog.setFileName(m_options.sentLogPath);
        if (!m_sentLog.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            *error = QStringLiteral("cannot open sent log %1: %2")
                         .arg(m_options.sentLogPath, m_sentLog.errorString());
            return false;
        }
    }

    if (!m_options.timelinePath.isEmpty()) {
        m_timeline.setFileName(m_options.timelinePath);
        if (!m_timeline.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            *error = QStringLiteral("cannot open timeline %1: %2")
                         .arg(m_options.timelinePath, m_timeline.errorString());
            return false;
        }
    }

    listen();
    m_sinceTick.start();
    m_sinceStart.start();
    m_tickTimer->start();
    return true;
}

void PumpSimulator::listen()
{
    m_notifier = new QSocketNotifier(m_pty.masterFd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PumpSimulator::onMasterReadable);
}

void PumpSimulator::onMasterReadable()
{
    const QByteArray bytes = m_pty.readAvailable();
    if (bytes.isEmpty())
        return;
    const quint64 droppedBefore = m_reader.droppedBytes();
    const QList<QByteArray> frames = m_reader.feed(bytes);
    const quint64 dropped = m_reader.droppedBytes() - droppedBefore;
    if (dropped > 0)
        logLine(QStringLiteral("? %1 stray byte(s) dropped from input \"%2\"")
                    .arg(dropped)
                    .arg(escaped(bytes)));
    for (const QByteArray &frame : frames) {
        if (m_pty.isOpen())
            handleFrame(frame);
        else // came in the same read as the frame that closed the line
            logFrame(frame, QStringLiteral("ignored: line closed"));
    }
}

void PumpSimulator::accountDelivery()
{
    // From one reading of the clock to the next, in nanoseconds: restarting a millisecond timer
    // at every frame would drop a fraction each time.
    const qint64 ns = m_sinceStart.nsecsElapsed();
    if (m_model.isRunning())
        m_deliveredMl += m_model.flowSetpoint() * double(ns - m_deliveryNs) / 60e9;
    m_deliveryNs = ns;
}

void PumpSimulator::onTick()
{
    // Up to the tick at the state before it: a trip or a stall stops the pump at a tick.
    accountDelivery();
    const bool wasRunning = m_model.isRunning();
    m_model.step(double(m_sinceTick.restart()) / 1000.0);
    // A fault is told once, when it begins (a fault at 0 s with the first tick), so that a reader
    // of the log sees what the panel should have noticed and when.
    if (m_model.isBlocked() && !std::exchange(m_toldBlocked, true))
        logLine(QStringLiteral("! outlet blocked: pressure climbs to %1 MPa while running")
                    .arg(pressureField(m_model.blockedPressure())));
    if (m_model.isLeaking() && !std::exchange(m_toldLeaking, true))
        logLine(QStringLiteral("! leaking: pressure falls away while running"));
    if (m_model.isSilent() != m_toldSilent)
        logLine((m_toldSilent = m_model.isSilent()) ? QStringLiteral("! silent: replies withheld")
                                                    : QStringLiteral("! answering again"));
    if (wasRunning && m_model.hasStalled())
        logLine(QStringLiteral("! stalled at %1 MPa: pump stopped by itself")
                    .arg(pressureField(m_model.reading())));
    if (wasRunning && m_model.hasTripped())
        logLine(
            QStringLiteral("! pressure %1 MPa above the %2 MPa limit: pump stopped")
                .arg(pressureField(m_model.reading()), pressureField(m_model.protectionLimit())));
}

void PumpSimulator::handleFrame(const QByteArray &frame)
{
    ++m_framesReceived;
    const QString text = QString::fromLatin1(frame);
    const QString address = text.mid(1, 2);
    const QChar letter = text.at(3);
    const QString value = text.mid(4, 4);
    bool obeyed = false; // a setting, run or stop that the pump took
    accountDelivery();

    if (!isWellFormedFrame(text)) {
        logFrame(frame, QStringLiteral("ignored: not a well-formed frame"));
    } else if (address != QLatin1String(kBroadcastAddress) && address != m_ownAddress) {
        logFrame(frame, QStringLiteral("ignored: addressed to %1").arg(address));
    } else if (letter == u'F') {
        logFrame(frame);
        answer('N', pressureField(m_model.reading()));
    } else if (letter == u'L') {
        const std::optional<double> flow = NumberText::toDouble(value);
        if (flow && m_model.setFlowSetpoint(*flow)) {
            obeyed = true;
            logFrame(frame);
            answer('L', flowField(m_model.flowSetpoint()));
        } else {
            logFrame(frame, QStringLiteral("ignored: flow \"%1\" not accepted").arg(value));
        }
    } else if (letter == u'P') {
        const std::optional<double> limit = NumberText::toDouble(value);
        if (limit && m_model.setProtectionLimit(*limit)) {
            obeyed = true;
            logFrame(frame);
            answer('P', pressureField(m_model.protectionLimit()));
        } else {
            logFrame(frame,
                     QStringLiteral("ignored: pressure limit \"%1\" not accepted").arg(value));
        }
    } else if (letter == u'R') {
        obeyed = true;
        logFrame(frame);
        m_model.run();
    } else if (letter == u'S') {
        obeyed = true;
        logFrame(frame);
        m_model.stop();
    } else {
        logFrame(frame, QStringLiteral("ignored: unknown command"));
    }
    // "<time> Q00L0250Y<TAB>0250<TAB>01.5<TAB>run<TAB>123.456": each command obeyed, the state
    // after it, and the volume delivered since start (ml) by the pump's own integration.
    if (obeyed && m_timeline.isOpen())
        appendLine(m_timeline,
                   QStringLiteral("%1\t%2\t%3\t%4\t%5")
                       .arg(text, flowField(m_model.flowSetpoint()),
                            pressureField(m_model.protectionLimit()),
                            m_model.isRunning() ? QStringLiteral("run") : QStringLiteral("stop"),
                            QString::number(m_deliveredMl, 'f', 3)));

    if (m_options.hangupAfter > 0 && m_framesReceived >= quint64(m_options.hangupAfter))
        hangUp();
    else if (m_vanishAt > 0 && m_framesReceived >= m_vanishAt)
        vanish();
}

void PumpSimulator::answer(char letter, const QString &value)
{
    // The frame has been obeyed; only the reply is missing, as with a dead transmit line.
    if (m_model.isSilent()) {
        logLine(QStringLiteral("- no reply: silent"));
        return;
    }
    ++m_answerableFrames;
    if (m_options.dropEvery > 0 && m_answerableFrames % quint64(m_options.dropEvery) == 0) {
        logLine(QStringLiteral("- reply %1 dropped").arg(m_answerableFrames));
        return;
    }
    const QByteArray frame =
        MakeFrame(m_ownAddress, QString(QLatin1Char(letter)), value).toLatin1();
    m_replies.append(
        {QDeadlineTimer(kFrameTransmitMs + m_options.delayMs, Qt::PreciseTimer), frame});
    if (!m_replyTimer->isActive())
        armReplyTimer();
}

void PumpSimulator::onReplyTimer()
{
    // Every reply has the same latency, so due times are in queue order.
    while (!m_replies.isEmpty() && m_replies.front().due.hasExpired())
        sendReply(m_replies.takeFirst().frame);
    armReplyTimer();
}

void PumpSimulator::armReplyTimer()
{
    if (!m_replies.isEmpty())
        m_replyTimer->start(int(qMax<qint64>(0, m_replies.front().due.remainingTime())));
}

void PumpSimulator::sendReply(const QByteArray &frame)
{
    ++m_repliesSent;
    QByteArray chunk = frame;
    if (m_options.noiseEvery > 0 && m_repliesSent % quint64(m_options.noiseEvery) == 0)
        chunk.prepend(strayBytes());
    if (m_options.coalesce) {
        if (m_repliesSent % 2 == 1) {
            m_heldReply = chunk;
            return;
        }
        chunk.prepend(m_heldReply);
        m_heldReply.clear();
    }
    sendChunk(chunk);
}

void PumpSimulator::sendChunk(const QByteArray &chunk)
{
    if (!m_splitTail.isEmpty()) {
        m_queued.append(chunk);
        return;
    }
    if (m_options.split && chunk.size() > kSplitHeadBytes) {
        write(chunk.left(kSplitHeadBytes));
        m_splitTail = chunk.mid(kSplitHeadBytes);
        m_splitTimer->start(m_options.splitGapMs);
        return;
    }
    write(chunk);
}

void PumpSimulator::onSplitTimer()
{
    write(m_splitTail);
    m_splitTail.clear();
    if (!m_queued.isEmpty())
        sendChunk(m_queued.takeFirst());
}

void PumpSimulator::write(const QByteArray &bytes)
{
    if (!m_pty.isOpen())
        return;
    if (!m_pty.writeAll(bytes)) {
        std::fprintf(stderr, "corvane-pumpsim: reply lost: %s\n", qPrintable(m_pty.errorString()));
        return;
    }
    if (m_sentLog.isOpen())
        appendLine(m_sentLog, escaped(bytes));
}

QByteArray PumpSimulator::strayBytes()
{
    QByteArray bytes;
    const int count = int(m_random.bounded(1, 4));
    for (int i = 0; i < count; ++i) {
        const bool start = m_random.bounded(kStartCharOdds) == 0;
        bytes += start ? LinkProtocol::kStartChar : char(m_random.bounded(256));
    }
    return bytes;
}

void PumpSimulator::logLine(const QString &text)
{
    if (m_log.isOpen())
        appendLine(m_log, text);
}

void PumpSimulator::appendLine(QFile &file, const QString &text)
{
    const QString line =
        QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + text + '\n';
    file.write(line.toUtf8());
    // Readers follow the logs while the simulator runs.
    file.flush();
}

void PumpSimulator::logFrame(const QByteArray &frame, const QString &note)
{
    logLine(note.isEmpty() ? escaped(frame) : escaped(frame) + QLatin1Char(' ') + note);
}

void PumpSimulator::hangUp()
{
    if (m_notifier)
        m_notifier->setEnabled(false);
    m_tickTimer->stop();
    m_replyTimer->stop();
    m_splitTimer->stop();
    m_pty.hangUp();
    logLine(QStringLiteral("! hung up after %1 frame(s)").arg(m_framesReceived));
    emit hungUp();
}

void PumpSimulator::dropPendingReplies()
{
    m_replyTimer->stop();
    m_splitTimer->stop();
    const qsizetype pending = m_replies.size() + m_queued.size() + (m_heldReply.isEmpty() ? 0 : 1) +
                              (m_splitTail.isEmpty() ? 0 : 1);
    if (pending > 0)
        logLine(QStringLiteral("- %1 pending reply(ies) dropped with the line").arg(pending));
    m_replies.clear();
    m_queued.clear();
    m_heldReply.clear();
    m_splitTail.clear();
}

void PumpSimulator::vanish()
{
    // Called from the notifier's own signal: it can only be deleted later. The model keeps
    // ticking, as the pump does while its adapter resets.
    m_notifier->setEnabled(false);
    m_notifier->deleteLater();
    m_notifier = nullptr;
    dropPendingReplies();
    // The path goes first: once the panel sees the hang-up, it must not find the dead line.
    m_pty.removeSymlinks();
    m_pty.hangUp();
    m_reader.clear();
    m_vanishAt = 0;
    logLine(QStringLiteral("! vanished after %1 frame(s)").arg(m_framesReceived));
    emit vanished();
    m_returnTimer->start();
}

void PumpSimulator::comeBack()
{
    QString error;
    if (!m_pty.open(&error)) {
        std::fprintf(stderr, "corvane-pumpsim: cannot come back: %s\n", qPrintable(error));
        m_returnTimer->start();
        return;
    }
    // The new pty exists before the link moves to it, so the link never dangles.
    if (!m_options.linkPath.isEmpty() && !m_pty.makeSymlink(m_options.linkPath, &error))
        std::fprintf(stderr, "corvane-pumpsim: %s\n", qPrintable(error));
    listen();
    if (m_options.vanishEvery > 0)
        m_vanishAt = m_framesReceived + quint64(m_options.vanishEvery);
    logLine(QStringLiteral("! back on %1").arg(m_pty.slavePath()));
    emit cameBack(m_pty.slavePath());
}
