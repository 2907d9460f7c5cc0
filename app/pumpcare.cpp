#include "app/pumpcare.h"

#include "link/numbertext.h"
#include "session/pumpsession.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

using CareCounter::Kind;

namespace {

// Samples for the run report: a day of readings at 1.5 s is under 60,000.
constexpr qsizetype kMostSamples = 200'000;

} // namespace

PumpCare::PumpCare(PumpSession *session, std::function<QString()> adapter, QObject *parent)
    : QObject(parent), m_session(session), m_adapter(std::move(adapter)),
      m_folder(defaultFolder()), m_writeTimer(new QTimer(this))
{
    // A coarse timer may come 5 % late, past the 10 s a kill may cost.
    m_writeTimer->setTimerType(Qt::PreciseTimer);
    m_writeTimer->setInterval(kWriteEvery);
    connect(m_writeTimer, &QTimer::timeout, this, [this] {
        m_tally.advance(now());
        counted();
        writeNow();
    });
    connect(session, &PumpSession::linkChanged, this, [this](PumpSession::Link link) {
        if (link == PumpSession::Link::Open)
            followAdapter();
        else
            writeNow();
    });
    // Another device opened over an open line changes no link state, only the status.
    connect(session, &PumpSession::statusChanged, this, &PumpCare::followAdapter);
    connect(session, &PumpSession::pumpCommanded, this, [this](bool running) {
        if (!hasAdapter())
            return;
        m_tally.pumpCommanded(running, now());
        counted();
        if (!running)
            writeNow();
    });
    connect(session, &PumpSession::frameSent, this, [this](const PumpSession::SentFrame &frame) {
        if (!hasAdapter() || frame.frame.at(3) != u'L')
            return;
        if (const std::optional<double> flow = NumberText::toDouble(frame.frame.mid(4, 4))) {
            m_tally.flowKnown(*flow, now());
            counted();
        }
    });
    connect(session, &PumpSession::flowReplied, this, [this](const QString &value) {
        if (!hasAdapter())
            return;
        if (const std::optional<double> flow = NumberText::toDouble(value)) {
            m_tally.flowKnown(*flow, now());
            counted();
        }
    });
    connect(session, &PumpSession::reading, this, [this](const QString &text) {
        if (!hasAdapter())
            return;
        m_tally.reading(NumberText::toDouble(text), now());
        counted();
    });
    connect(session, &PumpSession::readingCurrencyChanged, this, [this] {
        if (hasAdapter() && m_session->readingIsStale()) {
            m_tally.readingLost(now());
            counted();
        }
    });
}

PumpCare::~PumpCare()
{
    // The last counting is written, told to nobody: whoever listens may be half gone.
    blockSignals(true);
    if (hasAdapter()) {
        m_tally.advance(now());
        writeNow();
    }
}

QString PumpCare::defaultFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("care"));
}

void PumpCare::setWriteInterval(std::chrono::milliseconds interval)
{
    m_writeTimer->setInterval(interval);
}

void PumpCare::followAdapter()
{
    if (m_session->link() != PumpSession::Link::Open)
        return;
    const QString adapter = m_adapter();
    if (adapter.isEmpty() || adapter == m_book.adapter)
        return;
    // What the pump on the adapter left behind does from now on is not known here: its
    // counting ends where the panel turned to another.
    if (hasAdapter()) {
        m_tally.advance(now());
        writeNow();
    }
    const CareFile::Opened opened = CareFile::open(m_folder, adapter);
    m_book = opened.book;
    m_path = opened.path;
    m_refused = opened.refused;
    m_tally = CareTally(m_book.values, m_book.flowMlPerMin);
    m_written.clear();
    m_writeProblem.clear();
    m_samples.clear();
    for (const Kind kind : CareCounter::kAll)
        m_levels[int(kind)] = m_book.level(kind);
    m_writeTimer->start();
    updateState();
    Q_EMIT changed();
}

void PumpCare::counted()
{
    const double volume = m_tally.value(Kind::Volume);
    const double before = m_book.values[int(Kind::Volume)];
    if (volume > before)
        m_pumped += volume - before;
    m_book.values = m_tally.values();
    m_book.flowMlPerMin = m_tally.flow();
    if (m_samples.size() >= kMostSamples)
        m_samples.remove(0, kMostSamples / 2);
    m_samples.append(
        {m_wall ? m_wall().toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch(), m_pumped});

    bool crossed = false;
    for (const Kind kind : CareCounter::kAll) {
        const int level = m_book.level(kind);
        if (level > m_levels[int(kind)]) {
            crossed = true;
            m_session->logEvent(
                "care-due", QStringLiteral("%1：%2，限值 %3（已用 %4 %）")
                                .arg(CareCounter::name(kind),
                                     CareCounter::valueText(kind, m_book.values[int(kind)]),
                                     CareCounter::valueText(kind, *m_book.limits[int(kind)]))
                                .arg(*m_book.percent(kind)));
        }
        m_levels[int(kind)] = level;
    }
    if (crossed)
        updateState();
}

CareBook PumpCare::book()
{
    if (hasAdapter()) {
        m_tally.advance(now());
        counted();
    }
    return m_book;
}

void PumpCare::writeNow()
{
    if (!hasAdapter())
        return;
    m_book.values = m_tally.values();
    const QByteArray bytes = m_book.encode();
    if (m_path.isEmpty() || bytes == m_written)
        return;
    const QString problem = m_write(m_path, bytes);
    if (problem.isEmpty())
        m_written = bytes;
    if (std::exchange(m_writeProblem, problem) != problem)
        updateState();
    Q_EMIT changed();
}

void PumpCare::updateState()
{
    QStringList parts = m_refused;
    if (hasAdapter() && m_path.isEmpty())
        parts << QStringLiteral("维护计数只保留在内存中");
    if (!m_writeProblem.isEmpty())
        parts << QStringLiteral("维护计数无法写入 %1（%2），计数保留在内存中，稍后再写")
                     .arg(QDir::toNativeSeparators(m_path), m_writeProblem);
    if (const QString due = m_book.dueText(); !due.isEmpty())
        parts.prepend(due);
    const QString text = parts.join(QStringLiteral("；"));
    if (std::exchange(m_stateText, text) != text)
        Q_EMIT stateTextChanged(text);
}

QJsonObject PumpCare::stateObject()
{
    if (!hasAdapter())
        return {};
    const CareBook now = book();
    QJsonObject state{{QStringLiteral("adapter"), now.adapter}};
    QJsonObject limits;
    QJsonArray due;
    for (const Kind kind : CareCounter::kAll) {
        state.insert(CareCounter::key(kind), now.values[int(kind)]);
        if (now.limits[int(kind)])
            limits.insert(CareCounter::key(kind), *now.limits[int(kind)]);
        if (now.level(kind) > 0)
            due.append(CareCounter::key(kind));
    }
    state.insert(QStringLiteral("limits"), limits);
    state.insert(QStringLiteral("due"), due);
    return state;
}

QString PumpCare::reportText(qint64 fromMs, qint64 toMs)
{
    if (!hasAdapter())
        return {};
    const CareBook now = book();
    // The volume counted by the panel at a time: at the last sample not after it.
    const auto at = [this](qint64 ms) {
        const auto after = std::upper_bound(
            m_samples.cbegin(), m_samples.cend(), ms,
            [](qint64 t, const Sample &sample) { return t < sample.wallMs; });
        return after == m_samples.cbegin() ? 0.0 : std::prev(after)->volumeMl;
    };
    const double inRun = std::max(0.0, at(toMs) - at(fromMs));
    return QStringLiteral("本次泵送 %1；累计：%2")
        .arg(CareCounter::valueText(Kind::Volume, inRun), now.summary());
}

QString PumpCare::setLimits(const std::array<QString, CareCounter::kCount> &texts)
{
    if (!hasAdapter())
        return QStringLiteral("尚未打开通信端口，没有可设定限值的泵");
    std::array<std::optional<double>, CareCounter::kCount> limits{};
    for (const Kind kind : CareCounter::kAll) {
        QString problem;
        limits[int(kind)] = CareBook::parseLimit(kind, texts[int(kind)], &problem);
        if (!problem.isEmpty())
            return problem;
    }
    if (limits == m_book.limits)
        return {};
    m_book.limits = limits;
    // A limit raised or lowered sets the level anew; a part over a new lower limit is said.
    for (const Kind kind : CareCounter::kAll)
        m_levels[int(kind)] = std::min(m_levels[int(kind)], m_book.level(kind));
    counted();
    updateState();
    writeNow();
    return {};
}

void PumpCare::serviced(Kind kind, const QString &who, const QString &remark)
{
    if (!hasAdapter())
        return;
    m_tally.advance(now());
    counted();
    const QString before = CareCounter::valueText(kind, m_tally.value(kind));
    m_tally.reset(kind);
    m_book.values = m_tally.values();
    m_book.services[int(kind)] = {m_wall ? m_wall() : QDateTime::currentDateTime(), who, remark};
    m_levels[int(kind)] = m_book.level(kind);
    m_session->logEvent("care-reset", QStringLiteral("%1：%2 归零（%3%4）")
                                          .arg(CareCounter::name(kind), before,
                                               who.isEmpty() ? QStringLiteral("未指定操作员") : who,
                                               remark.isEmpty() ? QString()
                                                                : QStringLiteral("；") + remark));
    Q_EMIT counterReset(kind, before, remark);
    updateState();
    writeNow();
}
