#include "entry/setpointdialog.h"

#include <QTest>

using SetpointDialog::Kind;

class TestSetpointDialog : public QObject
{
    Q_OBJECT

private slots:
    void answer_data();
    void answer();
    void question_data();
    void question();
};

void TestSetpointDialog::answer_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("stored"); // invalid: nothing stored
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("errorPrompt");

    const QString flowError = QString::fromUtf8("流量设定错误!");
    const QString pressureError = QString::fromUtf8("压力设定错误!");
    const QVariant nothing;

    QTest::newRow("flow") << Kind::Flow << "500" << QVariant(500.0) << "Q00L0500Y" << QString();
    QTest::newRow("flow at limit")
        << Kind::Flow << "1000" << QVariant(1000.0) << "Q00L1000Y" << QString();
    QTest::newRow("flow rounds up to limit")
        << Kind::Flow << "999.6" << QVariant(999.6) << "Q00L1000Y" << QString();
    QTest::newRow("flow half rounds up")
        << Kind::Flow << "12.5" << QVariant(12.5) << "Q00L0013Y" << QString();
    QTest::newRow("flow below one")
        << Kind::Flow << "0.4" << QVariant(0.4) << "Q00L0000Y" << QString();
    QTest::newRow("flow with blanks and sign")
        << Kind::Flow << " +250 " << QVariant(250.0) << "Q00L0250Y" << QString();
    QTest::newRow("flow above limit")
        << Kind::Flow << "1000.4" << QVariant(1000.4) << QString() << flowError;
    QTest::newRow("flow negative")
        << Kind::Flow << "-5" << QVariant(-5.0) << QString() << flowError;
    // Rounds to a zero field, so only the lower bound keeps it off the line.
    QTest::newRow("flow slightly negative")
        << Kind::Flow << "-0.4" << QVariant(-0.4) << QString() << flowError;
    QTest::newRow("flow not a number") << Kind::Flow << "abc" << nothing << QString() << QString();
    QTest::newRow("flow cancelled") << Kind::Flow << QString() << nothing << QString() << QString();

    QTest::newRow("pressure") << Kind::Pressure << "1.5" << QVariant(1.5) << "Q00P01.5Y"
                              << QString();
    QTest::newRow("pressure at limit")
        << Kind::Pressure << "2" << QVariant(2.0) << "Q00P02.0Y" << QString();
    QTest::newRow("pressure half rounds up")
        << Kind::Pressure << "0.25" << QVariant(0.25) << "Q00P00.3Y" << QString();
    QTest::newRow("pressure above limit")
        << Kind::Pressure << "2.01" << QVariant(2.01) << QString() << pressureError;
    QTest::newRow("pressure negative")
        << Kind::Pressure << "-5" << QVariant(-5.0) << QString() << pressureError;
    QTest::newRow("pressure cancelled")
        << Kind::Pressure << QString() << nothing << QString() << QString();
}

void TestSetpointDialog::answer()
{
    QFETCH(Kind, kind);
    QFETCH(QString, text);
    QFETCH(QVariant, stored);
    QFETCH(QString, frame);
    QFETCH(QString, errorPrompt);

    const SetpointDialog::Outcome outcome = SetpointDialog::answer(kind, text);
    QCOMPARE(outcome.stored.has_value(), stored.isValid());
    if (outcome.stored)
        QCOMPARE(*outcome.stored, stored.toDouble());
    QCOMPARE(outcome.frame, frame);
    QCOMPARE(outcome.errorPrompt, errorPrompt);
}

void TestSetpointDialog::question_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("frameForDefault");

    QTest::newRow("flow") << Kind::Flow << QString::fromUtf8("流量设定") << "Q00L0000Y";
    QTest::newRow("pressure") << Kind::Pressure << QString::fromUtf8("压力设定") << "Q00P02.0Y";
}

void TestSetpointDialog::question()
{
    QFETCH(Kind, kind);
    QFETCH(QString, title);
    QFETCH(QString, frameForDefault);

    const SetpointDialog::Question q = SetpointDialog::question(kind);
    QCOMPARE(q.title, title);
    // Two lines; the range is written with an em dash, never a hyphen.
    const QStringList lines = q.prompt.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(1).contains(QChar(0x2014)));
    QVERIFY(!lines.at(1).contains(u'-'));
    // Accepting the default as it stands sends a valid setpoint.
    QCOMPARE(SetpointDialog::answer(kind, q.defaultAnswer).frame, frameForDefault);
}

QTEST_GUILESS_MAIN(TestSetpointDialog)
#include "tst_setpointdialog.moc"
