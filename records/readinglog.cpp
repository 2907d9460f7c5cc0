#include "readinglog.h"

#include <QDir>

bool ReadingLog::open(const QString &path)
{
    m_file.close();
    m_errorText.clear();
    m_file.setFileName(path);
    // Unbuffered: each line goes to the system in one write, and after a failed write nothing
    // is left in a buffer that closing would try to write again.
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return true;
    m_errorText = QStringLiteral("无法打开读数日志 %1：%2")
                      .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
    return false;
}

bool ReadingLog::append(const QDateTime &time, const QString &value)
{
    if (!m_file.isOpen())
        return false;
    // The value was decoded from the received Latin-1 bytes; toLatin1() gives them back.
    const QByteArray line =
        time.toLocalTime().toString(Qt::ISODateWithMs).toLatin1() + '\t' + value.toLatin1() + '\n';
    if (m_file.write(line) == line.size() && m_file.flush())
        return true;
    m_errorText = QStringLiteral("写入读数日志 %1 失败：%2")
                      .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
    m_file.close();
    return false;
}
