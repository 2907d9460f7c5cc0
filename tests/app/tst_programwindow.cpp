#include "app/programplot.h"
#include "app/programstepdialog.h"
#include "app/programwindow.h"
#include "program/programfile.h"
#include "program/programrunner.h"
#include "tests/support/scriptedboxes.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

// The program window: steps edited by keyboard and checked by the program file's reading, a
// file saved and opened again, a refused file, a runner followed, and the plot's scale.
class TestProgramWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editByKeyboardSaveAndReopen();
    void refusedFileKeepsTheProgram();
    void followsTheRunner();
    void plotScale();
    void plotShowsWhatRan();
};

namespace {

using Kind = ProgramStep::Kind;
enum Choice { ChooseSet, ChooseRamp, ChooseHold, ChooseRun, ChooseStop, ChooseRepeat };

ProgramStep step(Kind kind, std::optional<int> flow = {}, std::optional<int> limit = {},
                 int seconds = 0)
{
    ProgramStep made;
    made.kind = kind;
    made.flow = flow;
    made.limit = limit;
    made.seconds = seconds;
    return made;
}

ProgramStep repeat(int times, std::vector<ProgramStep> steps)
{
    ProgramStep made;
    made.kind = Kind::Repeat;
    made.times = times;
    made.steps = std::move(steps);
    return made;
}

struct Shown
{
    explicit Shown(ProgramWindow &window) : window(window)
    {
        window.show();
        window.activateWindow();
        ready = QTest::qWaitForWindowActive(&window);
        tree = window.findChild<QTreeWidget *>(QStringLiteral("programSteps"));
        dialog = window.findChild<ProgramStepDialog *>(QStringLiteral("programStepDialog"));
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        // The step box took the activation with it; the keys are the list's once it is back.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key(key), modifiers);
    }
    // Answers the step box that the key opened, by keyboard where it counts.
    bool answer(int kind, int flow = -1, int tenths = -1, int seconds = 0, int times = 1)
    {
        if (!dialog->isVisible())
            return false;
        // Activated as the window manager would; the offscreen screen activates nothing.
        dialog->activateWindow();
        if (!QTest::qWaitFor([this] { return QApplication::activeWindow() == dialog; }))
            return false;
        dialog->findChild<QComboBox *>(QStringLiteral("stepKind"))->setCurrentIndex(kind);
        dialog->findChild<QSpinBox *>(QStringLiteral("stepFlow"))->setValue(flow);
        dialog->findChild<QDoubleSpinBox *>(QStringLiteral("stepLimit"))->setValue(tenths / 10.0);
        dialog->findChild<QSpinBox *>(QStringLiteral("stepSeconds"))->setValue(seconds);
        dialog->findChild<QSpinBox *>(QStringLiteral("stepTimes"))->setValue(times);
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        return !dialog->isVisible();
    }
    QString status() const
    {
        return window.findChild<QLabel *>(QStringLiteral("programStatus"))->text();
    }

    ProgramWindow &window;
    bool ready = false;
    QTreeWidget *tree = nullptr;
    ProgramStepDialog *dialog = nullptr;
};

QTreeWidgetItem *highlighted(QTreeWidget *tree)
{
    QTreeWidgetItem *found = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->font(0).bold()) {
            if (found)
                return nullptr; // only ever one
            found = *it;
        }
    }
    return found;
}

} // namespace

void TestProgramWindow::editByKeyboardSaveAndReopen()
{
    ScriptedBoxes boxes;
    ProgramWindow window(&boxes);
    Shown shown(window);
    QVERIFY(shown.ready);

    shown.key(Qt::Key_Insert);
    QVERIFY(shown.answer(ChooseSet, 100, 15));
    shown.key(Qt::Key_Insert);
    QVERIFY(shown.answer(ChooseRamp, 500, -1, 60));
    shown.tree->setCurrentItem(shown.tree->topLevelItem(0));
    shown.key(Qt::Key_Insert);
    QVERIFY(shown.answer(ChooseRun)); // set, run, ramp
    shown.key(Qt::Key_Down, Qt::ControlModifier);
    shown.key(Qt::Key_D, Qt::ControlModifier);
    shown.key(Qt::Key_Delete); // set, ramp, run
    QCOMPARE(shown.tree->currentItem()->text(0), QStringLiteral("运行"));

    // A ramp moved before the set of its flow has nothing to ramp from.
    const Program before = window.program();
    shown.tree->setCurrentItem(shown.tree->topLevelItem(0));
    shown.key(Qt::Key_Down, Qt::ControlModifier);
    QVERIFY2(shown.status().contains(QStringLiteral("渐变之前程序还没有设定流量")),
             qPrintable(shown.status()));
    QCOMPARE(window.program(), before);
    QCOMPARE(shown.tree->topLevelItem(0)->text(0),
             QStringLiteral("设定 流量 100 ml/min 限压 1.5 MPa"));

    // A repeat takes in the step it is added at; five of them nest too deep.
    shown.tree->setCurrentItem(shown.tree->topLevelItem(1));
    shown.key(Qt::Key_Insert);
    QVERIFY(shown.answer(ChooseRepeat, -1, -1, 0, 3));
    for (int i = 0; i < 4; ++i) {
        shown.key(Qt::Key_Insert);
        QVERIFY(shown.answer(ChooseRepeat, -1, -1, 0, 2));
    }
    QVERIFY2(shown.status().contains(QStringLiteral("重复最多嵌套")), qPrintable(shown.status()));
    QTreeWidgetItem *inner = shown.tree->topLevelItem(1);
    QCOMPARE(inner->text(0), QStringLiteral("重复 2 次"));
    for (int i = 0; i < 3; ++i)
        inner = inner->child(0);
    QCOMPARE(inner->text(0), QStringLiteral("重复 3 次"));
    QCOMPARE(inner->child(0)->text(0), QStringLiteral("斜坡 至 流量 500 ml/min 用时 60 秒"));

    // The end block's branch takes its first step; Return changes the set.
    QTreeWidgetItem *end = shown.tree->topLevelItem(shown.tree->topLevelItemCount() - 1);
    QCOMPARE(end->text(0), QStringLiteral("结束时"));
    shown.tree->setCurrentItem(end);
    shown.key(Qt::Key_Insert);
    QVERIFY(shown.answer(ChooseStop));
    // Every edit builds the tree anew: the branch is looked up again.
    end = shown.tree->topLevelItem(shown.tree->topLevelItemCount() - 1);
    QCOMPARE(end->childCount(), 1);
    shown.tree->setCurrentItem(shown.tree->topLevelItem(0));
    shown.key(Qt::Key_Return);
    QVERIFY(shown.answer(ChooseSet, 120, 15));
    window.findChild<QComboBox *>(QStringLiteral("programPolicy"))->setCurrentIndex(1);
    window.findChild<QSpinBox *>(QStringLiteral("programPump"))->setValue(7);

    Program wanted;
    wanted.pump = 7;
    wanted.onLinkLost = Program::OnLinkLost::End;
    ProgramStep nested = repeat(3, {step(Kind::Ramp, 500, {}, 60)});
    for (int i = 0; i < 3; ++i)
        nested = repeat(2, {nested});
    wanted.steps = {step(Kind::Set, 120, 15), nested, step(Kind::Run)};
    wanted.end = {step(Kind::Stop)};
    QCOMPARE(window.program(), wanted);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("start-up.json"));
    boxes.answers = {path};
    window.findChild<QPushButton *>(QStringLiteral("programSave"))->click();
    QCOMPARE(ProgramFile::readFile(path).program, std::optional<Program>(wanted));

    ProgramWindow reopened(&boxes);
    boxes.answers = {path};
    reopened.findChild<QPushButton *>(QStringLiteral("programOpen"))->click();
    QTRY_COMPARE(reopened.program(), wanted);
    QVERIFY(boxes.messages.isEmpty());
}

void TestProgramWindow::refusedFileKeepsTheProgram()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"format": 1, "pump": 3, "onLinkLost": "pause",
                   "steps": [{"set": {"flow": 100}}, {"ramp": {"limit": 1.5, "seconds": 10}}]})");
    file.close();

    ScriptedBoxes boxes;
    ProgramWindow window(&boxes);
    Program program;
    program.steps = {step(Kind::Set, 50, 10), step(Kind::Hold, {}, {}, 30)};
    QVERIFY(window.setProgram(program));
    boxes.answers = {path};
    window.findChild<QPushButton *>(QStringLiteral("programOpen"))->click();
    QTRY_COMPARE(boxes.messages.size(), 1);
    QVERIFY2(boxes.messages[0].prompt.contains(QStringLiteral("steps[1].ramp.limit")),
             qPrintable(boxes.messages[0].prompt));
    QCOMPARE(window.program(), program);
    const auto *tree = window.findChild<QTreeWidget *>(QStringLiteral("programSteps"));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("保持 30 秒"));
}

void TestProgramWindow::followsTheRunner()
{
    Program program;
    program.steps = {step(Kind::Set, 100, 15), step(Kind::Run),
                     repeat(2, {step(Kind::Hold, {}, {}, 10), step(Kind::Ramp, 200, {}, 10)}),
                     step(Kind::Stop)};
    program.end = {step(Kind::Set, 0), step(Kind::Stop)};
    qint64 now = 0;
    ProgramRunner runner(program, [&now] { return now; });
    ScriptedBoxes boxes;
    ProgramWindow window(&boxes);
    Shown shown(window);
    QVERIFY(shown.ready);
    QVERIFY(window.setProgram(program));
    window.setRunner(&runner);
    const auto button = [&window](const char *name) {
        return window.findChild<QPushButton *>(QLatin1String(name));
    };
    const auto label = [&window](const char *name) {
        return window.findChild<QLabel *>(QLatin1String(name))->text();
    };
    QCOMPARE(label("programTime"), QStringLiteral("程序共 0:40"));
    QSignalSpy starts(&window, &ProgramWindow::startRequested);
    button("programStart")->click();
    QCOMPARE(starts.size(), 1);
    QCOMPARE(starts[0][0].value<Program>(), program);

    QVERIFY(runner.start());
    window.refresh();
    QTreeWidgetItem *repeated = shown.tree->topLevelItem(2);
    QCOMPARE(highlighted(shown.tree), repeated->child(0));
    QCOMPARE(label("programTime"), QStringLiteral("本步剩余 0:10，程序剩余 0:40"));
    QVERIFY(!button("programStart")->isEnabled() && button("programPause")->isEnabled() &&
            !button("programContinue")->isEnabled() && button("programEnd")->isEnabled());
    QVERIFY(!window.findChild<QLineEdit *>(QStringLiteral("programName"))->isEnabled());
    shown.key(Qt::Key_Insert);
    shown.key(Qt::Key_Delete);
    QVERIFY(!shown.dialog->isVisible());
    QCOMPARE(window.program(), program);

    // The second pass of the repeat lights the same rows as the first.
    now = 15'000;
    runner.tick();
    window.refresh();
    QCOMPARE(highlighted(shown.tree), repeated->child(1));
    QCOMPARE(label("programTime"), QStringLiteral("本步剩余 0:05，程序剩余 0:25"));
    QCOMPARE(runner.plan().secondOf(runner.position()), std::optional<qint64>(15));
    now = 25'000;
    runner.tick();
    window.refresh();
    QCOMPARE(highlighted(shown.tree), repeated->child(0));
    QCOMPARE(label("programTime"), QStringLiteral("本步剩余 0:05，程序剩余 0:15"));

    runner.pause(); // followed without a refresh
    QVERIFY(button("programContinue")->isEnabled() && !button("programPause")->isEnabled());
    QVERIFY(label("programState").startsWith(QStringLiteral("已暂停")));
    runner.end();
    QCOMPARE(runner.state(), ProgramRunner::State::Ended);
    QCOMPARE(runner.stepsLeftAt(), std::optional<qint64>(25)); // where the plot's plan stops
    QVERIFY(button("programStart")->isEnabled() && !button("programEnd")->isEnabled());
    QVERIFY(window.findChild<QLineEdit *>(QStringLiteral("programName"))->isEnabled());
    QCOMPARE(highlighted(shown.tree), nullptr);

    window.offerInterrupted(QStringLiteral("上次的程序在第 3 步中断"), false, false);
    QVERIFY(button("programResume")->isHidden() && button("programRunEnd")->isVisible());
    QVERIFY(button("programStopPump")->isHidden());
    // An end block that cannot run: a plain stop in its place.
    window.offerInterrupted(QStringLiteral("上次的程序在第 3 步中断；无法接着运行"), false, true);
    QSignalSpy stops(&window, &ProgramWindow::stopPumpRequested);
    button("programStopPump")->click();
    QCOMPARE(stops.size(), 1);
    QSignalSpy runEnds(&window, &ProgramWindow::runEndRequested);
    button("programRunEnd")->click();
    QCOMPARE(runEnds.size(), 1);
    window.clearOffer();
    QVERIFY(!button("programRunEnd")->isVisible());
}

void TestProgramWindow::plotScale()
{
    const QRectF area(10, 20, 600, 300);
    const ProgramPlot::Scale hour = ProgramPlot::scale(area, 3600, 430, 1.5);
    QVERIFY(hour.minutes);
    QCOMPARE(hour.flowTop, 500.0);
    QCOMPARE(hour.mpaTop, 1.5);
    QCOMPARE(hour.x(0), area.left());
    QCOMPARE(hour.x(3600), area.right());
    QCOMPARE(hour.flowY(0), area.bottom());
    QCOMPARE(hour.flowY(500), area.top());
    QCOMPARE(hour.mpaY(0.75), area.center().y());

    // Readings over the limit raise its axis; a short program reads in seconds, ending on a tick.
    const ProgramPlot::Scale short90 = ProgramPlot::scale(area, 90, 100, 1.7);
    QVERIFY(!short90.minutes);
    QCOMPARE(short90.mpaTop, 2.0);
    QCOMPARE(short90.seconds, 100.0);
    QCOMPARE(short90.x(50), area.center().x());

    // An empty program still has axes to draw.
    const ProgramPlot::Scale empty = ProgramPlot::scale(area, 0, 0, 0);
    QVERIFY(empty.seconds > 0 && empty.flowTop > 0 && empty.mpaTop > 0);
}

// A program whose wait ended early at 20 s and that was ended at 45 s of its 100 s of steps:
// readings where they were taken, and the plan's lines stop where its steps were left, to go
// on with the end block.
void TestProgramWindow::plotShowsWhatRan()
{
    ProgramPlot plot;
    plot.resize(640, 320);
    plot.setPlan({{0, 120, 15}, {100, 120, 15}, {100, 50, 15}, {120, 50, 15}}, 120);
    for (qint64 second = 0; second <= 20; ++second)
        plot.addReading(second, 1.0);
    // The wait's 40 s are passed over at once: the next reading comes at the plan's 60 s.
    for (qint64 second = 60; second <= 65; ++second)
        plot.addReading(second, 1.0);
    for (qint64 second = 100; second <= 110; ++second)
        plot.addReading(second, 0.4);
    plot.setSkipped(45, 100);
    const QImage image = plot.grab().toImage();
    const QRectF area = ProgramPlot::plotArea(plot.rect());
    const ProgramPlot::Scale scale = ProgramPlot::scale(area, 120, 120, 1.5);
    // Whether a colour is anywhere in the column of that second.
    const auto inColumn = [&](qint64 second, const QColor &color) {
        const int x = qRound(scale.x(double(second)));
        for (int y = int(area.top()) + 1; y < int(area.bottom()); ++y)
            if (image.pixelColor(x, y) == color)
                return true;
        return false;
    };
    const QColor reading(200, 0, 0);
    const QColor flow(0, 90, 200);
    QVERIFY(inColumn(10, reading) && inColumn(62, reading) && inColumn(105, reading));
    for (qint64 second : {30, 50, 80, 90})
        QVERIFY2(!inColumn(second, reading), qPrintable(QString::number(second)));
    QVERIFY(inColumn(40, flow) && inColumn(110, flow));
    for (qint64 second : {55, 70, 95})
        QVERIFY2(!inColumn(second, flow), qPrintable(QString::number(second)));
}

QTEST_MAIN(TestProgramWindow)
#include "tst_programwindow.moc"
