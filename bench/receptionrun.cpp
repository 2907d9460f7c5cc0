#include "bench/receptionrun.h"

#include "app/form1.h"
#include "link/linkprotocol.h"
#include "platform/serialcontrol.h"
#include "tools/pty/pseudoterminal.h"

#include <QEventLoop>
#include <QLineEdit>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

using namespace std::chrono;

constexpr int kReadingCount = 20;                // "00.0" .. "01.9"
constexpr auto kDrainLimit = seconds(2);         // a frame not shown by then is lost
constexpr auto kPortSettle = milliseconds(50);   // lets the port read the last piece
constexpr auto kGuardSlack = seconds(5);         // a run that never ends is a failure
constexpr char kStrayBytes[] = {'\0', 'Q', 'Y'}; // noise, a false start, a false end

// CPU time of the whole process, every thread; glibc reads the process CPU-time clock.
double processCpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

QString readingText(int index)
{
    const int reading = index % kReadingCount;
    return QStringLiteral("%1.%2").arg(reading / 10, 2, 10, QLatin1Char('0')).arg(reading % 10);
}

double secondsBetween(ReceptionRun::Clock::time_point from, ReceptionRun::Clock::time_point to)
{
    return duration<double>(to - from).count();
}

} // namespace

ReceptionRun::ReceptionRun(Form1 &form, PseudoTerminal &pty, QObject *parent)
    : QObject(parent), m_form(form), m_pty(pty),
      m_pnow(form.findChild<QLineEdit *>(QStringLiteral("pnow")))
{
    m_feedTimer.setSingleShot(true);
    m_feedTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_feedTimer, &QTimer::timeout, this, &ReceptionRun::onFeedTimer);
    m_drainTimer.setSingleShot(true);
    connect(&m_drainTimer, &QTimer::timeout, this, &ReceptionRun::finish);
    m_guardTimer.setSingleShot(true);
    connect(&m_guardTimer, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("run did not end")); });
}

ReceptionRun::Result ReceptionRun::run(const Plan &plan)
{
    m_result = Result{};
    m_result.plan = plan;
    if (!m_pnow) {
        m_result.error = QStringLiteral("no pnow box");
        return m_result;
    }

    SerialControl *serial = m_form.serialControl();
    if (!plan.panelReads)
        serial->setRThreshold(0);
    const QMetaObject::Connection watch =
        connect(m_pnow, &QLineEdit::textChanged, this, &ReceptionRun::onTextChanged);
    m_pty.readAvailable(); // the panel's status polls, of no interest here
    const int itimeBefore = m_form.trend().itime();
    // A first reading equal to what the box shows would not change it, and go uncounted.
    if (readingText(m_valueIndex) == m_pnow->text())
        ++m_valueIndex;

    m_sent.clear();
    m_feeding = true;
    m_burstQueued = false;
    m_nextPiece = 0;
    const int piecesPerFrame = plan.split ? 2 : 1;
    m_totalPieces = plan.framesPerSecond > 0
                        ? piecesPerFrame *
                              std::max<qint64>(1, std::llround(plan.framesPerSecond * plan.seconds))
                        : 0;

    QEventLoop loop;
    m_loop = &loop;
    const double cpuBefore = processCpuSeconds();
    m_start = m_firstAccept = m_lastAccept = Clock::now();
    m_feedEnd = m_start + duration_cast<Clock::duration>(duration<double>(plan.seconds));
    m_guardTimer.start(duration_cast<milliseconds>(duration<double>(plan.seconds) + kGuardSlack));
    if (plan.framesPerSecond > 0) {
        onFeedTimer();
    } else {
        // Two to three bursts in flight: the panel never waits for the feeder, and at 2.7 KiB
        // the pty's input queue (4 KiB) never fills, so no write blocks the panel's loop.
        writeBurst();
        writeBurst();
    }
    if (m_loop)
        loop.exec();
    const Clock::time_point end = Clock::now();
    m_result.cpuSeconds = processCpuSeconds() - cpuBefore;
    m_loop = nullptr;

    m_feedTimer.stop();
    m_drainTimer.stop();
    m_guardTimer.stop();
    disconnect(watch);
    m_result.wallSeconds = secondsBetween(m_start, end);
    m_result.acceptSeconds = secondsBetween(m_firstAccept, m_lastAccept);
    if (!plan.panelReads) {
        serial->input(); // what was read while the panel was not told goes unseen
        serial->setRThreshold(LinkProtocol::kReceiveThreshold);
    }
    const int itimeAfter = m_form.trend().itime();
    m_result.trendAgrees =
        (itimeBefore + m_result.accepted) % PressureTrend::kSamplesPerSweep == itimeAfter;
    return m_result;
}

QByteArray ReceptionRun::nextFrame(QString *value)
{
    *value = readingText(m_valueIndex++);
    return QByteArray("Q00N") + value->toLatin1() + 'Y';
}

ReceptionRun::Clock::time_point ReceptionRun::dueTime(qint64 piece) const
{
    const int piecesPerFrame = m_result.plan.split ? 2 : 1;
    const double at = double(piece) / (piecesPerFrame * m_result.plan.framesPerSecond);
    return m_start + duration_cast<Clock::duration>(duration<double>(at));
}

void ReceptionRun::onFeedTimer()
{
    const Clock::time_point now = Clock::now();
    while (m_feeding && m_nextPiece < m_totalPieces && dueTime(m_nextPiece) <= now)
        writePiece(m_nextPiece++);
    if (!m_feeding)
        return;
    if (m_nextPiece >= m_totalPieces) {
        feedingDone();
        return;
    }
    // Timers count whole milliseconds; rounding up never writes a piece before its time.
    const auto wait = duration_cast<microseconds>(dueTime(m_nextPiece) - Clock::now());
    m_feedTimer.start(milliseconds(std::max<qint64>(0, (wait.count() + 999) / 1000)));
}

void ReceptionRun::writePiece(qint64 piece)
{
    const bool split = m_result.plan.split;
    const qint64 frameNo = split ? piece / 2 : piece;
    const bool first = !split || piece % 2 == 0;
    const bool last = !split || piece % 2 == 1;
    if (first)
        m_frame = nextFrame(&m_frameValue);

    QByteArray bytes = split ? (first ? m_frame.left(4) : m_frame.mid(4)) : m_frame;
    if (first && m_result.plan.noisy && frameNo % 10 == 9)
        bytes.prepend(kStrayBytes[(frameNo / 10) % std::size(kStrayBytes)]);
    if (!m_pty.writeAll(bytes)) {
        fail(m_pty.errorString());
        return;
    }
    if (last) {
        m_sent.push_back({m_frameValue, Clock::now()});
        ++m_result.written;
    }
}

void ReceptionRun::writeBurst()
{
    QByteArray bytes;
    bytes.reserve(kBurstFrames * LinkProtocol::kFrameLength);
    QString value;
    for (int i = 0; i < kBurstFrames; ++i)
        bytes += nextFrame(&value);
    if (!m_pty.writeAll(bytes)) {
        fail(m_pty.errorString());
        return;
    }
    m_result.written += kBurstFrames;
}

void ReceptionRun::onBurstDue()
{
    m_burstQueued = false;
    if (!m_feeding)
        return;
    if (Clock::now() >= m_feedEnd)
        feedingDone();
    else
        writeBurst();
}

void ReceptionRun::onTextChanged(const QString &text)
{
    const Clock::time_point now = Clock::now();
    if (m_result.accepted++ == 0)
        m_firstAccept = now;
    m_lastAccept = now;

    if (m_result.plan.framesPerSecond > 0) {
        // Frames are shown in the order written; any passed over on the way were never shown.
        const auto match = std::find_if(m_sent.begin(), m_sent.end(),
                                        [&](const Sent &sent) { return sent.value == text; });
        if (match != m_sent.end()) {
            m_result.latenciesMs.push_back(duration<double, std::milli>(now - match->at).count());
            m_sent.erase(m_sent.begin(), match + 1);
        }
    } else if (m_feeding && !m_burstQueued && outstanding() <= 2 * kBurstFrames) {
        // Top up once a burst's worth has drained, from the event loop rather than from
        // inside the panel's handler.
        m_burstQueued = true;
        QTimer::singleShot(0, this, &ReceptionRun::onBurstDue);
    }

    if (!m_feeding && outstanding() <= 0)
        finish();
}

void ReceptionRun::feedingDone()
{
    m_feeding = false;
    if (!m_result.plan.panelReads)
        m_drainTimer.start(kPortSettle); // else its bytes would reach the panel in the next run
    else if (outstanding() <= 0)
        finish();
    else
        m_drainTimer.start(kDrainLimit);
}

void ReceptionRun::fail(const QString &why)
{
    if (m_result.error.isEmpty())
        m_result.error = why;
    m_feeding = false;
    finish();
}

void ReceptionRun::finish()
{
    if (m_loop)
        m_loop->quit();
    m_loop = nullptr; // a finish before exec() makes run() skip the loop
}
