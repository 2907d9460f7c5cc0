#include "app/programwindow.h"

#include "app/besidepanel.h"
#include "app/programoffer.h"
#include "app/programplot.h"
#include "app/programstepdialog.h"
#include "app/programsteptree.h"
#include "files/atomicfile.h"
#include "platform/modalboxes.h"
#include "program/programfile.h"
#include "program/programlimits.h"
#include "program/programplan.h"
#include "program/programprogress.h"
#include "program/programrunner.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

ProgramWindow::ProgramWindow(ModalBoxes *boxes, QWidget *parent)
    : QWidget(parent, Qt::Window), m_boxes(boxes), m_name(new QLineEdit(this)),
      m_pump(new QSpinBox(this)), m_policy(new QComboBox(this)),
      m_open(new QPushButton(tr("打开…"), this)), m_save(new QPushButton(tr("保存…"), this)),
      m_steps(new ProgramStepTree(this)), m_dialog(new ProgramStepDialog(this)),
      m_plot(new ProgramPlot(this)), m_offer(new ProgramOffer(this)),
      m_start(new QPushButton(tr("开始"), this)), m_pause(new QPushButton(tr("暂停"), this)),
      m_continue(new QPushButton(tr("继续"), this)), m_end(new QPushButton(tr("结束程序"), this)),
      m_state(new QLabel(this)), m_time(new QLabel(this)), m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("programWindow"));
    setWindowTitle(tr("泵程序"));
    resize(960, 600);

    m_name->setObjectName(QStringLiteral("programName"));
    m_pump->setObjectName(QStringLiteral("programPump"));
    m_pump->setRange(0, ProgramLimits::kHighestPump);
    m_policy->setObjectName(QStringLiteral("programPolicy"));
    m_policy->addItems({tr("断线时暂停"), tr("断线时结束程序")});
    m_open->setObjectName(QStringLiteral("programOpen"));
    m_save->setObjectName(QStringLiteral("programSave"));
    connect(m_open, &QPushButton::clicked, this, &ProgramWindow::open);
    connect(m_save, &QPushButton::clicked, this, &ProgramWindow::save);
    connect(m_name, &QLineEdit::editingFinished, this,
            [this] { apply(m_editor.rename(m_name->text(), m_steps->currentPlace())); });
    connect(m_pump, &QSpinBox::valueChanged, this,
            [this](int pump) { apply(m_editor.setPump(pump, m_steps->currentPlace())); });
    connect(m_policy, &QComboBox::currentIndexChanged, this, [this](int index) {
        apply(m_editor.setOnLinkLost(index == 0 ? Program::OnLinkLost::Pause
                                                : Program::OnLinkLost::End,
                                     m_steps->currentPlace()));
    });

    connect(m_steps, &QTreeWidget::itemDoubleClicked, this, &ProgramWindow::editStep);
    auto *editTools = new QHBoxLayout;
    const auto addAction = [&](const QString &text, const char *name, QList<QKeySequence> keys,
                               auto handler) {
        auto *action = new QAction(text, m_steps);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        // The keys edit the steps while the list has the focus, and type into the fields else.
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, handler);
        m_steps->addAction(action);
        m_editActions.append(action);
        auto *button = new QToolButton(this);
        button->setDefaultAction(action);
        button->setFocusPolicy(Qt::NoFocus);
        editTools->addWidget(button);
    };
    addAction(tr("添加"), "stepInsert", {QKeySequence(Qt::Key_Insert)}, &ProgramWindow::insertStep);
    addAction(tr("修改"), "stepEdit",
              {QKeySequence(Qt::Key_F2), QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
              &ProgramWindow::editStep);
    addAction(tr("删除"), "stepRemove", {QKeySequence(Qt::Key_Delete)},
              [this] { apply(m_editor.remove(m_steps->currentPlace())); });
    addAction(tr("上移"), "stepUp", {QKeySequence(Qt::CTRL | Qt::Key_Up)},
              [this] { apply(m_editor.move(m_steps->currentPlace(), -1)); });
    addAction(tr("下移"), "stepDown", {QKeySequence(Qt::CTRL | Qt::Key_Down)},
              [this] { apply(m_editor.move(m_steps->currentPlace(), 1)); });
    addAction(tr("复制"), "stepDuplicate", {QKeySequence(Qt::CTRL | Qt::Key_D)},
              [this] { apply(m_editor.duplicate(m_steps->currentPlace())); });
    editTools->addStretch();
    connect(m_dialog, &QDialog::accepted, this, &ProgramWindow::stepChosen);

    m_plot->setObjectName(QStringLiteral("programPlot"));

    connect(m_offer, &ProgramOffer::resumeRequested, this, &ProgramWindow::resumeRequested);
    connect(m_offer, &ProgramOffer::runEndRequested, this, &ProgramWindow::runEndRequested);
    connect(m_offer, &ProgramOffer::stopPumpRequested, this, &ProgramWindow::stopPumpRequested);
    connect(m_offer, &ProgramOffer::acknowledged, this, &ProgramWindow::offerAcknowledged);

    m_start->setObjectName(QStringLiteral("programStart"));
    m_pause->setObjectName(QStringLiteral("programPause"));
    m_continue->setObjectName(QStringLiteral("programContinue"));
    m_end->setObjectName(QStringLiteral("programEnd"));
    connect(m_start, &QPushButton::clicked, this,
            [this] { emit startRequested(m_editor.program()); });
    connect(m_pause, &QPushButton::clicked, this, &ProgramWindow::pauseRequested);
    connect(m_continue, &QPushButton::clicked, this, &ProgramWindow::continueRequested);
    connect(m_end, &QPushButton::clicked, this, &ProgramWindow::endRequested);
    m_state->setObjectName(QStringLiteral("programState"));
    m_time->setObjectName(QStringLiteral("programTime"));
    m_status->setObjectName(QStringLiteral("programStatus"));
    m_status->setWordWrap(true);

    auto *fields = new QHBoxLayout;
    fields->addWidget(new QLabel(tr("名称"), this));
    fields->addWidget(m_name, 1);
    fields->addWidget(new QLabel(tr("泵号"), this));
    for (QWidget *field : std::initializer_list<QWidget *>{m_pump, m_policy, m_open, m_save})
        fields->addWidget(field);
    auto *editor = new QWidget(this);
    auto *editorLayout = new QVBoxLayout(editor);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    editorLayout->addLayout(editTools);
    editorLayout->addWidget(m_steps, 1);
    auto *splitter = new QSplitter(this);
    splitter->addWidget(editor);
    splitter->addWidget(m_plot);
    splitter->setStretchFactor(1, 1);
    auto *run = new QHBoxLayout;
    for (QPushButton *button : {m_start, m_pause, m_continue, m_end})
        run->addWidget(button);
    run->addWidget(m_state);
    run->addStretch();
    run->addWidget(m_time);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_offer);
    layout->addLayout(run);
    layout->addWidget(m_status);

    rebuild({});
    updatePlan();
    refresh();
}

bool ProgramWindow::setProgram(const Program &program, const QString &path)
{
    if (running())
        return false;
    m_editor.setProgram(program);
    m_path = path;
    rebuild({0, 0});
    updatePlan();
    refresh();
    return true;
}

ProgramWindow::~ProgramWindow()
{
    // The name's box loses the focus as the window's widgets go, and would have it applied to
    // a window that is no longer there.
    disconnect(m_name, nullptr, this, nullptr);
}

void ProgramWindow::setRunner(const ProgramRunner *runner)
{
    if (m_runner)
        disconnect(m_runner, nullptr, this, nullptr);
    m_runner = runner;
    m_plot->clearReadings();
    if (runner) {
        for (const auto signal : {&ProgramRunner::stepStarted, &ProgramRunner::paused,
                                  &ProgramRunner::endBlockStarted, &ProgramRunner::ended})
            connect(runner, signal, this, &ProgramWindow::refresh);
        connect(runner, &ProgramRunner::continued, this, &ProgramWindow::refresh);
        connect(runner, &QObject::destroyed, this, [this] {
            m_runner = nullptr;
            updatePlan();
            refresh();
        });
    }
    updatePlan();
    refresh();
}

void ProgramWindow::addReading(qint64 programSecond, double mpa)
{
    m_plot->addReading(programSecond, mpa);
}

void ProgramWindow::refresh()
{
    updateControls();
    const ProgramProgress progress = ProgramProgress::of(m_runner, m_plannedSeconds);
    m_state->setText(progress.state);
    m_time->setText(progress.time);
    m_plot->setMarker(progress.second);
    // Where the steps were left early for the end block, the plan's lines stop.
    if (!m_runner || m_runner->state() == ProgramRunner::State::Idle)
        m_plot->setSkipped(std::nullopt, 0);
    else
        m_plot->setSkipped(m_runner->stepsLeftAt(), m_runner->plan().stepsSeconds());
    m_steps->highlight(progress.place);
}

void ProgramWindow::offerInterrupted(const QString &text, bool resumeAllowed, bool stopOffered)
{
    m_offer->offer(text, resumeAllowed, stopOffered);
}

void ProgramWindow::clearOffer()
{
    m_offer->withdraw();
}

void ProgramWindow::showEvent(QShowEvent *event)
{
    // Placed once, before it is first mapped; after that where the operator put it.
    if (!m_placed) {
        m_placed = true;
        BesidePanel::place(this);
    }
    QWidget::showEvent(event);
}

void ProgramWindow::apply(const ProgramEditor::Edit &edit)
{
    switch (edit.outcome) {
    case ProgramEditor::Edit::Outcome::Nothing:
        return;
    case ProgramEditor::Edit::Outcome::Refused:
        m_status->setText(tr("未修改：%1").arg(edit.problem));
        rebuild(m_steps->currentPlace());
        return;
    case ProgramEditor::Edit::Outcome::Made:
        break;
    }
    m_status->setText(QString());
    rebuild(edit.place);
    if (edit.changed)
        Q_EMIT programEdited(m_editor.program());
    updatePlan();
    refresh();
}

void ProgramWindow::rebuild(const Place &select)
{
    const Program &program = m_editor.program();
    m_steps->setProgram(program, select);
    const QSignalBlocker nameBlocker(m_name);
    const QSignalBlocker pumpBlocker(m_pump);
    const QSignalBlocker policyBlocker(m_policy);
    m_name->setText(program.name);
    m_pump->setValue(program.pump);
    m_policy->setCurrentIndex(program.onLinkLost == Program::OnLinkLost::Pause ? 0 : 1);
    setWindowTitle(program.name.isEmpty() ? tr("泵程序") : tr("泵程序 %1").arg(program.name));
}

void ProgramWindow::updateControls()
{
    const ProgramRunner::State state = m_runner ? m_runner->state() : ProgramRunner::State::Idle;
    const bool busy = running();
    m_start->setEnabled(!busy && !m_editor.program().steps.empty());
    m_pause->setEnabled(state == ProgramRunner::State::Running ||
                        state == ProgramRunner::State::Ending);
    m_continue->setEnabled(state == ProgramRunner::State::Paused);
    m_end->setEnabled(busy);
    // The program under way is the one shown: it is not changed beneath the runner.
    for (QWidget *field : {static_cast<QWidget *>(m_name), static_cast<QWidget *>(m_pump),
                           static_cast<QWidget *>(m_policy), static_cast<QWidget *>(m_open)})
        field->setEnabled(!busy);
    for (QAction *action : std::as_const(m_editActions))
        action->setEnabled(!busy);
    if (busy && m_dialog->isVisible())
        m_dialog->reject();
}

void ProgramWindow::updatePlan()
{
    const ProgramPlan plan = m_runner ? m_runner->plan() : ProgramPlan(m_editor.program());
    m_plot->setPlan(plan.breakpoints(), plan.totalSeconds());
    m_plannedSeconds = plan.totalSeconds();
}

void ProgramWindow::insertStep()
{
    m_editing = false;
    m_dialog->setKindLocked(false);
    m_dialog->open();
}

void ProgramWindow::editStep()
{
    const ProgramStep *step = m_editor.stepAt(m_steps->currentPlace());
    if (!step || running())
        return;
    m_editing = true;
    m_dialog->setKindLocked(step->kind == ProgramStep::Kind::Repeat);
    m_dialog->setStep(*step);
    m_dialog->open();
}

void ProgramWindow::stepChosen()
{
    if (running())
        return;
    const ProgramStep chosen = m_dialog->step();
    apply(m_editing ? m_editor.change(m_steps->currentPlace(), chosen)
                    : m_editor.add(m_steps->currentPlace(), chosen));
}

void ProgramWindow::open()
{
    if (running())
        return;
    const QString folder = m_path.isEmpty() ? QString() : QFileInfo(m_path).absolutePath();
    const QString path =
        m_boxes->openFileBox(tr("打开程序"), folder, tr("程序文件 (*.json)"), this);
    if (path.isEmpty())
        return;
    // Read on a thread of its own: a FIFO or a share that hangs never holds up the window, the
    // poll or a run's stop.
    m_status->setText(tr("正在打开 %1…").arg(QDir::toNativeSeparators(path)));
    ProgramFile::readFileLater(path, this, [this, path](const ProgramFile::Loaded &loaded) {
        if (!loaded.program) {
            m_status->setText(tr("未能打开 %1").arg(QDir::toNativeSeparators(path)));
            m_boxes->messageBox(
                tr("程序 %1 未能打开：\n%2").arg(QFileInfo(path).fileName(), loaded.problem),
                tr("打开程序"));
            return;
        }
        if (running())
            return;
        m_path = path;
        Q_EMIT fileChosen(path);
        setProgram(*loaded.program);
        m_status->setText(tr("已打开 %1").arg(QDir::toNativeSeparators(path)));
    });
}

void ProgramWindow::save()
{
    const ProgramEditor::Saving saving = m_editor.saving();
    if (!saving.problem.isEmpty()) {
        m_status->setText(tr("未保存：%1").arg(saving.problem));
        return;
    }
    const QString path = m_boxes->saveFileBox(tr("保存程序"), m_editor.suggestedPath(m_path),
                                              tr("程序文件 (*.json)"), this);
    if (path.isEmpty())
        return;
    if (const AtomicFile::Result written = AtomicFile::write(path, saving.bytes); !written) {
        m_boxes->messageBox(
            tr("程序未能保存到 %1：%2").arg(QDir::toNativeSeparators(path), written.reason),
            tr("保存程序"));
        return;
    }
    m_path = path;
    Q_EMIT fileChosen(path);
    m_status->setText(tr("已保存 %1").arg(QDir::toNativeSeparators(path)));
}
