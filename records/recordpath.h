#pragma once

#include <QChar>
#include <QHash>
#include <QString>

// Where the record file "d:\mytext.txt" lives on this machine. On Windows the path is used as
// it stands. Elsewhere a drive letter is a folder: drive d: is /mnt/d unless the command line
// maps the letter to another folder.
namespace RecordPath {

inline constexpr char kRecordFile[] = "d:\\mytext.txt";

// Drive letters are kept in lower case.
QString toLocalPath(const QString &windowsPath, const QHash<QChar, QString> &driveFolders);

} // namespace RecordPath
