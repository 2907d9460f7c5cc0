#include "entry/keypad.h"
#include "tests/support/fakeline.h"
#include "records/runrecord.h"
#include "session/pumpsession.h"

#include <QSignalSpy>
#include <QTest>

// The session's sequencing, step by step through a line of the test's own: what goes out on
// the line, which events the run record gets, and the state of the link.
class TestPumpSession : public QObject
{
    Q_OBJECT

    struct Rig
    {
        FakeLine line;
        FakeReconnector reconnector;
        RunRecord record;
        AlarmMonitor alarms{{[] { return qint64(0); }, [] { return QDateTime(); }}};
        Keypad keypad;
        PumpSession session{&line, &reconnector, &record, &alarms};
        QString lastMessage;

        Rig() { session.setKeypad(&keypad); }

        // Steps: open:ANSWER, openfail, conffail, writefail, fail, back, poll, rx:BYTES, run,
        // opstop (the operator's STOP), stop (a stop nobody may be at the screen for), typeL.
        void play(const QString &steps)
        {
            for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
                if (step.startsWith(QLatin1String("open:")))
                    lastMessage = session.open(step.mid(5));
                else if (step == QLatin1String("openfail"))
                    line.failOpen = true;
                else if (step == QLatin1String("conffail"))
                    line.failConfigure = true;
                else if (step == QLatin1String("writefail"))
                    line.failWrite = true;
                else if (step == QLatin1String("fail")) {
                    line.close();
                    session.lineFailed(QStringLiteral("线路已断开"));
                } else if (step == QLatin1String("back")) {
                    // As the reconnector does: it stops looking once it has opened the line.
                    line.named = reconnector.remembered;
                    reconnector.searching = false;
                    session.lineBack(line.named);
                } else if (step == QLatin1String("poll"))
                    session.poll();
                else if (step.startsWith(QLatin1String("rx:"))) {
                    line.inbound += step.mid(3).toLatin1();
                    session.dataArrived();
                } else if (step == QLatin1String("run"))
                    lastMessage = session.send(QStringLiteral("Q00R0000Y"), QStringLiteral("RUN"));
                else if (step == QLatin1String("opstop"))
                    lastMessage = session.send(QStringLiteral("Q00S0000Y"), QStringLiteral("STOP"));
                else if (step == QLatin1String("stop"))
                    session.sendStop(QStringLiteral("到时"), PendingStop::Cause::TimedRun, QStringLiteral("定时运行已到设定时间"));
                else if (step == QLatin1String("typeL"))
                    keypad.pressL({});
                else if (step == QLatin1String("typeP"))
                    keypad.pressP({});
                else
                    QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
            }
        }
        QString events() const
        {
            QStringList keys;
            for (const RunRecord::Event &event : record.events())
                keys << event.key;
            return keys.join(u' ');
        }
    };

private Q_SLOTS:
    void sequencing_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("events");
        QTest::addColumn<PumpSession::Link>("link");
        QTest::addColumn<bool>("searching");

        using L = PumpSession::Link;
        const QString poll = QStringLiteral("Q00F0000Y");
        QTest::newRow("no poll before opening")
            << "poll run" << "" << "frame-refused" << L::Closed << false;
        QTest::newRow("open, then polls") << "open:1 poll poll" << poll + u' ' + poll
                                          << "link-open" << L::Open << false;
        QTest::newRow("an answer that is no port") << "open:1x2" << "" << "" << L::Closed << false;
        QTest::newRow("a port that will not open") << "openfail open:1" << "" << "" << L::Closed << false;
        QTest::newRow("settings refused") << "conffail open:1 poll" << "" << "" << L::Closed << false;
        QTest::newRow("lost: the poll waits, the adapter is looked for")
            << "open:1 fail poll" << "" << "link-open link-lost" << L::Lost << true;
        QTest::newRow("a pseudo-terminal named directly is not reopened")
            << "open:/dev/pts/77 fail" << "" << "link-open link-lost" << L::Lost << false;
        QTest::newRow("a stop that cannot go out is owed")
            << "open:1 fail stop" << "" << "link-open link-lost frame-refused run-pending-stop" << L::Lost
            << true;
        QTest::newRow("a stop owed once, sent first and once when back")
            << "open:1 fail stop stop back poll" << "Q00S0000Y " + poll
            << "link-open link-lost frame-refused run-pending-stop frame-refused link-back frame-sent "
               "run-pending-stop"
            << L::Open << false;
        QTest::newRow("another device cancels the owed stop")
            << "open:1 fail stop open:2 poll" << poll
            << "link-open link-lost frame-refused run-pending-stop link-open run-pending-stop" << L::Open
            << false;
        QTest::newRow("the same device by the operator gets the owed stop")
            << "open:1 fail stop open:1" << "Q00S0000Y"
            << "link-open link-lost frame-refused run-pending-stop link-open frame-sent "
               "run-pending-stop"
            << L::Open << false;
        QTest::newRow("the operator's STOP in an outage is held once and goes first")
            << "open:1 fail opstop opstop back poll" << "Q00S0000Y " + poll
            << "link-open link-lost frame-refused run-pending-stop frame-refused link-back "
               "frame-sent run-pending-stop"
            << L::Open << false;
        QTest::newRow("a reopen refused in the outage leaves the line lost and the STOP held")
            << "open:1 fail conffail open:1 opstop back poll" << "Q00S0000Y " + poll
            << "link-open link-lost frame-refused run-pending-stop link-back frame-sent "
               "run-pending-stop"
            << L::Open << false;
        QTest::newRow("a run refused in the outage leaves the held stop")
            << "open:1 fail opstop run" << ""
            << "link-open link-lost frame-refused run-pending-stop frame-refused" << L::Lost << true;
        QTest::newRow("a STOP before any port was opened is not held")
            << "opstop" << "" << "frame-refused" << L::Closed << false;
        QTest::newRow("a stop that goes out is not owed")
            << "open:1 stop" << "Q00S0000Y" << "link-open frame-sent" << L::Open << false;
        QTest::newRow("a stop the pump has not answered is owed when the line goes")
            << "open:1 stop fail back poll" << "Q00S0000Y Q00S0000Y " + poll
            << "link-open frame-sent link-lost run-pending-stop link-back frame-sent "
               "run-pending-stop"
            << L::Open << false;
        QTest::newRow("a reply before the next poll does not answer the stop")
            << "open:1 stop rx:Q00N01.0Y fail"
            << "Q00S0000Y" << "link-open frame-sent link-lost run-pending-stop" << L::Lost << true;
        QTest::newRow("a reply to a poll after the stop settles it")
            << "open:1 stop poll rx:Q00N01.0Y fail" << "Q00S0000Y " + poll
            << "link-open frame-sent link-lost" << L::Lost << true;
        QTest::newRow("a run after the stop undoes it")
            << "open:1 stop run fail" << "Q00S0000Y Q00R0000Y"
            << "link-open frame-sent frame-sent link-lost" << L::Lost << true;
        QTest::newRow("a write refused on an open line is no frame sent")
            << "open:1 writefail run run" << "Q00R0000Y" << "link-open frame-refused frame-sent" << L::Open
            << false;
    }

    void sequencing()
    {
        QFETCH(QString, steps);
        Rig rig;
        rig.play(steps);
        QTEST(rig.line.written.join(u' '), "written");
        QTEST(rig.events(), "events");
        QTEST(rig.session.link(), "link");
        QTEST(rig.reconnector.searching, "searching");
        // A stop is owed while the line is down, from the last word about it until it goes or
        // is cancelled.
        const QString events = rig.events();
        QCOMPARE(rig.session.pendingStop().isPending(),
                 events.lastIndexOf(QLatin1String("run-pending-stop")) >
                         events.lastIndexOf(QLatin1String("link-")) &&
                     rig.session.link() != PumpSession::Link::Open);
    }

    void messagesForTheOperator()
    {
        Rig rig;
        rig.play(QStringLiteral("open:1x2"));
        QVERIFY(rig.lastMessage.contains(QStringLiteral("“1x2”不是有效的端口")));
        rig.play(QStringLiteral("open:1 openfail open:2"));
        QCOMPARE(rig.lastMessage, QStringLiteral("无法打开 /dev/fake2\n端口 1（/dev/fake1）仍在使用。"));
        QCOMPARE(rig.line.configured, QStringLiteral("9600,n,8,1"));
        // A malformed frame never reaches the line.
        QVERIFY(rig.session.send(QStringLiteral("Q00R000Y"), {}).contains(QStringLiteral("格式不正确")));
        rig.play(QStringLiteral("fail run"));
        QVERIFY(rig.lastMessage.startsWith(QStringLiteral("通信端口未打开，命令 Q00R0000Y 未发送")));
        QCOMPARE(rig.line.written, QStringList());
        // The lost line is named with the path it resolved to.
        QCOMPARE(rig.record.events().at(rig.record.events().size() - 2).text,
                 QStringLiteral("线路已断开（/dev/fake1c）"));
    }

    void heldStopKeepsItsCauses_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("message"); // the answer to the last step
        QTest::addColumn<QString>("sentFor");
        QTest::addColumn<bool>("operatorAmong");

        const QString held = PumpSession::heldStopText();
        QTest::newRow("the operator's alone")
            << "open:1 fail opstop" << held << "操作员停止（STOP）" << true;
        QTest::newRow("a timed run's and the operator's, one stop")
            << "open:1 fail stop opstop" << held << "定时运行已到设定时间；操作员停止（STOP）" << true;
        QTest::newRow("not the operator's: a stop the pump had not answered")
            << "open:1 stop fail run"
            << "通信端口未打开，命令 Q00R0000Y 未发送。请先选择“通信”打开端口。\n"
               "停止命令仍保留，线路恢复后首先发送。"
            << "停止命令发出后泵尚未应答" << false;
    }

    void heldStopKeepsItsCauses()
    {
        QFETCH(QString, steps);
        QFETCH(QString, sentFor);
        Rig rig;
        QSignalSpy sent(&rig.session, &PumpSession::pendingStopSettled);
        rig.play(steps);
        QTEST(rig.lastMessage, "message");
        QVERIFY(rig.session.stopText().contains(sentFor.split(u'；').first()));
        rig.play(QStringLiteral("back"));
        QCOMPARE(sent.count(), 1);
        QVERIFY(sent.first().at(1).toBool());
        const auto reasons = sent.first().first().value<QList<PendingStop::Reason>>();
        QStringList texts;
        bool operatorAmong = false;
        for (const PendingStop::Reason &reason : reasons) {
            texts << reason.text;
            operatorAmong = operatorAmong || reason.cause == PendingStop::Cause::Operator;
        }
        QCOMPARE(texts.join(u'；'), sentFor);
        QTEST(operatorAmong, "operatorAmong");
        // Told with every cause, under none of the operator's own sources.
        QCOMPARE(rig.record.events().last().text, QStringLiteral("已发送 Q00S0000Y（%1）").arg(sentFor));
        QCOMPARE(rig.session.lastFrame().source, QStringLiteral("待发送的停止命令：%1").arg(sentFor));
        QVERIFY(rig.session.stopText().isEmpty());
    }

    void replies_data()
    {
        QTest::addColumn<QString>("steps"); // after opening port 1
        QTest::addColumn<QStringList>("shown"); // readings as N…, settings as L… / P…
        QTest::addColumn<int>("frames");        // accepted, each a step of the trend
        QTest::addColumn<int>("threshold");

        QTest::newRow("reading") << "rx:Q00N01.2Y" << QStringList{"N01.2"} << 1 << 9;
        QTest::newRow("reading in two parts") << "rx:Q00N0 rx:1.2Y" << QStringList{"N01.2"} << 1 << 9;
        QTest::newRow("part of the next frame waits")
            << "rx:Q00N01.2YQ00P" << QStringList{"N01.2"} << 1 << 5;
        QTest::newRow("settings") << "rx:Q00P01.5YQ00L0250Y" << QStringList{"P01.5", "L0250"} << 2 << 9;
        QTest::newRow("a flow reply while the flow is typed is not shown")
            << "typeL rx:Q00L0250YQ00P01.5Y" << QStringList{"P01.5"} << 2 << 9;
        QTest::newRow("a limit reply while the limit is typed is not shown")
            << "typeP rx:Q00P01.5YQ00L0250Y" << QStringList{"L0250"} << 2 << 9;
        QTest::newRow("noise before a frame") << "rx:xyQ00N00.5Y" << QStringList{"N00.5"} << 1 << 9;
        QTest::newRow("part of a frame from the old port is dropped")
            << "rx:Q00N0 open:2 rx:1.2Y" << QStringList{} << 0 << 9;
        QTest::newRow("part of a frame from before a failure is dropped")
            << "rx:Q00N0 fail back rx:1.2Y" << QStringList{} << 0 << 9;
    }

    void replies()
    {
        Rig rig;
        rig.play(QStringLiteral("open:1"));
        QStringList shown;
        connect(&rig.session, &PumpSession::reading, this,
                [&](const QString &text) { shown << u'N' + text; });
        connect(&rig.session, &PumpSession::settingReplied, this,
                [&](char letter, const QString &value) { shown << QChar::fromLatin1(letter) + value; });
        QSignalSpy handled(&rig.session, &PumpSession::replyHandled);
        QFETCH(QString, steps);
        rig.play(steps);
        QTEST(shown, "shown");
        QTEST(int(handled.count()), "frames");
        QTEST(rig.line.threshold, "threshold");
        QCOMPARE(rig.record.readingCount(), int(shown.filter(QStringLiteral("N")).size()));
    }

    void readingGoesStaleAndFresh()
    {
        Rig rig;
        QSignalSpy currency(&rig.session, &PumpSession::readingCurrencyChanged);
        // Ticks while closed are no polls: nothing is asked of the line and nothing counts.
        rig.play(QStringLiteral("poll poll poll"));
        QVERIFY(!rig.session.readingIsStale());
        QCOMPARE(rig.line.writesWhileClosed, 0);
        rig.play(QStringLiteral("open:1 poll poll"));
        QVERIFY(!rig.session.readingIsStale());
        rig.play(QStringLiteral("poll"));
        QVERIFY(rig.session.readingIsStale());
        rig.play(QStringLiteral("rx:Q00P01.0Y"));
        QVERIFY2(rig.session.readingIsStale(), "a setting reply is no reading");
        rig.play(QStringLiteral("rx:Q00N01.0Y"));
        QVERIFY(!rig.session.readingIsStale() && rig.session.hasReading());
        rig.play(QStringLiteral("fail"));
        QVERIFY(rig.session.readingIsStale());
        QVERIFY(currency.count() >= 3);
    }

    void frameSourceIsLogged()
    {
        Rig rig;
        rig.play(QStringLiteral("open:1 run poll"));
        QCOMPARE(rig.record.events().last().text, QStringLiteral("Q00R0000Y（RUN）"));
        QCOMPARE(rig.session.lastFrame().frame, QStringLiteral("Q00R0000Y"));
        QCOMPARE(rig.session.lastFrame().source, QStringLiteral("RUN"));
    }
};

QTEST_GUILESS_MAIN(TestPumpSession)
#include "tst_pumpsession.moc"
