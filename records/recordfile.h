#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// One save of the record file, through AtomicFile: the old file is replaced only once the new
// one is whole on the disk, and stays as it was, byte for byte, whatever fails. Each failure is
// told in errorText(), in the panel's language, naming the file and the reason, a full disk as
// a full disk. Exports are written the same way, named as what they are in the messages.
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
