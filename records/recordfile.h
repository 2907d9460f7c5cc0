#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// One save of the record file. The text goes to a new file beside the old one, which takes
// the old one's place only once all of it has been written; whatever fails (the folder, the
// rights, a full disk, the final rename), the old file stays as it was, byte for byte. Each
// failure is told in errorText(), in the panel's language, naming the file and the reason, a
// full disk as a full disk. A name that leads to anything but a file (a folder, a device or a
// pipe behind a symlink) is refused: it would be replaced, not written. Exports are written
// the same way, named as what they are in the messages.
class RecordFile
{
public:
    // Writes to the device given; false when it failed or was given up.
    using Producer = std::function<bool(QIODevice *device)>;

    explicit RecordFile(const QString &path, const QString &what = QStringLiteral("记录文件"));

    // True once the new file is in place.
    bool save(const QByteArray &text);
    bool save(const Producer &produce);

    QString errorText() const { return m_errorText; }

private:
    QString m_path;
    QString m_what;
    QString m_errorText;
};
