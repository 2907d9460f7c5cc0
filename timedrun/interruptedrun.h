#pragma once

#include "timedrun/runjournal.h"

#include <QObject>

#include <functional>

class PumpSession;
class TimedRunControl;

// Keeps the run journal with the timed run (written when a run starts, removed when it ends)
// and, at the panel's start, tells a run that the panel's last end interrupted: an event line
// and a notice that stays until the pump is commanded or the operator acknowledges it. Nothing
// is sent by itself: only the operator knows whether the pump should still run.
class InterruptedRun : public QObject
{
    Q_OBJECT

public:
    using PumpNumber = std::function<int()>;

    InterruptedRun(RunJournal *journal, TimedRunControl *run, PumpSession *session,
                   PumpNumber pumpNumber, QObject *parent = nullptr);

    // The panel has started: a journal left behind is told.
    void check();
    // The pump was commanded, or the notice acknowledged.
    void settle();

Q_SIGNALS:
    // The notice of an interrupted run; empty once settled.
    void noticeChanged(const QString &text);
    // The journal could not be written or removed.
    void problem(const QString &text);

private:
    void tell(const QString &why);

    RunJournal *m_journal;
    TimedRunControl *m_run;
    PumpSession *m_session;
    PumpNumber m_pumpNumber;
    bool m_interrupted = false;
};
