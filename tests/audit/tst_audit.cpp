#include "audit/auditline.h"

#include <QCryptographicHash>
#include <QTest>

#include <ctime>

class TestAudit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formatsLine_data();
    void formatsLine();
};

void TestAudit::initTestCase()
{
    // Days and offsets below are this zone's, whatever the machine's own.
    qputenv("TZ", "Asia/Shanghai");
    tzset();
}

void TestAudit::formatsLine_data()
{
    QTest::addColumn<AuditRecord>("record");
    QTest::addColumn<QByteArray>("prev");
    QTest::addColumn<QByteArray>("hashed");

    const QByteArray zeros(64, '0');
    const QByteArray other(64, 'a');
    AuditRecord first{.source = "panel",
                      .what = "session-start",
                      .seq = 1,
                      .time = QDateTime(QDate(2026, 12, 7), QTime(13, 34, 7, 817), Qt::UTC),
                      .monoMs = 5,
                      .session = "s1",
                      .user = "lab"};
    QTest::newRow("first record, nulls")
        << first << zeros
        << QByteArray(
               R"({"seq":1,"utc":"2026-12-07T13:34:07.817Z","local":"2026-12-07T21:34:07.817+08:00",)"
               R"("mono":"0.005","session":"s1","user":"lab","operator":null,"source":"panel",)"
               R"("what":"session-start","before":null,"beforeFrom":null,"after":null,"text":"",)"
               R"("prev":"0000000000000000000000000000000000000000000000000000000000000000")");
    AuditRecord setpoint = first;
    setpoint.seq = 1234567;
    setpoint.monoMs = 3723045;
    setpoint.source = "key";
    setpoint.what = "setpoint";
    setpoint.before = "0.50";
    setpoint.beforeFrom = AuditRecord::BeforeFrom::Reply;
    setpoint.after = "1.00";
    setpoint.operatorName = "张三";
    QTest::newRow("setpoint, before from the reply")
        << setpoint << other
        << (R"({"seq":1234567,"utc":"2026-12-07T13:34:07.817Z","local":"2026-12-07T21:34:07.817+08:00",)"
            R"("mono":"3723.045","session":"s1","user":"lab","operator":"张三","source":"key",)"
            R"("what":"setpoint","before":"0.50","beforeFrom":"reply","after":"1.00","text":"",)"
            R"("prev":")" +
            other + "\"");
    AuditRecord escaped = first;
    escaped.text = QString::fromUtf8("a\"b\\c\nd\te\x01\x1f/\x7f流量");
    escaped.before = QString();
    QTest::newRow("escaped text, empty before")
        << escaped << zeros
        << QByteArray(
               R"({"seq":1,"utc":"2026-12-07T13:34:07.817Z","local":"2026-12-07T21:34:07.817+08:00",)"
               R"("mono":"0.005","session":"s1","user":"lab","operator":null,"source":"panel",)"
               R"("what":"session-start","before":"","beforeFrom":null,"after":null,)"
               "\"text\":\"a\\\"b\\\\c\\u000ad\\u0009e\\u0001\\u001f/\x7f流量\","
               R"("prev":"0000000000000000000000000000000000000000000000000000000000000000")");
}

void TestAudit::formatsLine()
{
    QFETCH(AuditRecord, record);
    QFETCH(QByteArray, prev);
    QFETCH(QByteArray, hashed);

    QByteArray hash;
    const QByteArray line = AuditLine::format(record, prev, &hash);
    // Qt's own SHA-256, whichever the trail uses.
    QCOMPARE(hash, QCryptographicHash::hash(hashed, QCryptographicHash::Sha256).toHex());
    QCOMPARE(line, hashed + R"(,"hash":")" + hash + "\"}\n");
    const auto fields = AuditLine::read(QByteArrayView(line).chopped(1));
    QVERIFY(fields);
    QCOMPARE(fields->seq, record.seq);
    QCOMPARE(fields->hashedSize, hashed.size());
    QCOMPARE(fields->prev, prev);
    QCOMPARE(fields->hash, hash);
}

QTEST_GUILESS_MAIN(TestAudit)
#include "tst_audit.moc"
