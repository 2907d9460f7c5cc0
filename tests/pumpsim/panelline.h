#pragma once

#include "link/framereader.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The panel's end of a simulated line, for tests: the slave path opened raw and non-blocking,
// its bytes cut into frames by the same FrameReader the panel uses. Frames are handed out in
// arrival order, each once.
class PanelLine
{
public:
    explicit PanelLine(const QString &slavePath);
    ~PanelLine();
    PanelLine(const PanelLine &) = delete;
    PanelLine &operator=(const PanelLine &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool send(const QByteArray &bytes);

    // Waits up to timeoutMs for count frames; returns those that came, at most count.
    QList<QByteArray> takeFrames(int count, int timeoutMs);
    // The next bytes to arrive (also fed to the frame reader); empty after timeoutMs.
    QByteArray nextBytes(int timeoutMs);
    // True once the far end has hung up, within timeoutMs.
    bool waitForHangUp(int timeoutMs);

    qsizetype bytesReceived() const { return m_bytesReceived; }
    quint64 strayBytes() const { return m_reader.droppedBytes(); }

private:
    enum class Arrival { Bytes, Nothing, HungUp };
    Arrival receive(int timeoutMs, QByteArray *bytes);

    int m_fd = -1;
    FrameReader m_reader;
    QList<QByteArray> m_frames;
    qsizetype m_bytesReceived = 0;
};
