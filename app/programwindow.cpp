#include "app/programwindow.h"

#include "app/besidepanel.h"
#include "app/programplot.h"
#include "app/programstepdialog.h"
#include "files/atomicfile.h"
#include "platform/modalboxes.h"
#include "program/programfile.h"
#include "program/programlimits.h"
#include "program/programplan.h"
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
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using Kind = ProgramStep::Kind;

namespace {

const QColor kHighlight(255, 236, 150);

QString mpaText(int tenths)
{
    return QString::number(tenths / 10.0, 'f', 1);
}

QString setpointsText(const ProgramStep &step)
{
    QStringList parts;
    if (step.flow)
        parts << QStringLiteral("流量 %1 ml/min").arg(*step.flow);
    if (step.limit)
        parts << QStringLiteral("限压 %1 MPa").arg(mpaText(*step.limit));
    return parts.join(u' ');
}

QString stepText(const ProgramStep &step)
{
    switch (step.kind) {
    case Kind::Set:
        return QStringLiteral("设定 ") + setpointsText(step);
    case Kind::Ramp:
        return QStringLiteral("斜坡 至 %1 用时 %2 秒").arg(setpointsText(step)).arg(step.seconds);
    case Kind::Hold:
        return QStringLiteral("保持 %1 秒").arg(step.seconds);
    case Kind::Run:
        return QStringLiteral("运行");
    case Kind::Stop:
        return QStringLiteral("停止");
    case Kind::Repeat:
        return QStringLiteral("重复 %1 次").arg(step.times);
    case Kind::WaitUntil:
        return QStringLiteral("等待 压力%1 %2 MPa 连续 %3 个读数 超时 %4 秒 %5")
            .arg(step.above ? QStringLiteral("高于") : QStringLiteral("低于"),
                 mpaText(step.valueTenths))
            .arg(step.readings)
            .arg(step.seconds)
            .arg(step.endOnTimeout ? QStringLiteral("后结束程序") : QStringLiteral("后继续"));
    }
    return {};
}

QString durationText(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds = QStringLiteral("%1:%2")
                                       .arg(hours > 0 ? (seconds / 60) % 60 : seconds / 60,
                                            hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
                                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:%2").arg(hours).arg(minutesSeconds) : minutesSeconds;
}

// The list a place's step is in, inside a copy of the program being edited.
std::vector<ProgramStep> &listAt(Program &program, const QList<int> &place)
{
    std::vector<ProgramStep> *list = place.value(0) == 1 ? &program.end : &program.steps;
    for (qsizetype i = 1; i + 1 < place.size(); ++i)
        list = &(*list)[size_t(place[i])].steps;
    return *list;
}

void addItems(QTreeWidgetItem *parent, const std::vector<ProgramStep> &steps,
              const QList<int> &place)
{
    for (size_t i = 0; i < steps.size(); ++i) {
        auto *item = new QTreeWidgetItem(parent, {stepText(steps[i])});
        const QList<int> here = QList<int>(place) << int(i);
        item->setData(0, Qt::UserRole, QVariant::fromValue(here));
        addItems(item, steps[i].steps, here);
    }
}

qint64 plannedDuration(const ProgramStep &step)
{
    const bool timed =
        step.kind == Kind::Ramp || step.kind == Kind::Hold || step.kind == Kind::WaitUntil;
    return timed ? step.seconds : 0;
}

} // namespace

ProgramWindow::ProgramWindow(ModalBoxes *boxes, QWidget *parent)
    : QWidget(parent, Qt::Window), m_boxes(boxes), m_name(new QLineEdit(this)),
      m_pump(new QSpinBox(this)), m_policy(new QComboBox(this)),
      m_open(new QPushButton(tr("打开…"), this)), m_save(new QPushButton(tr("保存…"), this)),
      m_steps(new QTreeWidget(this)), m_dialog(new ProgramStepDialog(this)),
      m_plot(new ProgramPlot(this)), m_offer(new QWidget(this)), m_offerText(new QLabel(m_offer)),
      m_resume(new QPushButton(tr("从中断处继续"), m_offer)),
      m_stopPump(new QPushButton(tr("停止泵"), m_offer)),
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
    connect(m_name, &QLineEdit::editingFinished, this, [this] {
        Program edited = m_program;
        edited.name = m_name->text();
        if (edited != m_program)
            commit(edited, currentPlace());
    });
    connect(m_pump, &QSpinBox::valueChanged, this, [this](int pump) {
        Program edited = m_program;
        edited.pump = pump;
        commit(edited, currentPlace());
    });
    connect(m_policy, &QComboBox::currentIndexChanged, this, [this](int index) {
        Program edited = m_program;
        edited.onLinkLost = index == 0 ? Program::OnLinkLost::Pause : Program::OnLinkLost::End;
        commit(edited, currentPlace());
    });

    m_steps->setObjectName(QStringLiteral("programSteps"));
    m_steps->setHeaderHidden(true);
    m_steps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_steps->setSelectionMode(QAbstractItemView::SingleSelection);
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
    addAction(tr("删除"), "stepRemove", {QKeySequence(Qt::Key_Delete)}, &ProgramWindow::removeStep);
    addAction(tr("上移"), "stepUp", {QKeySequence(Qt::CTRL | Qt::Key_Up)},
              [this] { moveStep(-1); });
    addAction(tr("下移"), "stepDown", {QKeySequence(Qt::CTRL | Qt::Key_Down)},
              [this] { moveStep(1); });
    addAction(tr("复制"), "stepDuplicate", {QKeySequence(Qt::CTRL | Qt::Key_D)},
              &ProgramWindow::duplicateStep);
    editTools->addStretch();
    connect(m_dialog, &QDialog::accepted, this, &ProgramWindow::stepChosen);

    m_plot->setObjectName(QStringLiteral("programPlot"));

    m_offer->setObjectName(QStringLiteral("programOffer"));
    m_offerText->setObjectName(QStringLiteral("programOfferText"));
    m_offerText->setWordWrap(true);
    m_resume->setObjectName(QStringLiteral("programResume"));
    auto *runEnd = new QPushButton(tr("只运行结束段"), m_offer);
    runEnd->setObjectName(QStringLiteral("programRunEnd"));
    connect(m_resume, &QPushButton::clicked, this, &ProgramWindow::resumeRequested);
    connect(runEnd, &QPushButton::clicked, this, &ProgramWindow::runEndRequested);
    m_stopPump->setObjectName(QStringLiteral("programStopPump"));
    connect(m_stopPump, &QPushButton::clicked, this, &ProgramWindow::stopPumpRequested);
    auto *acknowledge = new QPushButton(tr("确认"), m_offer);
    acknowledge->setObjectName(QStringLiteral("programOfferAck"));
    connect(acknowledge, &QPushButton::clicked, this, &ProgramWindow::offerAcknowledged);
    auto *offerRow = new QHBoxLayout(m_offer);
    offerRow->setContentsMargins(0, 0, 0, 0);
    offerRow->addWidget(m_offerText, 1);
    offerRow->addWidget(m_resume);
    offerRow->addWidget(runEnd);
    offerRow->addWidget(m_stopPump);
    offerRow->addWidget(acknowledge);
    m_offer->hide();

    m_start->setObjectName(QStringLiteral("programStart"));
    m_pause->setObjectName(QStringLiteral("programPause"));
    m_continue->setObjectName(QStringLiteral("programContinue"));
    m_end->setObjectName(QStringLiteral("programEnd"));
    connect(m_start, &QPushButton::clicked, this, [this] { emit startRequested(m_program); });
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
    fields->addWidget(m_pump);
    fields->addWidget(m_policy);
    fields->addWidget(m_open);
    fields->addWidget(m_save);
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
    m_program = program;
    m_path = path;
    rebuild({0, 0});
    updatePlan();
    refresh();
    return true;
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
    const auto highlight = [this](QTreeWidgetItem *item) {
        if (item == m_highlighted)
            return;
        for (QTreeWidgetItem *changed : {m_highlighted, item}) {
            if (!changed)
                continue;
            QFont font = changed->font(0);
            font.setBold(changed == item);
            changed->setFont(0, font);
            changed->setBackground(0, changed == item ? QBrush(kHighlight) : QBrush());
        }
        m_highlighted = item;
        if (item)
            m_steps->scrollToItem(item);
    };
    if (!m_runner || m_runner->state() == ProgramRunner::State::Idle) {
        highlight(nullptr);
        m_plot->setSkipped(std::nullopt, 0);
        m_state->setText(tr("未运行"));
        m_time->setText(tr("程序共 %1").arg(durationText(m_plannedSeconds)));
        m_plot->setMarker(std::nullopt);
        return;
    }

    switch (m_runner->state()) {
    case ProgramRunner::State::Idle:
    case ProgramRunner::State::Running:
        m_state->setText(tr("运行中"));
        break;
    case ProgramRunner::State::Paused:
        m_state->setText(tr("已暂停：%1").arg(ProgramRunner::causeText(m_runner->pauseCause())));
        break;
    case ProgramRunner::State::Ending:
        m_state->setText(tr("结束段：%1").arg(ProgramRunner::causeText(m_runner->endCause())));
        break;
    case ProgramRunner::State::Ended:
        m_state->setText(tr("已结束：%1").arg(ProgramRunner::causeText(m_runner->endCause())));
        break;
    }

    const ProgramPlan &plan = m_runner->plan();
    const ProgramPosition position = m_runner->position();
    const bool inEnd = m_runner->inEndBlock();
    const qsizetype index = plan.indexOf(position.path, inEnd);
    const std::optional<qint64> second = m_runner->plan().secondOf(m_runner->position());
    m_plot->setMarker(second);
    m_plot->setSkipped(m_runner->stepsLeftAt(), plan.stepsSeconds());
    if (index < 0 || !second) {
        highlight(nullptr);
        m_time->setText(QString());
        return;
    }
    // A step inside repeats is shown once, whatever the iteration: its place leaves them out.
    Place place{inEnd ? 1 : 0};
    for (qsizetype i = 0; i < position.path.size(); i += 2)
        place.append(position.path[i]);
    highlight(itemAt(place));
    const ProgramPlan::Step &step = (inEnd ? plan.endSteps() : plan.steps())[index];
    const qint64 stepLeft =
        std::max<qint64>(0, plannedDuration(step.step) - position.secondsIntoStep);
    m_time->setText(tr("本步剩余 %1，程序剩余 %2")
                        .arg(durationText(stepLeft),
                             durationText(std::max<qint64>(0, plan.totalSeconds() - *second))));
}

void ProgramWindow::offerInterrupted(const QString &text, bool resumeAllowed, bool stopOffered)
{
    m_offerText->setText(text);
    m_resume->setVisible(resumeAllowed);
    m_stopPump->setVisible(stopOffered);
    m_offer->show();
}

void ProgramWindow::clearOffer()
{
    m_offer->hide();
    m_offerText->clear();
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

bool ProgramWindow::commit(const Program &edited, const Place &select)
{
    // A program with no steps yet is checked as if it began with one that does nothing, so
    // that its fields and end block can be written before its first step.
    Program checked = edited;
    if (checked.steps.empty())
        checked.steps.push_back(ProgramStep{});
    const ProgramFile::Loaded loaded = ProgramFile::read(ProgramFile::write(checked));
    if (!loaded.program) {
        setStatus(tr("未修改：%1").arg(loaded.problem));
        rebuild(currentPlace());
        return false;
    }
    const bool changed = m_program != edited;
    m_program = *loaded.program;
    if (edited.steps.empty())
        m_program.steps.clear();
    setStatus(QString());
    rebuild(select);
    if (changed)
        Q_EMIT programEdited(m_program);
    updatePlan();
    refresh();
    return true;
}

void ProgramWindow::rebuild(const Place &select)
{
    m_highlighted = nullptr;
    m_steps->clear();
    addItems(m_steps->invisibleRootItem(), m_program.steps, {0});
    auto *end = new QTreeWidgetItem(m_steps, {tr("结束时")});
    end->setData(0, Qt::UserRole, QVariant::fromValue(Place{1}));
    addItems(end, m_program.end, {1});
    m_steps->expandAll();
    if (QTreeWidgetItem *item = itemAt(select))
        m_steps->setCurrentItem(item);

    const QSignalBlocker nameBlocker(m_name);
    const QSignalBlocker pumpBlocker(m_pump);
    const QSignalBlocker policyBlocker(m_policy);
    m_name->setText(m_program.name);
    m_pump->setValue(m_program.pump);
    m_policy->setCurrentIndex(m_program.onLinkLost == Program::OnLinkLost::Pause ? 0 : 1);
    setWindowTitle(m_program.name.isEmpty() ? tr("泵程序") : tr("泵程序 %1").arg(m_program.name));
}

QTreeWidgetItem *ProgramWindow::itemAt(const Place &place) const
{
    if (place.isEmpty())
        return nullptr;
    QTreeWidgetItem *item = place[0] == 1 ? m_steps->topLevelItem(m_steps->topLevelItemCount() - 1)
                                          : m_steps->invisibleRootItem();
    for (qsizetype i = 1; item && i < place.size(); ++i)
        item = item->child(place[i]);
    return item == m_steps->invisibleRootItem() ? nullptr : item;
}

ProgramWindow::Place ProgramWindow::currentPlace() const
{
    const QTreeWidgetItem *item = m_steps->currentItem();
    return item ? item->data(0, Qt::UserRole).value<Place>() : Place{};
}

bool ProgramWindow::running() const
{
    if (!m_runner)
        return false;
    const ProgramRunner::State state = m_runner->state();
    return state == ProgramRunner::State::Running || state == ProgramRunner::State::Paused ||
           state == ProgramRunner::State::Ending;
}

void ProgramWindow::updateControls()
{
    const ProgramRunner::State state = m_runner ? m_runner->state() : ProgramRunner::State::Idle;
    const bool busy = running();
    m_start->setEnabled(!busy && !m_program.steps.empty());
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
    const ProgramPlan plan = m_runner ? m_runner->plan() : ProgramPlan(m_program);
    m_plot->setPlan(plan.breakpoints(), plan.totalSeconds());
    m_plannedSeconds = plan.totalSeconds();
}

void ProgramWindow::setStatus(const QString &text)
{
    m_status->setText(text);
}

void ProgramWindow::insertStep()
{
    m_editing = false;
    m_dialog->setKindLocked(false);
    m_dialog->open();
}

void ProgramWindow::editStep()
{
    const Place place = currentPlace();
    if (place.size() < 2 || running())
        return;
    Program copy = m_program;
    const ProgramStep &step = listAt(copy, place)[size_t(place.last())];
    m_editing = true;
    m_dialog->setKindLocked(step.kind == Kind::Repeat);
    m_dialog->setStep(step);
    m_dialog->open();
}

void ProgramWindow::stepChosen()
{
    if (running())
        return;
    const ProgramStep chosen = m_dialog->step();
    Program edited = m_program;
    Place place = currentPlace();
    // A new repeat takes in the step it is added at, so that it never stands empty.
    if (chosen.kind == Kind::Repeat || m_editing) {
        if (place.size() < 2) {
            setStatus(tr("未修改：请先选中一个步骤"));
            return;
        }
        ProgramStep &step = listAt(edited, place)[size_t(place.last())];
        if (chosen.kind != Kind::Repeat)
            step = chosen;
        else if (m_editing && step.kind == Kind::Repeat)
            step.times = chosen.times;
        else {
            ProgramStep wrapped = chosen;
            wrapped.steps = {step};
            step = std::move(wrapped);
        }
        commit(edited, place);
        return;
    }
    // Nothing chosen, or only the end block's branch of a program without steps: after the
    // last step.
    if (place.isEmpty() || (place.size() < 2 && edited.steps.empty()))
        place = {0, int(edited.steps.size()) - 1};
    // After the step chosen; at the top of the end block when its own branch is chosen.
    const int at = place.size() < 2 ? 0 : place.last() + 1;
    if (place.size() < 2)
        place.append(0);
    place.last() = at;
    std::vector<ProgramStep> &list = listAt(edited, place);
    list.insert(list.begin() + at, chosen);
    commit(edited, place);
}

void ProgramWindow::removeStep()
{
    Place place = currentPlace();
    if (place.size() < 2)
        return;
    Program edited = m_program;
    std::vector<ProgramStep> &list = listAt(edited, place);
    list.erase(list.begin() + place.last());
    if (list.empty())
        place.removeLast();
    else
        place.last() = std::min(place.last(), int(list.size()) - 1);
    commit(edited, place);
}

void ProgramWindow::moveStep(int by)
{
    Place place = currentPlace();
    if (place.size() < 2)
        return;
    Program edited = m_program;
    std::vector<ProgramStep> &list = listAt(edited, place);
    const int to = place.last() + by;
    if (to < 0 || to >= int(list.size()))
        return;
    std::swap(list[size_t(place.last())], list[size_t(to)]);
    place.last() = to;
    commit(edited, place);
}

void ProgramWindow::duplicateStep()
{
    Place place = currentPlace();
    if (place.size() < 2)
        return;
    Program edited = m_program;
    std::vector<ProgramStep> &list = listAt(edited, place);
    const ProgramStep copy = list[size_t(place.last())];
    list.insert(list.begin() + place.last() + 1, copy);
    place.last() += 1;
    commit(edited, place);
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
    setStatus(tr("正在打开 %1…").arg(QDir::toNativeSeparators(path)));
    ProgramFile::readFileLater(path, this, [this, path](const ProgramFile::Loaded &loaded) {
        if (!loaded.program) {
            setStatus(tr("未能打开 %1").arg(QDir::toNativeSeparators(path)));
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
        setStatus(tr("已打开 %1").arg(QDir::toNativeSeparators(path)));
    });
}

void ProgramWindow::save()
{
    const QByteArray bytes = ProgramFile::write(m_program);
    // What could not be opened again is not saved.
    const ProgramFile::Loaded check = ProgramFile::read(bytes);
    if (!check.program) {
        setStatus(tr("未保存：%1").arg(check.problem));
        return;
    }
    QString name = m_program.name.isEmpty() ? QStringLiteral("program") : m_program.name;
    name.replace(u'/', u'_');
    const QString suggested = m_path.isEmpty() ? name + QStringLiteral(".json") : m_path;
    const QString path =
        m_boxes->saveFileBox(tr("保存程序"), suggested, tr("程序文件 (*.json)"), this);
    if (path.isEmpty())
        return;
    if (const AtomicFile::Result written = AtomicFile::write(path, bytes); !written) {
        m_boxes->messageBox(
            tr("程序未能保存到 %1：%2").arg(QDir::toNativeSeparators(path), written.reason),
            tr("保存程序"));
        return;
    }
    m_path = path;
    Q_EMIT fileChosen(path);
    setStatus(tr("已保存 %1").arg(QDir::toNativeSeparators(path)));
}
