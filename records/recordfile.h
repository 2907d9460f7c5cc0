#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// One save of the record file: open() creates or truncates it, write() writes the text and
// makes sure it has reached the system, close() closes it. The file stays open between write()
// and close(), while the confirmation is shown. open() leaves an existing file as it was when
// it fails. Each failure is told in errorText(), in the panel's language, naming the file and
// the system's reason.
class RecordFile
{
public:
    explicit RecordFile(const QString &path);
    ~RecordFile(); // closes the file if still open

    bool open();
    bool write(const QByteArray &text);
    void close();

    QString errorText() const { return m_errorText; }

private:
    QFile m_file;
    QString m_errorText;
};
