#include "files/atomicfile.h"
#include "files/boundedread.h"
#include "program/programfile.h"
#include "records/recordfile.h"
#include "records/recordsaving.h"
#include "timedrun/runjournal.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Set in main, before any thread: why this process has no mount namespace of its own.
QString g_noNamespace;

bool writeText(const char *path, const QByteArray &text)
{
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    return written;
}

// A user namespace of its own, in which this process may mount: unshare -rm.
void enterOwnNamespace()
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        g_noNamespace = QStringLiteral("no user and mount namespace here (unshare: %1)")
                            .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    writeText("/proc/self/setgroups", "deny");
    if (!writeText("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") ||
        !writeText("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1") ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        g_noNamespace = QStringLiteral("cannot map the user or make mounts private here");
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Noise, which PNG cannot make much smaller: about size bytes.
QByteArray png(qsizetype size)
{
    const int side = size < 1000 ? 4 : size < 20000 ? 55 : 900;
    QImage image(side, side, QImage::Format_RGB32);
    QRandomGenerator noise(side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, noise.generate());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QByteArray rows(qsizetype size)
{
    QByteArray text;
    for (int i = 0; text.size() < size; ++i)
        text += QByteArray::number(i % 97 * 0.01, 'g', 3) + (i % 5 == 4 ? '\n' : '\t');
    text.truncate(size);
    return text;
}

// A program file of about size bytes, a name padding it out.
QByteArray program(qsizetype size)
{
    Program p;
    p.pump = 1;
    ProgramStep hold;
    hold.kind = ProgramStep::Kind::Hold;
    hold.seconds = 10;
    p.steps = {hold};
    p.name = QString(qMax<qsizetype>(1, size - ProgramFile::write(p).size()), u'p');
    return ProgramFile::write(p);
}

enum class Kind { Record, CsvInPieces, Png, Program, Journal, AuditCsv };

// The file as the panel writes it: the same entry and the same producer.
QString save(Kind kind, const QString &path, const QByteArray &bytes)
{
    switch (kind) {
    case Kind::Record:
        return RecordSaving().save(path, bytes);
    case Kind::CsvInPieces: {
        RecordFile file(path, QStringLiteral("导出文件"));
        return file.save([&](QIODevice *device) {
            for (qsizetype at = 0; at < bytes.size(); at += 4096)
                device->write(bytes.mid(at, 4096));
            return true;
        })
                   ? QString()
                   : file.errorText();
    }
    case Kind::Png: // rendered whole in memory first, as the history window does
    case Kind::Program:
    case Kind::AuditCsv:
        return AtomicFile::write(path, bytes).reason;
    case Kind::Journal:
        return RunJournal(path).writeSection(
            QStringLiteral("program"), {{QStringLiteral("name"), QString::fromLatin1(bytes)}});
    }
    return {};
}

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskKeepsOldFile_data();
    void fullDiskKeepsOldFile();
    void readerRefuses_data();
    void readerRefuses();
    void readerLaterNeverWaits();
};

void TestAtomicFile::fullDiskKeepsOldFile_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("bytes");

    const struct
    {
        const char *name;
        Kind kind;
        std::function<QByteArray(qsizetype)> make;
        qsizetype largest; // the kind's own limit
    } kinds[] = {
        {"record", Kind::Record, rows, 4 << 20},
        {"csv export", Kind::CsvInPieces, rows, 4 << 20},
        {"png export", Kind::Png, png, 4 << 20},
        {"program", Kind::Program, program, BoundedRead::kProgramBytes},
        {"run journal", Kind::Journal, rows,
         40 * 1024}, // as JSON text, within the journal's 64 KiB,
        {"audit csv", Kind::AuditCsv, rows, 4 << 20},
    };
    for (const auto &kind : kinds)
        for (const qsizetype size : {qsizetype(300), qsizetype(10 * 1024), qsizetype(3 << 20)}) {
            const QByteArray bytes = kind.make(qMin(size, kind.largest));
            QTest::addRow("%s, %lld bytes", kind.name, qlonglong(bytes.size()))
                << kind.kind << bytes;
        }
}

// On a tmpfs filled to its last page: the old file stays byte for byte, nothing is left beside
// it, and the reason is the full disk. Once there is room, the same save goes through whole.
void TestAtomicFile::fullDiskKeepsOldFile()
{
    QFETCH(Kind, kind);
    QFETCH(QByteArray, bytes);
    if (!g_noNamespace.isEmpty())
        QSKIP(qPrintable(g_noNamespace));

    QTemporaryDir mountPoint;
    const QByteArray where = QFile::encodeName(mountPoint.path());
    const QByteArray size = "size=" + QByteArray::number(bytes.size() + (256 << 10));
    QVERIFY(::mount("tmpfs", where.constData(), "tmpfs", 0, size.constData()) == 0);
    const auto unmount = qScopeGuard([&] { ::umount2(where.constData(), MNT_DETACH); });

    const QString path = mountPoint.filePath(QStringLiteral("file"));
    QVERIFY(save(kind, path, "old").isEmpty());
    const QByteArray old = contents(path);
    QFile filler(mountPoint.filePath(QStringLiteral("filler")));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) {
    }
    filler.close();

    const QString failure = save(kind, path, bytes);
    QVERIFY2(failure.contains(QStringLiteral("磁盘已满")), qPrintable(failure));
    QCOMPARE(contents(path), old);
    QCOMPARE(QDir(mountPoint.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"file", "filler"}));

    QVERIFY(filler.remove());
    QCOMPARE(save(kind, path, bytes), QString());
    const QJsonObject journal = RunJournal(path).section(QStringLiteral("program"));
    QCOMPARE(kind == Kind::Journal ? journal[u"name"].toString().toLatin1() : contents(path),
             bytes);
}

void TestAtomicFile::readerRefuses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QString>("problem");

    QTest::newRow("a FIFO without a writer") << "fifo" << qint64(64) << "它不是普通文件";
    QTest::newRow("a symlink to a FIFO") << "to-fifo" << qint64(64) << "它不是普通文件";
    QTest::newRow("a folder") << "folder" << qint64(64) << "它是一个文件夹";
    QTest::newRow("a device") << "/dev/zero" << qint64(64) << "它不是普通文件";
    QTest::newRow("one byte over") << "65" << qint64(64) << "文件大于 0 KiB";
    QTest::newRow("at the limit") << "64" << qint64(64) << "";
    QTest::newRow("nothing there") << "missing" << qint64(64) << "";
}

// Refused at once, before any byte could be waited for.
void TestAtomicFile::readerRefuses()
{
    QFETCH(QString, name);
    QFETCH(qint64, limit);
    QFETCH(QString, problem);

    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QVERIFY(QFile::link(fifo, dir.filePath(QStringLiteral("to-fifo"))));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(AtomicFile::write(dir.filePath(QStringLiteral("65")), QByteArray(65, 'x')).saved());
    QVERIFY(AtomicFile::write(dir.filePath(QStringLiteral("64")), QByteArray(64, 'x')).saved());

    const QString path = name.startsWith(u'/') ? name : dir.filePath(name);
    const BoundedRead::Result read = BoundedRead::within(path, limit, 60000);
    QCOMPARE(read.problem, problem);
    QCOMPARE(read.missing, name == u"missing");
    QCOMPARE(read.bytes.has_value(), problem.isEmpty() && !read.missing);
    if (read.bytes)
        QCOMPARE(read.bytes->size(), limit);
}

// The answer comes on the asker's thread; an asker gone before it is never told.
void TestAtomicFile::readerLaterNeverWaits()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("file"));
    QVERIFY(AtomicFile::write(path, "x").saved());
    QObject context;
    int told = 0;
    BoundedRead::Result answer;
    BoundedRead::later(path, 64, &context, [&](const BoundedRead::Result &r) {
        QCOMPARE(QThread::currentThread(), context.thread());
        ++told;
        answer = r;
    });
    QTRY_COMPARE(told, 1);
    QCOMPARE(answer.bytes, QByteArray("x"));

    auto gone = std::make_unique<QObject>();
    BoundedRead::later(path, 64, gone.get(), [&](const BoundedRead::Result &) { ++told; });
    gone.reset();
    QTest::qWait(200);
    QCOMPARE(told, 1);
}

int main(int argc, char *argv[])
{
    enterOwnNamespace();
    QCoreApplication app(argc, argv);
    TestAtomicFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_atomicfile.moc"
