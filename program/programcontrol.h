#pragma once

#include "program/program.h"
#include "program/programposition.h"
#include "program/programrunner.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class AlarmMonitor;
class PumpSession;
class QTimer;
class RunJournal;

// A pump program as the panel runs it: the runner's frames go out through the pump session
// under the program's name, and the session's readings, link, alarms and every other frame
// (the operator's, the timed run's) reach the runner. Each turn of the program is an event line
// (prog-start, prog-step, prog-pause, prog-continue, prog-end), and its position, with the flow
// and limit last sent, is kept in the run journal at every setpoint sent and at least once a
// second, so that a program the panel's end interrupted is offered at the next start, to go on
// from where it was or to run its end block only (from those setpoints, whatever became of the
// file). An offer that cannot be taken up says why in the program's row, never in a box, and
// offers a plain stop; the pump commanded or the offer acknowledged settles it.
class ProgramControl : public QObject
{
    Q_OBJECT

public:
    // A step is due at a whole second of the program's clock: ticks this often send it at most
    // this late, and the window's times change once a second.
    static constexpr int kTickMs = 40;
    static constexpr qint64 kJournalEveryMs = 1000;
    static inline const QString kJournalKey = QStringLiteral("program");

    // timedRunActive: a timed run counts or is paused, when no program may start.
    ProgramControl(PumpSession *session, AlarmMonitor *alarms, RunJournal *journal,
                   std::function<bool()> timedRunActive, QObject *parent = nullptr);
    ~ProgramControl() override;

    // Only tests give another clock; ticks then come from tick().
    void setClock(ProgramRunner::Clock clock) { m_clock = std::move(clock); }

    // Each returns why not, for a box; empty when done.
    QString start(const Program &program, const QString &path);
    void pause();
    QString continueProgram();
    void end();

    // A program interrupted by the panel's end, found in the journal at start.
    struct Interrupted
    {
        QString name;
        QString path;
        QString stepText;
        ProgramPosition position;
        bool fileChanged = false; // then only the end block may run
        QString endText;          // the end block as a program of its own
        QString problem;          // why it could not be taken up or wound down
    };
    // Reads the journal; true when an interrupted program is offered.
    bool lookForInterrupted();
    const std::optional<Interrupted> &interrupted() const { return m_interrupted; }
    // Each returns why not (also said in the program's row); empty when it runs.
    QString resumeInterrupted();
    QString runInterruptedEnd();
    // In place of an end block that cannot run: the pump's stop, which settles the notice.
    void stopInterrupted();
    // The notice of the interrupted program goes, and the journal with it; the pump commanded
    // does the same.
    void acknowledgeInterrupted();

    void tick();
    // An event line of programs that no runner tells: one loaded or edited in the window.
    void logEvent(const char *key, const QString &text) { log(key, text); }

    const ProgramRunner *runner() const { return m_runner.get(); }
    QString name() const { return m_program.name; }
    // The program's row of the status area; empty when there is nothing to say.
    QString stateText() const;
    // For the published state: "idle", "running", "paused", "ending" or "ended".
    QString stateWord() const;
    QString stepText() const;
    // The same as the program file has it: "steps[2].ramp".
    QString stepKey() const;
    // Where the program is on its plan's time axis (ProgramPlan::secondOf); none when idle.
    std::optional<qint64> programSecond() const;

Q_SIGNALS:
    void changed();
    // runner() is another one, or none.
    void runnerChanged();
    // A current-pressure reading as a number, at the program's second.
    void readingAt(qint64 programSecond, double mpa);

private:
    QString begin(const Program &program, const QString &path,
                  const std::function<bool(ProgramRunner &)> &how);
    void onFrameSent(const QString &frame, const QString &source);
    void onLink(bool open, bool lost);
    ProgramRunner::LimitOnPump limitOnPump() const;
    void keepPosition(bool now);
    void finished();
    QString refuseInterrupted(const QString &why);
    QString source() const;
    void log(const char *key, const QString &text);

    PumpSession *m_session;
    RunJournal *m_journal;
    std::function<bool()> m_timedRunActive;
    ProgramRunner::Clock m_clock;
    QTimer *m_ticker;
    Program m_program;
    QString m_path;
    QByteArray m_fileHash;
    QString m_endText;
    QString m_device; // the line the program runs on
    std::unique_ptr<ProgramRunner> m_runner;
    std::optional<Interrupted> m_interrupted;
    qint64 m_journalledAtMs = 0;
    ProgramPosition m_journalled;
    QString m_warning;         // a warn-only alarm while the program goes on
    QString m_endedInOutage;   // the program the operator ended while its stop is still owed
    qint64 m_shownSecond = -1; // the program's second last told by changed()
};
