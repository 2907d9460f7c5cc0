#include "telemetry/credentialfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CredentialFile::Kind kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return CredentialFile::Kind::Folder;
    if (S_ISFIFO(mode))
        return CredentialFile::Kind::Fifo;
    if (S_ISSOCK(mode))
        return CredentialFile::Kind::Socket;
    return S_ISREG(mode) ? CredentialFile::Kind::Regular : CredentialFile::Kind::Device;
}

} // namespace

CredentialFile CredentialFile::read(const QString &path)
{
    CredentialFile file;
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    // Looked at before it is opened too: opening a serial adapter named by mistake would
    // already toggle its control lines.
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        file.outcome = Outcome::NotRegular;
        file.kind = kindOf(info.st_mode);
        return file;
    }
    // O_NONBLOCK: a FIFO put in the file's place after that look opens at once, and is
    // refused below, rather than holding the panel until someone writes to it.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        file.error = errno;
        return file;
    }
    if (::fstat(fd, &info) != 0) {
        file.outcome = Outcome::CannotRead;
        file.error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        file.outcome = Outcome::NotRegular;
        file.kind = kindOf(info.st_mode);
    } else if (info.st_size > kLargestBytes) {
        file.outcome = Outcome::TooLarge;
    } else {
        file.outcome = Outcome::Read;
        file.readableByOthers = (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                file.outcome = Outcome::CannotRead;
                file.error = errno;
                break;
            }
            if (n == 0)
                break;
            file.content.append(buffer, n);
            // Grown since fstat: still no credential file.
            if (file.content.size() > kLargestBytes) {
                file.outcome = Outcome::TooLarge;
                break;
            }
        }
    }
    ::close(fd);
    if (file.outcome != Outcome::Read)
        file.content.clear();
    return file;
}
