#include "records/recordfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

namespace {

// The system's words for a full disk are easily lost on the way (a failure at the final
// flush has been seen to read "unknown error"), so the disk itself is asked.
QString reasonFor(const QSaveFile &file, qsizetype needed)
{
    const QStorageInfo volume(QFileInfo(file.fileName()).absolutePath());
    if (volume.isValid() && volume.bytesAvailable() < needed)
        return QStringLiteral("磁盘已满（%1）").arg(file.errorString());
    return file.errorString();
}

} // namespace

RecordFile::RecordFile(const QString &path) : m_path(path) {}

bool RecordFile::save(const QByteArray &text)
{
    m_errorText.clear();
    const QString shown = QDir::toNativeSeparators(m_path);
    // The new file would take the place of whatever the name leads to, a device or a pipe
    // behind a symlink included: only a file is ever replaced.
    if (const QFileInfo existing(m_path); existing.exists() && !existing.isFile()) {
        m_errorText = QStringLiteral("无法写入记录文件 %1：它不是普通文件").arg(shown);
        return false;
    }
    QSaveFile file(m_path);
    // Never fall back to writing over the old file where no new one can be made beside it.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        m_errorText = QStringLiteral("无法打开记录文件 %1：%2").arg(shown, file.errorString());
        return false;
    }
    if (file.write(text) != text.size() || !file.commit()) {
        m_errorText =
            QStringLiteral("写入记录文件 %1 失败：%2").arg(shown, reasonFor(file, text.size()));
        file.cancelWriting();
        return false;
    }
    return true;
}
