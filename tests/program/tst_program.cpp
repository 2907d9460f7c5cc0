#include "program/programfile.h"
#include "program/programplan.h"
#include "program/programrunner.h"

#include <QTest>

namespace {

using State = ProgramRunner::State;
using Cause = ProgramRunner::Cause;

const QByteArray kExample =
    R"({"format": 1, "name": "column start-up", "pump": 7, "onLinkLost": "pause",
 "steps": [{"set": {"flow": 100, "limit": 1.5}}, {"run": true},
           {"ramp": {"flow": 500, "seconds": 60}}, {"hold": {"seconds": 600}},
           {"repeat": {"times": 3, "steps": [{"ramp": {"limit": 1.8, "seconds": 30}},
                                             {"ramp": {"limit": 1.5, "seconds": 30}}]}},
           {"waitUntil": {"pressure": "above", "value": 1.2, "readings": 3, "timeoutSeconds": 120,
                          "onTimeout": "continue"}}],
 "end": [{"ramp": {"flow": 0, "seconds": 30}}, {"stop": true}]})";

QByteArray programText(const QString &steps, const QString &end = QStringLiteral("[]"),
                       const QString &onLinkLost = QStringLiteral("pause"))
{
    return QStringLiteral(R"({"format": 1, "pump": 7, "onLinkLost": "%3", "steps": %1, "end": %2})")
        .arg(steps, end, onLinkLost)
        .toUtf8();
}

Program load(const QByteArray &text)
{
    const ProgramFile::Loaded loaded = ProgramFile::read(text);
    if (!loaded.program)
        qWarning() << loaded.problem;
    return loaded.program.value_or(Program{});
}

// A runner on a clock of the test's own, ticked four times a second. Frames are kept as
// "second:letter and value".
struct Bench
{
    explicit Bench(const Program &program) : runner(program, [this] { return now; })
    {
        QObject::connect(&runner, &ProgramRunner::send, [this](const QString &frame) {
            sent << frame;
            frames << QString::number(now / 1000) + u':' + frame.mid(3, 5);
        });
    }

    void tickTo(qint64 ms)
    {
        while (now < ms) {
            now = std::min(now + 250, ms);
            runner.tick();
        }
    }

    // "12" ticks on to second 12; "!12" jumps there in one tick; "N1.3" is a reading.
    void play(const QString &script)
    {
        for (const QString &word : script.split(u' ', Qt::SkipEmptyParts)) {
            if (word.startsWith(u'!')) {
                now = word.mid(1).toLongLong() * 1000;
                runner.tick();
            } else if (word.startsWith(u'N')) {
                runner.reading(word.mid(1));
            } else if (word == u"lost") {
                runner.linkLost();
            } else if (word == u"back") {
                runner.linkBack();
            } else if (word.startsWith(u"back:")) {
                runner.linkBack(word.mid(5).toInt());
            } else if (word == u"alarm") {
                runner.alarmStop();
            } else if (word == u"op") {
                runner.operatorCommand();
            } else if (word == u"opstop") {
                runner.operatorCommand(true);
            } else if (word == u"cont") {
                runner.continueProgram();
            } else if (word == u"end") {
                runner.end();
            } else if (word == u"other") {
                runner.otherDevice();
            } else {
                tickTo(word.toLongLong() * 1000);
            }
        }
    }

    qint64 now = 0;
    ProgramRunner runner;
    QStringList sent;
    QStringList frames;
};

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void refused_data();
    void refused();
    void accepted();
    void plan();
    void run_data();
    void run();
    void position();
};

void TestProgram::refused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("problem"); // how the message starts: the place

    const QString set = QStringLiteral(R"([{"set": {%1}}])");
    QTest::newRow("unknown field")
        << programText(R"([{"set": {"flow": 1}}, {"ramp": {"flw": 5, "seconds": 5}}])")
        << "steps[1].ramp.flw：";
    QTest::newRow("flow 1000.5") << programText(set.arg(R"("flow": 1000.5)"))
                                 << "steps[0].set.flow：";
    QTest::newRow("limit 1.55") << programText(set.arg(R"("limit": 1.55)"))
                                << "steps[0].set.limit：";
    QTest::newRow("limit 2.1") << programText(set.arg(R"("limit": 2.1)")) << "steps[0].set.limit：";
    QTest::newRow("text for a number")
        << programText(set.arg(R"("flow": "100")")) << "steps[0].set.flow：";
    QTest::newRow("repeat nested 5 deep")
        << programText(QString(R"([{"repeat": {"times": 2, "steps": %1}}])")
                           .arg(R"([{"repeat": {"times": 2, "steps": %1}}])")
                           .arg(R"([{"repeat": {"times": 2, "steps": %1}}])")
                           .arg(R"([{"repeat": {"times": 2, "steps": %1}}])")
                           .arg(R"([{"repeat": {"times": 2, "steps": [{"stop": true}]}}])"))
        << "steps[0].repeat.steps[0].repeat.steps[0].repeat.steps[0].repeat.steps[0].repeat：";
    QTest::newRow("repeat 0 times")
        << programText(R"([{"repeat": {"times": 0, "steps": [{"stop": true}]}}])")
        << "steps[0].repeat.times：";
    QTest::newRow("over 100000 steps expanded")
        << programText(R"([{"repeat": {"times": 1000, "steps": [
                            {"repeat": {"times": 100, "steps": [{"hold": {"seconds": 1}}]}},
                            {"stop": true}]}}])")
        << "steps：";
    QTest::newRow("ramp of a limit not set")
        << programText(R"([{"set": {"flow": 10}}, {"ramp": {"limit": 1, "seconds": 5}}])")
        << "steps[1].ramp.limit：";
    QTest::newRow("ramp before its set in the first iteration")
        << programText(R"([{"repeat": {"times": 2, "steps": [
                            {"ramp": {"flow": 5, "seconds": 5}}, {"set": {"flow": 1}}]}}])")
        << "steps[0].repeat.steps[0].ramp.flow：";
    QTest::newRow("end block starts the pump")
        << programText(R"([{"stop": true}])", R"([{"run": true}, {"stop": true}])")
        << "end[0].run：";
    QTest::newRow("end block not ending with stop")
        << programText(R"([{"set": {"flow": 1}}])", R"([{"stop": true}, {"set": {"flow": 0}}])")
        << "end：";
    QTest::newRow("not JSON") << QByteArray("{\"format\": 1,\n \"pump\": 0\n \"steps\": []}")
                              << "第 3 行：";
    QTest::newRow("newer format") << QByteArray(R"({"format": 2, "pump": 0, "whatever": 1})")
                                  << "format：程序文件格式 2 比本面板支持的新";
    QTest::newRow("over 1 MiB") << QByteArray(1024 * 1024 + 1, ' ') << "程序文件大于 1 MiB";
    QTest::newRow("pump twice")
        << QByteArray("{\"format\": 1,\n \"pump\": 0, \"pump\": 7,\n \"steps\": []}")
        << "第 2 行：字段“pump”在同一对象中出现了两次";
    QTest::newRow("a field twice in a step, once escaped") << programText(R"([{"set": {"flow": 1}},
                            {"set": {"flow": 5, "fl\u006Fw": 9}}])")
                                                           << "第 2 行：字段“flow”";
    QTest::newRow("a name's quote escaped before a repeated field")
        << QByteArray("{\"name\": \"a \\\"pump\\\": 1\", \"format\": 1, \"format\": 1}")
        << "第 1 行：字段“format”";
}

void TestProgram::refused()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, problem);

    const ProgramFile::Loaded loaded = ProgramFile::read(text);
    QVERIFY(!loaded.program);
    QVERIFY2(loaded.problem.startsWith(problem), qPrintable(loaded.problem));
}

void TestProgram::accepted()
{
    const Program example = load(kExample);
    QCOMPARE(example.steps.size(), size_t(6));
    QCOMPARE(example.steps[5].valueTenths, 12);
    QCOMPARE(load(ProgramFile::write(example)), example);
    // The same name in objects of their own, and as a value, is no repetition.
    QCOMPARE(load(programText(R"([{"set": {"flow": 1}}, {"set": {"flow": 2, "limit": 1}}])"))
                 .steps.size(),
             size_t(2));

    // 1.2 is no exact double; a ramp over no time is a set and needs nothing set before it.
    const Program edges =
        load(programText(R"([{"ramp": {"limit": 1.2, "flow": 1000, "seconds": 0}}])"));
    QCOMPARE(edges.steps.size(), size_t(1));
    QCOMPARE(edges.steps[0].kind, ProgramStep::Kind::Set);
    QCOMPARE(edges.steps[0].limit.value_or(0), 12);
    Bench bench(edges);
    bench.runner.start();
    QCOMPARE(bench.sent, QStringList({"Q07P01.2Y", "Q07L1000Y"}));
}

void TestProgram::plan()
{
    const ProgramPlan plan(load(kExample));
    QCOMPARE(plan.stepsSeconds(), qint64(60 + 600 + 3 * 60 + 120));
    QCOMPARE(plan.totalSeconds(), plan.stepsSeconds() + 30);
    const qsizetype last = plan.indexOf({4, 2, 1}, false);
    QCOMPARE(plan.steps()[last].startSecond, qint64(660 + 150));
    QCOMPARE(ProgramPlan::pathText({4, 2, 1}, false), QString("第 5 步 第 3 遍 第 2 步"));
    // As the file has it, for a program reading the state; the end block with no step yet
    // has no blank left after its name.
    QCOMPARE(ProgramPlan::pathKey({4, 2, 1}, plan.steps()[last].step.kind, false),
             QString("steps[4].repeat.steps[1].ramp"));
    QCOMPARE(ProgramPlan::pathKey({1}, ProgramStep::Kind::Stop, true), QString("end[1].stop"));
    QCOMPARE(ProgramPlan::pathText({}, true), QString("结束段"));
    QVERIFY(plan.breakpoints().contains(ProgramPlan::Point{690, 500, 18}));

    // The plan is what the runner sends when no reading ends the wait early.
    Bench bench(load(kExample));
    std::optional<int> flow;
    std::optional<int> limit;
    QObject::connect(&bench.runner, &ProgramRunner::send, [&](const QString &frame) {
        const double value = frame.mid(4, 4).toDouble();
        if (frame[3] == u'L')
            flow = int(value);
        else if (frame[3] == u'P')
            limit = int(std::lround(value * 10));
    });
    bench.runner.start();
    for (qint64 second = 0; second <= plan.totalSeconds(); ++second) {
        bench.tickTo(second * 1000);
        const ProgramPlan::Point planned = plan.at(second);
        QVERIFY2(planned == ProgramPlan::Point({second, flow, limit}),
                 qPrintable(QStringLiteral("at %1 s: %2 ml/min %3, planned %4 %5")
                                .arg(second)
                                .arg(flow.value_or(-1))
                                .arg(limit.value_or(-1))
                                .arg(planned.flow.value_or(-1))
                                .arg(planned.limit.value_or(-1))));
    }
    QCOMPARE(bench.runner.state(), State::Ended);
}

void TestProgram::run_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<State>("state");
    QTest::addColumn<Cause>("cause"); // of the pause or of the end

    const QString ramp = QStringLiteral(R"([{"set": {%1}}, {"ramp": {%2, "seconds": %3}}])");
    QTest::newRow("ramp up") << programText(ramp.arg(R"("flow": 0)", R"("flow": 10)", "5")) << "9"
                             << "0:L0000 1:L0002 2:L0004 3:L0006 4:L0008 5:L0010" << State::Ended
                             << Cause::Completed;
    QTest::newRow("ramp down, fewer values than seconds")
        << programText(ramp.arg(R"("flow": 3)", R"("flow": 0)", "6")) << "9"
        << "0:L0003 2:L0002 4:L0001 6:L0000" << State::Ended << Cause::Completed;
    QTest::newRow("more values than seconds")
        << programText(ramp.arg(R"("flow": 0)", R"("flow": 1000)", "3")) << "9"
        << "0:L0000 1:L0333 2:L0667 3:L1000" << State::Ended << Cause::Completed;
    QTest::newRow("limit rising goes first")
        << programText(
               ramp.arg(R"("flow": 100, "limit": 1.0)", R"("flow": 300, "limit": 1.2)", "2"))
        << "9"
        << "0:P01.0 0:L0100 1:P01.1 1:L0200 2:P01.2 2:L0300" << State::Ended << Cause::Completed;
    QTest::newRow("limit falling goes last")
        << programText(
               ramp.arg(R"("flow": 300, "limit": 1.2)", R"("flow": 100, "limit": 1.0)", "2"))
        << "9"
        << "0:P01.2 0:L0300 1:L0200 1:P01.1 2:L0100 2:P01.0" << State::Ended << Cause::Completed;

    const QByteArray steps = programText(R"([{"set": {"flow": 10}}, {"run": true},
        {"hold": {"seconds": 5}}, {"set": {"flow": 20}}, {"hold": {"seconds": 5}}, {"stop": true},
        {"hold": {"seconds": 5}}])");
    QTest::newRow("held up: steps due go out once, in order")
        << steps << "1 !13 16"
        << "0:L0010 0:R0000 13:L0020 13:S0000" << State::Ended << Cause::Completed;
    QTest::newRow("held up: a ramp sends its value for now")
        << programText(ramp.arg(R"("flow": 0)", R"("flow": 100)", "10")) << "1 !7 10"
        << "0:L0000 1:L0010 7:L0070 8:L0080 9:L0090 10:L0100" << State::Ended << Cause::Completed;

    const QString wait = QStringLiteral(R"([{"waitUntil": {"pressure": "above", "value": 1.0,
        "readings": 3, "timeoutSeconds": 100, "onTimeout": "%1"}}, {"set": {"flow": 5}}])");
    QTest::newRow("held up: a wait counts its row again")
        << programText(wait.arg("continue")) << "1 N01.1 N01.1 !5 N01.1 N01.1 6 N01.1"
        << "6:L0005" << State::Ended << Cause::Completed;
    QTest::newRow("wait: no number neither counts nor breaks the row; at the value breaks it")
        << programText(wait.arg("continue")) << "1 N01.1 Nxx.x N01.1 N01.0 N01.1 N01.1 2 N01.1"
        << "2:L0005" << State::Ended << Cause::Completed;
    QTest::newRow("wait timed out ends with the end block")
        << programText(wait.arg("end"), R"([{"set": {"flow": 0}}, {"stop": true}])") << "101"
        << "100:L0000 100:S0000" << State::Ended << Cause::WaitTimedOut;

    const QString running = QStringLiteral(
        R"([{"set": {"flow": 100, "limit": 1.5}}, {"run": true}, {"hold": {"seconds": 10}},
            {"set": {"flow": 200}}])");
    const QString windDown =
        QStringLiteral(R"([{"ramp": {"flow": 0, "seconds": 2}}, {"stop": true}])");
    QTest::newRow("link lost pauses; back, the setpoint in force goes again, never run")
        << programText(ramp.arg(R"("flow": 0)", R"("flow": 4)", "4")) << "2 lost 10 back 14"
        << "0:L0000 1:L0001 2:L0002 10:L0002 11:L0003 12:L0004" << State::Ended << Cause::Completed;
    QTest::newRow("link lost ends the program when it says so, without its end block")
        << programText(running, windDown, "end") << "3 lost 20"
        << "0:P01.5 0:L0100 0:R0000" << State::Ended << Cause::LinkLost;
    QTest::newRow("alarm in a link pause runs the end block once the link is back")
        << programText(running, windDown) << "3 lost 5 alarm 6 back 9"
        << "0:P01.5 0:L0100 0:R0000 6:P01.5 6:L0100 7:L0050 8:L0000 8:S0000" << State::Ended
        << Cause::Alarm;
    QTest::newRow("operator's stop in a link pause holds it past the return; 继续 runs it, "
                  "the pause not counted")
        << programText(running) << "3 lost opstop 5 back 9 cont 16"
        << "0:P01.5 0:L0100 0:R0000 9:P01.5 9:L0100 9:R0000 16:L0200" << State::Ended
        << Cause::Completed;
    QTest::newRow("operator's command refused in a link pause keeps it paused")
        << programText(running) << "3 lost op 5 back 9"
        << "0:P01.5 0:L0100 0:R0000" << State::Paused << Cause::OperatorCommand;
    QTest::newRow("operator's stop after an alarm in a link pause: the end block still runs")
        << programText(running, windDown) << "3 lost alarm opstop 6 back 9"
        << "0:P01.5 0:L0100 0:R0000 6:P01.5 6:L0100 7:L0050 8:L0000 8:S0000" << State::Ended
        << Cause::Alarm;
    QTest::newRow("operator's end while the link is down: over, without the end block")
        << programText(running, windDown) << "3 lost end 6 back 9"
        << "0:P01.5 0:L0100 0:R0000" << State::Ended << Cause::OperatorEnd;
    const QString lowLimit = QStringLiteral(
        R"([{"set": {"flow": 100, "limit": 1.0}}, {"run": true}, {"hold": {"seconds": 10}}])");
    QTest::newRow("back: a limit falling from the pump's goes after the flow")
        << programText(lowLimit) << "3 lost 5 back:15 6"
        << "0:P01.0 0:L0100 0:R0000 5:L0100 5:P01.0" << State::Running << Cause::None;
    QTest::newRow("back: a limit rising from the pump's goes before the flow")
        << programText(lowLimit) << "3 lost 5 back:5 6"
        << "0:P01.0 0:L0100 0:R0000 5:P01.0 5:L0100" << State::Running << Cause::None;
    QTest::newRow("operator's command pauses; continue resends, then goes on")
        << programText(running, windDown) << "2 op 5 cont 14"
        << "0:P01.5 0:L0100 0:R0000 5:P01.5 5:L0100 5:R0000 13:L0200 14:L0100" << State::Ending
        << Cause::Completed;
    QTest::newRow("no continue while the link is down")
        << programText(running) << "2 op 3 lost cont 5"
        << "0:P01.5 0:L0100 0:R0000" << State::Paused << Cause::OperatorCommand;
    QTest::newRow("operator's end runs the end block")
        << programText(running, windDown) << "2 end 5"
        << "0:P01.5 0:L0100 0:R0000 3:L0050 4:L0000 4:S0000" << State::Ended << Cause::OperatorEnd;
    QTest::newRow("another device ends without the end block")
        << programText(running, windDown) << "2 other 5"
        << "0:P01.5 0:L0100 0:R0000" << State::Ended << Cause::OtherDevice;
}

void TestProgram::run()
{
    QFETCH(QByteArray, program);
    QFETCH(QString, script);
    QFETCH(QString, frames);
    QFETCH(State, state);
    QFETCH(Cause, cause);

    Bench bench(load(program));
    QVERIFY(bench.runner.start());
    bench.play(script);
    QCOMPARE(bench.frames.join(u' '), frames);
    QCOMPARE(bench.runner.state(), state);
    QCOMPARE(state == State::Paused ? bench.runner.pauseCause() : bench.runner.endCause(), cause);
}

void TestProgram::position()
{
    // Taken halfway through the second iteration's first ramp, journalled and read back.
    Bench whole(load(kExample));
    whole.runner.start();
    whole.tickTo(735'000);
    const std::optional<ProgramPosition> position =
        ProgramPosition::fromJson(whole.runner.position().toJson());
    QVERIFY(position);
    QCOMPARE(position->path, QList<int>({4, 1, 0}));
    QCOMPARE(position->secondsIntoStep, qint64(15));
    const qsizetype before = whole.frames.size();
    whole.tickTo(1'200'000);

    Bench resumed(load(kExample));
    resumed.now = 735'000;
    QVERIFY(resumed.runner.resume(*position));
    QCOMPARE(resumed.frames, QStringList({"735:P01.7", "735:L0500", "735:R0000"}));
    resumed.frames.clear();
    resumed.tickTo(1'200'000);
    QCOMPARE(resumed.frames, whole.frames.mid(before));

    Bench ending(load(kExample));
    QVERIFY(ending.runner.runEndBlock(*position));
    ending.tickTo(31'000);
    QCOMPARE(ending.frames.first(), QString("1:L0483"));
    QCOMPARE(ending.frames.mid(ending.frames.size() - 2), QStringList({"30:L0000", "30:S0000"}));

    ProgramPosition elsewhere = *position;
    elsewhere.path = {4, 3, 0};
    QVERIFY(!Bench(load(kExample)).runner.resume(elsewhere));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
