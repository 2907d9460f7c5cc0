#include "records/recordfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

namespace {

// The system's words for a full disk are easily lost on the way (a failure at the final
// flush has been seen to read "unknown error"), so the disk itself is asked.
// A writer that gave up by itself, with the file unharmed, has no words from the system.
QString reasonFor(const QSaveFile &file, qint64 needed, bool gaveUp)
{
    const QStorageInfo volume(QFileInfo(file.fileName()).absolutePath());
    if (volume.isValid() && volume.bytesAvailable() < needed)
        return QStringLiteral("磁盘已满（%1）").arg(file.errorString());
    if (gaveUp && file.error() == QFileDevice::NoError)
        return QStringLiteral("未完成");
    return file.errorString();
}

} // namespace

RecordFile::RecordFile(const QString &path, const QString &what) : m_path(path), m_what(what) {}

bool RecordFile::save(const QByteArray &text)
{
    return save([&text](QIODevice *device) { return device->write(text) == text.size(); });
}

bool RecordFile::save(const Producer &produce)
{
    m_errorText.clear();
    const QString shown = QDir::toNativeSeparators(m_path);
    // The new file would take the place of whatever the name leads to, a device or a pipe
    // behind a symlink included: only a file is ever replaced.
    if (const QFileInfo existing(m_path); existing.exists() && !existing.isFile()) {
        m_errorText = QStringLiteral("无法写入%1 %2：它不是普通文件").arg(m_what, shown);
        return false;
    }
    QSaveFile file(m_path);
    // Never fall back to writing over the old file where no new one can be made beside it.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        m_errorText = QStringLiteral("无法打开%1 %2：%3").arg(m_what, shown, file.errorString());
        return false;
    }
    const bool produced = produce(&file);
    const qint64 written = file.pos();
    if (!produced || !file.commit()) {
        m_errorText = QStringLiteral("写入%1 %2 失败：%3")
                          .arg(m_what, shown, reasonFor(file, qMax<qint64>(written, 1), !produced));
        file.cancelWriting();
        return false;
    }
    return true;
}
