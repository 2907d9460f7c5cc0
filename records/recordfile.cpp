#include "records/recordfile.h"

#include "files/atomicfile.h"

#include <QDir>

RecordFile::RecordFile(const QString &path, const QString &what) : m_path(path), m_what(what) {}

bool RecordFile::save(const QByteArray &text)
{
    return save([&text](QIODevice *device) { return device->write(text) == text.size(); });
}

bool RecordFile::save(const Producer &produce)
{
    const AtomicFile::Result written = AtomicFile::write(m_path, produce);
    m_errorText = written ? QString()
                          : QStringLiteral("写入%1 %2 失败：%3")
                                .arg(m_what, QDir::toNativeSeparators(m_path), written.reason);
    return written.saved();
}
