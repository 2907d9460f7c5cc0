#pragma once

#include <QByteArray>
#include <QString>

// A small file the panel reads once at its start and then keeps in memory: the broker's user
// and password, or the certificate authority of its TLS certificate. Reading never waits: a
// FIFO, a folder or a device in the file's place is refused, by what the open descriptor is,
// so that what was checked is what is read. Whether others than the owner may read the file
// is told, for a file that holds a password.
struct CredentialFile
{
    enum class Outcome { Read, CannotOpen, NotRegular, TooLarge, CannotRead };
    enum class Kind { Regular, Folder, Fifo, Device, Socket };

    // A bundle of a few hundred certificate authorities fits; more is no credential file.
    static constexpr qint64 kLargestBytes = 1024 * 1024;

    Outcome outcome = Outcome::CannotOpen;
    Kind kind = Kind::Regular;     // what it is instead, when NotRegular
    int error = 0;                 // errno, when CannotOpen or CannotRead
    bool readableByOthers = false; // by its group or by every user
    QByteArray content;

    static CredentialFile read(const QString &path);
};
