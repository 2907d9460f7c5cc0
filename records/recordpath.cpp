#include "records/recordpath.h"

namespace RecordPath {

QString toLocalPath(const QString &windowsPath, const QHash<QChar, QString> &driveFolders)
{
#ifdef Q_OS_WIN
    Q_UNUSED(driveFolders);
    return windowsPath;
#else
    QString rest = windowsPath;
    QString folder;
    if (rest.size() >= 2 && rest.at(1) == u':' && rest.at(0).isLetter()) {
        const QChar drive = rest.at(0).toLower();
        folder = driveFolders.value(drive, QStringLiteral("/mnt/") + drive);
        rest = rest.mid(2);
    }
    rest.replace(u'\\', u'/');
    if (folder.isEmpty())
        return rest;
    if (folder.endsWith(u'/'))
        folder.chop(1);
    if (!rest.startsWith(u'/'))
        rest.prepend(u'/');
    return folder + rest;
#endif
}

} // namespace RecordPath
