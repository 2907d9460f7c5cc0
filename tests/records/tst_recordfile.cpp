#include "recordfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// More than QFile's write buffer, so the bytes go straight to the system.
QByteArray largeText()
{
    return QByteArray(1 << 20, '7');
}

enum class Existing { Nothing, ReadOnlyFile, Folder };

} // namespace

class TestRecordFile : public QObject
{
    Q_OBJECT

private slots:
    void replacesExistingFile_data();
    void replacesExistingFile();
    void openFails_data();
    void openFails();
    void fullDisk_data();
    void fullDisk();

private:
    QTemporaryDir m_dir;
};

void TestRecordFile::replacesExistingFile_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("nothing written leaves zero bytes") << QByteArray("12.5\t3\n4") << QByteArray();
    QTest::newRow("shorter text, no old tail")
        << QByteArray("0.52\t0.53\t0.54\t0.55\t0.56\n") << QByteArray("1.5");
    QTest::newRow("no file before, large text") << QByteArray() << largeText();
}

void TestRecordFile::replacesExistingFile()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, text);

    const QString path =
        m_dir.filePath(QStringLiteral("replace-%1.txt").arg(QTest::currentDataTag()));
    if (!old.isEmpty())
        QVERIFY(writeFile(path, old));

    RecordFile file(path);
    QVERIFY2(file.open(), qPrintable(file.errorText()));
    QVERIFY2(file.write(text), qPrintable(file.errorText()));
    // The confirmation is shown before close(): the text must already be out of the process.
    QCOMPARE(contents(path), text);
    file.close();
    QCOMPARE(contents(path), text);
}

void TestRecordFile::openFails_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Existing>("existing");

    QTest::newRow("missing folder") << "no-such-folder/mytext.txt" << Existing::Nothing;
    QTest::newRow("read-only file") << "readonly.txt" << Existing::ReadOnlyFile;
    QTest::newRow("path is a folder") << "folder" << Existing::Folder;
}

void TestRecordFile::openFails()
{
    QFETCH(QString, name);
    QFETCH(Existing, existing);

    const QString path = m_dir.filePath(name);
    const QByteArray old("0.52\t0.53\n");
    if (existing == Existing::ReadOnlyFile) {
        QVERIFY(writeFile(path, old));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    } else if (existing == Existing::Folder) {
        QVERIFY(QDir(m_dir.path()).mkdir(name));
    }

    RecordFile file(path);
    if (file.open()) {
        if (existing == Existing::ReadOnlyFile)
            QSKIP("Running with rights that ignore file permissions (root).");
        QFAIL("open() succeeded");
    }
    QVERIFY2(file.errorText().startsWith(
                 QStringLiteral("无法打开记录文件 %1：").arg(QDir::toNativeSeparators(path))),
             qPrintable(file.errorText()));
    if (existing == Existing::ReadOnlyFile)
        QCOMPARE(contents(path), old);
    else if (existing == Existing::Nothing)
        QVERIFY(!QFile::exists(path));
}

void TestRecordFile::fullDisk_data()
{
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("small text, held in QFile's buffer") << QByteArray("1.5\t2\n");
    QTest::newRow("large text, written through") << largeText();
}

void TestRecordFile::fullDisk()
{
    QFETCH(QByteArray, text);
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("This system has no /dev/full.");

    const QString path = m_dir.filePath(QStringLiteral("full-%1.txt").arg(QTest::currentDataTag()));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));

    RecordFile file(path);
    QVERIFY2(file.open(), qPrintable(file.errorText()));
    QVERIFY(!file.write(text));
    const QString error = file.errorText();
    QVERIFY2(error.startsWith(
                 QStringLiteral("写入记录文件 %1 失败：").arg(QDir::toNativeSeparators(path))),
             qPrintable(error));
    QVERIFY2(error.contains(qt_error_string(ENOSPC)), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
