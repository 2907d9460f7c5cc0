#include "records/recordsaving.h"

#include "records/recordfile.h"
#include "records/recordpath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

void RecordSaving::setDriveFolders(const QHash<QChar, QString> &folders,
                                   const QString &folderMadeOnDemand)
{
    m_driveFolders = folders;
    m_folderMadeOnDemand = folderMadeOnDemand;
}

QString RecordSaving::recordFilePath() const
{
    return RecordPath::toLocalPath(QString::fromLatin1(RecordPath::kRecordFile), m_driveFolders);
}

QString RecordSaving::recordFolder() const
{
    const QString folder = QFileInfo(recordFilePath()).absolutePath();
    if (!m_folderMadeOnDemand.isEmpty() && folder == QDir(m_folderMadeOnDemand).absolutePath())
        QDir().mkpath(folder);
    return folder;
}

QString RecordSaving::save(const QString &path, const QByteArray &text) const
{
    // The default folder of drive d: is made when first needed; a folder the operator chose
    // is used as it is.
    const QString folder = QFileInfo(path).absolutePath();
    if (!m_folderMadeOnDemand.isEmpty() && folder == QDir(m_folderMadeOnDemand).absolutePath() &&
        !QDir().mkpath(folder)) {
        return QCoreApplication::translate("RecordSaving", "无法创建文件夹 %1")
            .arg(QDir::toNativeSeparators(folder));
    }
    RecordFile file(path);
    return file.save(text) ? QString() : file.errorText();
}
