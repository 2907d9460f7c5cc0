#include "program/programfile.h"

#include <QTest>

namespace {

const QByteArray kExample = R"({"format": 1, "name": "column start-up", "pump": 7, "onLinkLost": "pause",
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

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void refused_data();
    void refused();
    void accepted();
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

    // 1.2 is no exact double; a ramp over no time is a set and needs nothing set before it.
    const Program edges =
        load(programText(R"([{"ramp": {"limit": 1.2, "flow": 1000, "seconds": 0}}])"));
    QCOMPARE(edges.steps.size(), size_t(1));
    QCOMPARE(edges.steps[0].kind, ProgramStep::Kind::Set);
    QCOMPARE(edges.steps[0].limit.value_or(0), 12);
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
