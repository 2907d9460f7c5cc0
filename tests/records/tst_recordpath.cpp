#include "records/recordpath.h"

#include <QTest>

using DriveFolders = QHash<QChar, QString>;

class TestRecordPath : public QObject
{
    Q_OBJECT

private slots:
    void toLocalPath_data();
    void toLocalPath();
};

void TestRecordPath::toLocalPath_data()
{
    QTest::addColumn<QString>("windowsPath");
    QTest::addColumn<DriveFolders>("folders");
    QTest::addColumn<QString>("expected");

    const DriveFolders rec{{u'd', QStringLiteral("/tmp/rec")}};
    QTest::newRow("record file, no map")
        << QString::fromLatin1(RecordPath::kRecordFile) << DriveFolders() << "/mnt/d/mytext.txt";
    QTest::newRow("mapped drive") << "d:\\mytext.txt" << rec << "/tmp/rec/mytext.txt";
    QTest::newRow("folder with trailing slash")
        << "d:\\mytext.txt" << DriveFolders{{u'd', QStringLiteral("/tmp/rec/")}}
        << "/tmp/rec/mytext.txt";
    QTest::newRow("uppercase drive, mapped") << "D:\\mytext.txt" << rec << "/tmp/rec/mytext.txt";
    QTest::newRow("uppercase drive, no map")
        << "D:\\mytext.txt" << DriveFolders() << "/mnt/d/mytext.txt";
    QTest::newRow("other drive not mapped") << "e:\\mytext.txt" << rec << "/mnt/e/mytext.txt";
    QTest::newRow("subfolders") << "d:\\runs\\2024\\mytext.txt" << rec
                                << "/tmp/rec/runs/2024/mytext.txt";
}

void TestRecordPath::toLocalPath()
{
#ifdef Q_OS_WIN
    QSKIP("On Windows the record path is used as it stands.");
#endif
    QFETCH(QString, windowsPath);
    QFETCH(DriveFolders, folders);
    QFETCH(QString, expected);
    QCOMPARE(RecordPath::toLocalPath(windowsPath, folders), expected);
}

QTEST_GUILESS_MAIN(TestRecordPath)
#include "tst_recordpath.moc"
