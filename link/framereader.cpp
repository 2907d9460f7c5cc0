#include "link/framereader.h"

#include "link/linkprotocol.h"

QList<QByteArray> FrameReader::feed(const QByteArray &bytes)
{
    using namespace LinkProtocol;

    m_pending.append(bytes);
    QList<QByteArray> frames;
    qsizetype pos = 0;
    while (true) {
        const qsizetype start = m_pending.indexOf(kStartChar, pos);
        if (start < 0) {
            m_droppedBytes += m_pending.size() - pos;
            pos = m_pending.size();
            break;
        }
        m_droppedBytes += start - pos;
        pos = start;
        if (m_pending.size() - pos < kFrameLength)
            break;
        if (m_pending.at(pos + kFrameLength - 1) == kEndChar) {
            frames.append(m_pending.mid(pos, kFrameLength));
            pos += kFrameLength;
        } else {
            ++m_droppedBytes;
            ++pos;
        }
    }
    m_pending.remove(0, pos);
    return frames;
}
