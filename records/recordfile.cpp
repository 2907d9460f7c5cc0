#include "recordfile.h"

#include <QDir>

RecordFile::RecordFile(const QString &path) : m_file(path) {}

RecordFile::~RecordFile()
{
    close();
}

bool RecordFile::open()
{
    m_errorText.clear();
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    m_errorText = QStringLiteral("无法打开记录文件 %1：%2")
                      .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
    return false;
}

bool RecordFile::write(const QByteArray &text)
{
    m_errorText.clear();
    // QFile keeps small writes in its own buffer, so a full disk may only show at the flush.
    if (m_file.write(text) == text.size() && m_file.flush())
        return true;
    m_errorText = QStringLiteral("写入记录文件 %1 失败：%2")
                      .arg(QDir::toNativeSeparators(m_file.fileName()), m_file.errorString());
    return false;
}

void RecordFile::close()
{
    m_file.close();
}
