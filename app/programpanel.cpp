#include "app/programpanel.h"

#include "app/programwindow.h"
#include "app/statusarea.h"
#include "platform/modalboxes.h"
#include "program/programcontrol.h"
#include "program/programfile.h"

#include <QDir>

ProgramPanel::ProgramPanel(PumpSession *session, AlarmMonitor *alarms, RunJournal *journal,
                           std::function<bool()> timedRunActive, ModalBoxes *boxes,
                           StatusArea *area, QWidget *parent)
    : QObject(parent), m_parent(parent), m_boxes(boxes), m_area(area),
      m_control(new ProgramControl(session, alarms, journal, std::move(timedRunActive), this))
{
    connect(m_control, &ProgramControl::changed, this, &ProgramPanel::show);
    // Given only when another runner comes: the window's readings are the runner's.
    connect(m_control, &ProgramControl::runnerChanged, this, [this] {
        if (m_window)
            m_window->setRunner(m_control->runner());
    });
    connect(m_control, &ProgramControl::readingAt, this, [this](qint64 second, double mpa) {
        if (m_window)
            m_window->addReading(second, mpa);
    });
}

ProgramWindow *ProgramPanel::ensureWindow()
{
    if (m_window)
        return m_window;
    m_window = new ProgramWindow(m_boxes, m_parent);
    connect(m_window, &ProgramWindow::startRequested, this,
            [this](const Program &program) { tell(m_control->start(program, m_window->path())); });
    connect(m_window, &ProgramWindow::pauseRequested, m_control, &ProgramControl::pause);
    connect(m_window, &ProgramWindow::continueRequested, this,
            [this] { tell(m_control->continueProgram()); });
    connect(m_window, &ProgramWindow::endRequested, m_control, &ProgramControl::end);
    // The window shows the program that is taken up, before it runs.
    connect(m_window, &ProgramWindow::resumeRequested, this, [this] {
        if (const auto &interrupted = m_control->interrupted();
            interrupted && !interrupted->fileChanged)
            load(interrupted->path);
        // A refusal is said in the offer and the program's row, with a plain stop beside it.
        m_control->resumeInterrupted();
    });
    connect(m_window, &ProgramWindow::runEndRequested, this, [this] {
        if (const auto &interrupted = m_control->interrupted()) {
            if (const ProgramFile::Loaded end = ProgramFile::read(
                    interrupted->endText.toUtf8(), ProgramFile::RampsFrom::SetpointsInForce);
                end.program)
                m_window->setProgram(*end.program);
        }
        m_control->runInterruptedEnd();
    });
    connect(m_window, &ProgramWindow::stopPumpRequested, m_control,
            &ProgramControl::stopInterrupted);
    connect(m_window, &ProgramWindow::offerAcknowledged, m_control,
            &ProgramControl::acknowledgeInterrupted);
    connect(m_window, &ProgramWindow::fileChosen, this, [this](const QString &path) {
        m_control->logEvent(
            "prog-load",
            tr("“%1”：%2").arg(m_window->program().name, QDir::toNativeSeparators(path)));
        Q_EMIT fileChosen(path);
    });
    connect(m_window, &ProgramWindow::programEdited, this, [this](const Program &program) {
        m_control->logEvent("prog-edit", tr("“%1”：%2 步，结束时 %3 步")
                                             .arg(program.name)
                                             .arg(program.steps.size())
                                             .arg(program.end.size()));
    });
    m_window->setRunner(m_control->runner());
    show();
    return m_window;
}

void ProgramPanel::showWindow()
{
    ProgramWindow *window = ensureWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

QString ProgramPanel::load(const QString &path)
{
    const ProgramFile::Loaded loaded = ProgramFile::readFile(path);
    if (!loaded.program)
        return loaded.problem;
    ensureWindow()->setProgram(*loaded.program, path);
    m_control->logEvent(
        "prog-load",
        tr("“%1”：%2（载入）").arg(loaded.program->name, QDir::toNativeSeparators(path)));
    return {};
}

void ProgramPanel::lookForInterrupted()
{
    m_control->lookForInterrupted();
    show();
}

void ProgramPanel::tell(const QString &failure)
{
    if (!failure.isEmpty())
        m_boxes->messageBox(failure, tr("程序"));
}

void ProgramPanel::show()
{
    m_area->setLine(StatusArea::Line::Program, m_control->stateText());
    if (m_window) {
        if (const auto &interrupted = m_control->interrupted(); interrupted && !m_control->runner())
            m_window->offerInterrupted(m_control->stateText(), !interrupted->fileChanged,
                                       !interrupted->problem.isEmpty());
        else
            m_window->clearOffer();
        m_window->refresh();
    }
    Q_EMIT changed();
}
