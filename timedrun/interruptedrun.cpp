#include "timedrun/interruptedrun.h"

#include "session/pumpsession.h"
#include "timedrun/timedruncontrol.h"

#include <utility>

InterruptedRun::InterruptedRun(RunJournal *journal, TimedRunControl *run, PumpSession *session,
                               PumpNumber pumpNumber, QObject *parent)
    : QObject(parent), m_journal(journal), m_run(run), m_session(session),
      m_pumpNumber(std::move(pumpNumber))
{
    connect(run, &TimedRunControl::runStarted, this, [this] {
        tell(m_journal->write({m_run->run().timeset(), m_run->startedAt(), m_session->device(),
                               m_pumpNumber()}));
    });
    // Its stop went out, or is the one owed: the run no longer outlives the panel.
    connect(run, &TimedRunControl::runEnded, this, [this] { tell(m_journal->clear()); });
    connect(session, &PumpSession::pumpCommanded, this, &InterruptedRun::settle);
}

void InterruptedRun::check()
{
    const QString text = RunJournal::interruptedText(m_journal->read(), m_journal->path());
    if (text.isEmpty())
        return;
    m_interrupted = true;
    Q_EMIT noticeChanged(text);
    m_session->logEvent("run-interrupted", text);
}

void InterruptedRun::settle()
{
    if (!std::exchange(m_interrupted, false))
        return;
    Q_EMIT noticeChanged(QString());
    // A run started since keeps its own journal.
    if (!m_run->startedAt().isValid())
        tell(m_journal->clear());
}

void InterruptedRun::tell(const QString &why)
{
    if (!why.isEmpty())
        Q_EMIT problem(why);
}
