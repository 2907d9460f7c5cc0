#include "records/exportwriter.h"
#include "records/recordfile.h"

#include <QDir>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

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

QByteArray largeText()
{
    return QByteArray(1 << 20, '7');
}

enum class Existing { Nothing, ReadOnlyFolder, Folder, LinkToPipe };

} // namespace

class TestRecordFile : public QObject
{
    Q_OBJECT

private slots:
    void replacesExistingFile_data();
    void replacesExistingFile();
    void failureKeepsOldFile_data();
    void failureKeepsOldFile();
    void writerAnswersInOrder();
    void writerClosingGivesUpExports();

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
    QVERIFY2(file.save(text), qPrintable(file.errorText()));
    QCOMPARE(contents(path), text);
    // Nothing is left beside it.
    const QString name = QFileInfo(path).fileName();
    QCOMPARE(QDir(m_dir.path()).entryList({name + u'*'}, QDir::Files | QDir::Hidden),
             QStringList{name});
}

void TestRecordFile::failureKeepsOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Existing>("existing");

    QTest::newRow("missing folder") << "no-such-folder/mytext.txt" << Existing::Nothing;
    QTest::newRow("read-only folder") << "readonly/mytext.txt" << Existing::ReadOnlyFolder;
    QTest::newRow("path is a folder") << "folder" << Existing::Folder;
    // A device would be replaced by a file: as root, /dev/full itself.
    QTest::newRow("symlink to a pipe") << "link-to-pipe" << Existing::LinkToPipe;
}

void TestRecordFile::failureKeepsOldFile()
{
    QFETCH(QString, name);
    QFETCH(Existing, existing);

    const QString path = m_dir.filePath(name);
    const QByteArray old("0.52\t0.53\n");
    if (existing == Existing::ReadOnlyFolder) {
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("readonly")));
        QVERIFY(writeFile(path, old));
        QVERIFY(QFile::setPermissions(m_dir.filePath(QStringLiteral("readonly")),
                                      QFile::ReadOwner | QFile::ExeOwner));
    } else if (existing == Existing::Folder) {
        QVERIFY(QDir(m_dir.path()).mkdir(name));
    } else if (existing == Existing::LinkToPipe) {
        const QString pipe = m_dir.filePath(QStringLiteral("pipe"));
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QVERIFY(QFile::link(pipe, path));
    }

    RecordFile file(path);
    const bool saved = file.save(largeText());
    if (existing == Existing::ReadOnlyFolder)
        QFile::setPermissions(m_dir.filePath(QStringLiteral("readonly")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (saved && existing == Existing::ReadOnlyFolder)
        QSKIP("Running with rights that ignore file permissions (root).");
    QVERIFY(!saved);
    QVERIFY2(file.errorText().contains(QDir::toNativeSeparators(path)),
             qPrintable(file.errorText()));
    if (existing == Existing::ReadOnlyFolder)
        QCOMPARE(contents(path), old);
    else if (existing == Existing::Nothing)
        QVERIFY(!QFile::exists(path));
    else if (existing == Existing::LinkToPipe)
        QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("pipe"))).isFile() == false &&
                QFileInfo(path).isSymLink());
}

// Jobs run one after another on a thread that is not the caller's, and their answers come back
// on the caller's thread in the same order; an answer for an object that is gone is dropped.
void TestRecordFile::writerAnswersInOrder()
{
    ExportWriter writer;
    QStringList answers;
    QList<QThread *> ranOn;
    auto gone = std::make_unique<QObject>();
    for (const QString &name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        writer.submit(
            [name, &ranOn](const std::atomic_bool &) {
                ranOn << QThread::currentThread();
                return name;
            },
            name == u"b" ? gone.get() : static_cast<QObject *>(this),
            [&answers, name](const QString &answer) {
                QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
                answers << answer;
            });
    }
    QCOMPARE(writer.pending(), 3);
    gone.reset();
    QTRY_COMPARE(writer.pending(), 0);
    QCOMPARE(answers, (QStringList{"a", "c"}));
    QCOMPARE(ranOn.size(), 3);
    QVERIFY(ranOn.first() != QThread::currentThread());
}

// Closing lets the jobs given end in order: one under way is told to give up, one not begun
// learns it at once; the close waits for them and tells nobody.
void TestRecordFile::writerClosingGivesUpExports()
{
    const QString path = m_dir.filePath(QStringLiteral("export.csv"));
    QVERIFY(writeFile(path, "old"));
    ExportWriter writer;
    QSemaphore begun;
    bool sawCancel = false;
    bool secondCancelled = false;
    int told = 0;
    writer.submit(
        [&](const std::atomic_bool &cancelled) {
            RecordFile file(path, QStringLiteral("导出文件"));
            file.save([&](QIODevice *device) {
                begun.release();
                while (!cancelled)
                    device->write("row\n");
                sawCancel = true;
                return false;
            });
            return file.errorText();
        },
        this, [&](const QString &) { ++told; });
    writer.submit(
        [&](const std::atomic_bool &cancelled) {
            secondCancelled = cancelled;
            return QString();
        },
        this, [&](const QString &) { ++told; });
    begun.acquire();
    writer.close();
    QVERIFY(sawCancel);
    QVERIFY(secondCancelled);
    QCOMPARE(contents(path), QByteArray("old"));
    QCoreApplication::processEvents();
    QCOMPARE(told, 0);
}

QTEST_GUILESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
