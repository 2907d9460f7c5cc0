#include "program/programeditor.h"
#include "program/programfile.h"

#include <QTest>

// The program's editing: each edit at the top level, inside a repeat and in the end block, and
// what the program file's reading refuses (nesting, the planned steps, a ramp with nothing to
// ramp from, the end block's rules), leaving the program as it was.
class TestProgramEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void edit_data();
    void edit();
    void fieldsAndSaving();
};

namespace {

using Outcome = ProgramEditor::Edit::Outcome;
enum Operation { Add, Change, Remove, Up, Down, Duplicate };

// Steps and end block as the file writes them; a program without steps is read with one and
// then left without it, as the editor holds one.
Program programOf(const QString &steps, const QString &end = QStringLiteral("[]"))
{
    const bool none = steps == u"[]";
    const QString text = QStringLiteral(R"({"format": 1, "pump": 0, "onLinkLost": "pause",
                                            "steps": %1, "end": %2})")
                             .arg(none ? QStringLiteral(R"([{"hold": {"seconds": 0}}])") : steps,
                                  end);
    const ProgramFile::Loaded loaded = ProgramFile::read(text.toUtf8());
    if (!loaded.program)
        qFatal("%s", qPrintable(loaded.problem));
    Program program = *loaded.program;
    if (none)
        program.steps.clear();
    return program;
}

// A step as the step box gives it: a repeat comes without steps.
ProgramStep stepOf(const QString &step)
{
    if (step.isEmpty())
        return {};
    ProgramStep made = programOf(QStringLiteral("[%1]").arg(step)).steps.front();
    made.steps.clear();
    return made;
}

const QString kBase = QStringLiteral(
    R"([{"set": {"flow": 100, "limit": 1.5}}, {"run": true},
        {"repeat": {"times": 2, "steps": [{"hold": {"seconds": 10}},
                                          {"ramp": {"flow": 200, "seconds": 10}}]}},
        {"stop": true}])");
const QString kBaseEnd = QStringLiteral(R"([{"set": {"flow": 0}}, {"stop": true}])");
const QString kHold = QStringLiteral(R"({"hold": {"seconds": 5}})");
const QString kRepeat = QStringLiteral(R"({"repeat": {"times": 3, "steps": [{"run": true}]}})");

QString baseWith(const QString &before, const QString &after)
{
    if (!kBase.contains(before))
        qFatal("no %s in the program", qPrintable(before));
    return QString(kBase).replace(before, after);
}

} // namespace

void TestProgramEditor::edit_data()
{
    QTest::addColumn<Program>("start");
    QTest::addColumn<int>("operation");
    QTest::addColumn<QList<int>>("chosen");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<Program>("wanted"); // as it was unless made
    QTest::addColumn<QList<int>>("place");
    QTest::addColumn<QString>("problem");

    const Program base = programOf(kBase, kBaseEnd);
    const QString set = QStringLiteral(R"({"set": {"flow": 100, "limit": 1.5}}, )");
    const QString hold10 = QStringLiteral(R"({"hold": {"seconds": 10}})");
    const QString ramp = QStringLiteral(R"({"ramp": {"flow": 200, "seconds": 10}})");
    const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };
    const auto made = int(Outcome::Made), refused = int(Outcome::Refused),
               nothing = int(Outcome::Nothing);

    row("add after a top step") << base << int(Add) << QList<int>{0, 0} << kHold << made
        << programOf(baseWith(set, set + kHold + QStringLiteral(", ")), kBaseEnd) << QList<int>{0, 1} << "";
    row("add with nothing chosen") << base << int(Add) << QList<int>{} << kHold << made
        << programOf(baseWith(QStringLiteral(R"({"stop": true}])"),
                              QStringLiteral(R"({"stop": true}, )") + kHold + u']'), kBaseEnd)
        << QList<int>{0, 4} << "";
    row("add at the end block's branch") << base << int(Add) << QList<int>{1} << kHold << made
        << programOf(kBase, u'[' + kHold + QStringLiteral(", ") + kBaseEnd.mid(1)) << QList<int>{1, 0} << "";
    row("add inside a repeat") << base << int(Add) << QList<int>{0, 2, 1} << kHold << made
        << programOf(baseWith(ramp, ramp + QStringLiteral(", ") + kHold), kBaseEnd) << QList<int>{0, 2, 2}
        << "";
    row("add to a program without steps") << programOf(QStringLiteral("[]")) << int(Add)
        << QList<int>{1} << kHold << made << programOf(u'[' + kHold + u']') << QList<int>{0, 0}
        << "";
    row("add run to the end block") << base << int(Add) << QList<int>{1, 0}
        << QStringLiteral(R"({"run": true})") << refused << base << QList<int>{}
        << "结束段只能有";
    row("a repeat takes in the chosen step") << base << int(Add) << QList<int>{0, 1} << kRepeat
        << made << programOf(baseWith(QStringLiteral(R"({"run": true},)"), kRepeat + u','),
                             kBaseEnd)
        << QList<int>{0, 1} << "";
    row("a repeat with nothing chosen") << base << int(Add) << QList<int>{} << kRepeat << refused
        << base << QList<int>{} << "请先选中一个步骤";
    row("a fifth repeat deep") << programOf(QStringLiteral(
        R"([{"repeat": {"times": 2, "steps": [{"repeat": {"times": 2, "steps": [{"repeat":
            {"times": 2, "steps": [{"repeat": {"times": 2, "steps": [{"run": true}]}}]}}]}}]}}])"))
        << int(Add) << QList<int>{0, 0, 0, 0, 0, 0} << kRepeat << refused
        << Program() << QList<int>{} << "重复最多嵌套 4 层";
    row("change a step") << base << int(Change) << QList<int>{0, 2, 0} << kHold << made
        << programOf(baseWith(hold10, kHold), kBaseEnd) << QList<int>{0, 2, 0} << "";
    row("change a repeat's count") << base << int(Change) << QList<int>{0, 2} << kRepeat << made
        << programOf(baseWith(QStringLiteral(R"("times": 2)"), QStringLiteral(R"("times": 3)")),
                     kBaseEnd)
        << QList<int>{0, 2} << "";
    row("remove inside a repeat") << base << int(Remove) << QList<int>{0, 2, 0} << "" << made
        << programOf(baseWith(hold10 + QStringLiteral(","), QString()), kBaseEnd) << QList<int>{0, 2, 0} << "";
    row("remove the last step") << base << int(Remove) << QList<int>{0, 3} << "" << made
        << programOf(baseWith(QStringLiteral(R"(]}},
        {"stop": true}])"), QStringLiteral("]}}]")),
                     kBaseEnd)
        << QList<int>{0, 2} << "";
    row("remove the end block's only step") << programOf(kBase, QStringLiteral(R"([{"stop": true}])"))
        << int(Remove) << QList<int>{1, 0} << "" << made << programOf(kBase) << QList<int>{1}
        << "";
    row("remove the end block's stop") << base << int(Remove) << QList<int>{1, 1} << "" << refused
        << base << QList<int>{} << "结束段应以 stop 步骤结束";
    row("remove a repeat's only step") << programOf(QStringLiteral(
        R"([{"repeat": {"times": 2, "steps": [{"run": true}]}}])")) << int(Remove)
        << QList<int>{0, 0, 0} << "" << refused << Program() << QList<int>{} << "重复没有步骤";
    row("remove at a branch") << base << int(Remove) << QList<int>{1} << "" << nothing << base
        << QList<int>{} << "";
    row("move down") << base << int(Down) << QList<int>{0, 0} << "" << made
        << programOf(baseWith(QStringLiteral(R"({"set": {"flow": 100, "limit": 1.5}}, {"run": true},)"),
                              QStringLiteral(R"({"run": true}, {"set": {"flow": 100, "limit": 1.5}},)")),
                     kBaseEnd)
        << QList<int>{0, 1} << "";
    row("move up inside a repeat") << base << int(Up) << QList<int>{0, 2, 1} << "" << made
        << programOf(QStringLiteral(
                         R"([{"set": {"flow": 100, "limit": 1.5}}, {"run": true},
                             {"repeat": {"times": 2, "steps": [%1, %2]}}, {"stop": true}])")
                         .arg(ramp, hold10),
                     kBaseEnd)
        << QList<int>{0, 2, 0} << "";
    row("move up the first") << base << int(Up) << QList<int>{0, 0} << "" << nothing << base
        << QList<int>{} << "";
    row("move down the last") << base << int(Down) << QList<int>{1, 1} << "" << nothing << base
        << QList<int>{} << "";
    row("ramp before its set") << programOf(QStringLiteral(
        R"([{"set": {"flow": 100}}, {"ramp": {"flow": 200, "seconds": 10}}])"))
        << int(Up) << QList<int>{0, 1} << "" << refused << Program() << QList<int>{}
        << "渐变之前程序还没有设定流量";
    row("duplicate inside a repeat") << base << int(Duplicate) << QList<int>{0, 2, 0} << ""
        << made << programOf(baseWith(hold10, hold10 + QStringLiteral(", ") + hold10), kBaseEnd)
        << QList<int>{0, 2, 1} << "";
    row("duplicate past the planned steps") << programOf(QStringLiteral(
        R"([{"repeat": {"times": 1000, "steps": [{"repeat": {"times": 100,
            "steps": [{"hold": {"seconds": 1}}]}}]}}])"))
        << int(Duplicate) << QList<int>{0, 0, 0, 0} << "" << refused << Program()
        << QList<int>{} << "重复展开后超过 100000 步";
}

void TestProgramEditor::edit()
{
    QFETCH(Program, start);
    QFETCH(int, operation);
    QFETCH(QList<int>, chosen);
    QFETCH(QString, step);
    QFETCH(int, outcome);
    QFETCH(Program, wanted);
    QFETCH(QList<int>, place);
    QFETCH(QString, problem);

    ProgramEditor editor;
    editor.setProgram(start);
    const ProgramStep given = stepOf(step);
    const ProgramEditor::Edit edit = [&] {
        switch (Operation(operation)) {
        case Add:
            return editor.add(chosen, given);
        case Change:
            return editor.change(chosen, given);
        case Remove:
            return editor.remove(chosen);
        case Up:
            return editor.move(chosen, -1);
        case Down:
            return editor.move(chosen, 1);
        case Duplicate:
            return editor.duplicate(chosen);
        }
        return ProgramEditor::Edit{};
    }();
    QCOMPARE(int(edit.outcome), outcome);
    QVERIFY2(edit.problem.contains(problem), qPrintable(edit.problem));
    QCOMPARE(edit.problem.isEmpty(), problem.isEmpty());
    if (outcome != int(Outcome::Made)) {
        QCOMPARE(editor.program(), start);
        return;
    }
    QCOMPARE(editor.program(), wanted);
    QCOMPARE(edit.place, place);
    QVERIFY(edit.changed);
}

void TestProgramEditor::fieldsAndSaving()
{
    ProgramEditor editor;
    // Without steps: its fields and end block are written first, but it is not saved.
    const ProgramEditor::Edit pump = editor.setPump(7, {});
    QCOMPARE(pump.outcome, Outcome::Made);
    QVERIFY(pump.changed);
    QCOMPARE(editor.program().pump, 7);
    QVERIFY(!editor.setPump(7, {}).changed);
    QCOMPARE(editor.setPump(100, {}).outcome, Outcome::Refused);
    QCOMPARE(editor.program().pump, 7);
    QVERIFY(editor.saving().problem.contains(QStringLiteral("程序没有步骤")));

    QCOMPARE(editor.rename(QString(), {}).outcome, Outcome::Nothing);
    QCOMPARE(editor.rename(QStringLiteral("a/b"), {}).outcome, Outcome::Made);
    QCOMPARE(editor.suggestedPath(QString()), QStringLiteral("a_b.json"));
    QCOMPARE(editor.suggestedPath(QStringLiteral("/tmp/x.json")), QStringLiteral("/tmp/x.json"));
    QCOMPARE(editor.setOnLinkLost(Program::OnLinkLost::End, {}).outcome, Outcome::Made);
    QVERIFY(editor.program().steps.empty());

    QCOMPARE(editor.add({}, stepOf(kHold)).outcome, Outcome::Made);
    const ProgramEditor::Saving saving = editor.saving();
    QVERIFY2(saving.problem.isEmpty(), qPrintable(saving.problem));
    QCOMPARE(ProgramFile::read(saving.bytes).program, std::optional<Program>(editor.program()));
    QCOMPARE(editor.program().onLinkLost, Program::OnLinkLost::End);
}

QTEST_MAIN(TestProgramEditor)
#include "tst_programeditor.moc"
