#pragma once

#include <QByteArray>
#include <QChar>
#include <QHash>
#include <QString>

// Where 保存 and 另存为… write the record, and the one way both write it: the drive letters
// of the record file map to folders of this machine, and the default folder, when it was given
// as made on demand, is made at the first save into it.
class RecordSaving
{
public:
    void setDriveFolders(const QHash<QChar, QString> &folders,
                         const QString &folderMadeOnDemand = QString());

    // The record file "d:\mytext.txt" on this machine.
    QString recordFilePath() const;
    // Its folder, for a box to start in: the default folder is made now if it is not there.
    QString recordFolder() const;
    // Writes text to path. Empty once the file is in place; otherwise what went wrong, in the
    // panel's language, and the file there before is left as it was.
    QString save(const QString &path, const QByteArray &text) const;

private:
    QHash<QChar, QString> m_driveFolders;
    QString m_folderMadeOnDemand;
};
