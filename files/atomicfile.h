#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// Every file the panel replaces is written here: into a new file beside the old one, every
// write and the last one checked, the new file synced to the disk, renamed over the old one,
// and the folder synced so that the rename survives a power cut. Until the rename the old file
// is untouched; whatever fails before it (the folder, the rights, a full disk, a pipe or a
// folder where the file should be), the old file stays byte for byte and the new one is gone.
// The reason is said in the panel's language, a full disk as "磁盘已满". A name that is a
// symlink to a file replaces the file it leads to.
class AtomicFile
{
public:
    struct Result
    {
        QString reason; // empty once the file is in place
        bool saved() const { return reason.isEmpty(); }
        explicit operator bool() const { return saved(); }
    };

    // Writes to the device given and says whether all of it went; a write that fails makes the
    // save fail whatever the producer answers. The device writes straight to the new file.
    using Producer = std::function<bool(QIODevice *device)>;

    static Result write(const QString &path, const QByteArray &bytes);
    static Result write(const QString &path, const Producer &produce);

    // errno in the panel's language.
    static QString reasonFor(int error);
};
