#include "care/carefile.h"

#include "files/atomicfile.h"
#include "files/boundedread.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// A counter file is a few hundred bytes; anything much larger is no counter file.
constexpr qint64 kLargestFile = 64 * 1024;

QString candidate(const QString &folder, const QString &name, int afresh)
{
    if (afresh == 0)
        return QDir(folder).filePath(name);
    QString stem = name;
    stem.chop(int(qstrlen(".json")));
    return QDir(folder).filePath(QStringLiteral("%1-afresh-%2.json").arg(stem).arg(afresh));
}

// Why the file at path cannot be used; empty when it can (or is not there).
QString refusal(const QString &path, CareBook *book, bool *unreadable)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    // A FIFO or a device would hold the panel up at its opening; a link could lead anywhere.
    // What is swapped in after this look is refused by the reader on the descriptor it opens.
    if (info.isSymLink() || !info.isFile())
        return QStringLiteral("不是普通文件");
    if (info.size() > kLargestFile)
        return QStringLiteral("内容损坏（文件过大）");
    const BoundedRead::Result read = BoundedRead::within(path, kLargestFile);
    if (!read.bytes) {
        // Not read now (a disk too slow, no right to it) says nothing of what it holds.
        *unreadable = true;
        return read.problem.isEmpty() ? QStringLiteral("无法读取") : read.problem;
    }
    QString problem;
    const std::optional<CareBook> decoded = CareBook::decode(*read.bytes, &problem);
    if (!decoded)
        return problem;
    *book = *decoded;
    return {};
}

} // namespace

QString CareFile::fileName(const QString &adapter)
{
    QString readable = adapter;
    readable.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]+")), QStringLiteral("_"));
    readable = readable.right(60);
    const QByteArray hash =
        QCryptographicHash::hash(adapter.toUtf8(), QCryptographicHash::Sha256).toHex().left(8);
    return QStringLiteral("care-%1-%2.json").arg(readable, QString::fromLatin1(hash));
}

CareFile::Opened CareFile::open(const QString &folder, const QString &adapter)
{
    Opened opened;
    const QString name = fileName(adapter);
    for (int afresh = 0; afresh <= kMostAfresh; ++afresh) {
        const QString path = candidate(folder, name, afresh);
        CareBook book;
        bool unreadable = false;
        if (const QString why = refusal(path, &book, &unreadable); !why.isEmpty()) {
            opened.refused << QStringLiteral("维护计数文件 %1 未用：%2")
                                  .arg(QDir::toNativeSeparators(path), why);
            // A file that could not be read is not begun afresh beside: its counts would be
            // split in two. Counting goes on in memory, written nowhere.
            if (unreadable)
                break;
            continue;
        }
        opened.path = path;
        // Found, or not there yet: this one it is.
        opened.book = QFileInfo::exists(path) ? book : CareBook{};
        opened.book.adapter = adapter;
        return opened;
    }
    opened.book.adapter = adapter;
    return opened;
}

QString CareFile::writeWhole(const QString &path, const QByteArray &bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("无法建立文件夹 %1")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
    return AtomicFile::write(path, bytes).reason;
}
