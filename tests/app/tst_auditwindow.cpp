#include "app/auditwindow.h"
#include "audit/auditline.h"
#include "tests/support/scriptedboxes.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

class TestAuditWindow : public QObject
{
    Q_OBJECT

private slots:
    void showsFiltersVerifiesAndExports();
};

namespace {

const QString kFile = QStringLiteral("2026-12-03.jsonl");

// Three records of one instance's day, chained as the audit log writes them; a chain that
// began before that day goes on from the day before's last record.
void writeDay(const QString &folder, const QString &instance, qint64 firstSeq)
{
    const QDateTime at(QDate(2026, 12, 3), QTime(9, 30), Qt::LocalTime);
    AuditRecord start{.source = "audit", .what = "file-start", .after = kFile};
    if (firstSeq > 1)
        start.before = QString("2026-12-02.jsonl:%1").arg(firstSeq - 1);
    const QList<AuditRecord> records = {start,
                                        {.source = "key",
                                         .what = "setpoint",
                                         .before = "10.0",
                                         .after = "-0.5",
                                         .text = "=HYPERLINK(\"x\"), " + instance},
                                        {.source = "menu item", .what = "run", .text = "运行"}};
    QByteArray bytes;
    QByteArray hash(64, '0');
    for (qsizetype i = 0; i < records.size(); ++i) {
        AuditRecord record = records[i];
        record.seq = firstSeq + i;
        record.time = at.addSecs(i);
        record.user = "lab";
        bytes += AuditLine::format(record, QByteArray(hash), &hash);
    }
    QVERIFY(QDir(folder).mkpath(instance));
    QFile file(QDir(folder).filePath(instance + '/' + kFile));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

void TestAuditWindow::showsFiltersVerifiesAndExports()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeDay(dir.path(), "panel-1", 1);
    writeDay(dir.path(), "panel-2", 4);

    ScriptedBoxes boxes;
    AuditWindow window(dir.path(), &boxes);
    window.show();
    QTRY_VERIFY(!window.reading());
    auto *chain = window.findChild<QLabel *>("auditChain");
    QAbstractItemModel *rows = window.findChild<QTableView *>("auditTable")->model();
    QCOMPARE(window.findChild<QComboBox *>("auditDay")->currentText(), "2026-12-03");
    QCOMPARE(rows->rowCount(), 6);
    QCOMPARE(rows->headerData(3, Qt::Vertical).toString(), "panel-2");
    QCOMPARE(rows->index(4, AuditTrailTable::Text).data().toString(), "=HYPERLINK(\"x\"), panel-2");
    QCOMPARE(chain->text(), "panel-1：已验证到第 3 条\npanel-2：已验证到第 6 条");

    auto *kind = window.findChild<QComboBox *>("auditKind");
    kind->setCurrentText("setpoint");
    QCOMPARE(rows->rowCount(), 2);
    window.findChild<QLineEdit *>("auditFilter")->setText("PANEL-2");
    QCOMPARE(rows->rowCount(), 1);
    kind->setCurrentIndex(0);
    QCOMPARE(rows->rowCount(), 3);

    // One byte of panel-2's setpoint changed: its row turns red, the text says where.
    QFile file(dir.filePath("panel-2/" + kFile));
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qsizetype at = file.readAll().indexOf("\"10.0\"");
    QVERIFY(at > 0 && file.seek(at + 1) && file.putChar('9'));
    file.close();
    window.refresh();
    QTRY_VERIFY(!window.reading());
    QCOMPARE(
        chain->text(),
        "panel-1：已验证到第 3 条\npanel-2：第 5 条（文件 2026-12-03.jsonl 第 2 行）：已被改动");
    QVERIFY(rows->index(1, 0).data(Qt::BackgroundRole).isValid());
    QVERIFY(!rows->index(0, 0).data(Qt::BackgroundRole).isValid());

    // The export has what is shown, a formula made harmless, a number left a number.
    const QString csvPath = dir.filePath("out.csv");
    boxes.answers = {csvPath};
    window.findChild<QPushButton *>("auditExport")->click();
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines[0].startsWith("\xEF\xBB\xBF实例,序号,时间,用户,操作员,来源,内容,之前,之后,说明"));
    QVERIFY2(lines[2].startsWith("panel-2,5,") &&
                 lines[2].endsWith(",key,setpoint,90.0,-0.5,\"'=HYPERLINK(\"\"x\"\"), panel-2\"\r"),
             lines[2]);
}

QTEST_MAIN(TestAuditWindow)
#include "tst_auditwindow.moc"
