#pragma once

#include "tools/pty/pseudoterminal.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

class QSocketNotifier;
class QTimer;

// The pump's end of a pseudo-terminal, inside the test. It drains the panel's polls so that the
// panel's writes never back up, answers as many of them as it is told to with readings of its
// own, and writes whatever is queued in bounded chunks from the event loop, so that a panel in
// the same thread goes on reading while the bytes flow. It keeps, in order, the value of every
// current-pressure reply it queued; a reply counts as sent once nothing is left queued.
class PtyPeer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kValueChars = 4;

    // The value of reading number n: four digits, distinct over any 10,000 readings in a row.
    static QByteArray readingValue(qint64 n);
    static QByteArray readingFrame(const QByteArray &value);

    explicit PtyPeer(QObject *parent = nullptr);
    ~PtyPeer() override;

    // A new pair; the one before, if any, is hung up first.
    bool open();
    void hangUp();
    const PseudoTerminal &pty() const { return m_pty; }

    // At most chunkBytes per write, and pauseMs between writes (0: whenever the loop is free).
    void setPacing(int chunkBytes, int pauseMs);
    // Answers the next count polls, each with the next numbered reading.
    void answerPolls(qint64 count) { m_answersLeft = count; }
    // Queues bytes behind those still waiting; readings are the values of the current-pressure
    // replies among them.
    void send(const QByteArray &bytes, const QByteArrayList &readings = {});
    bool idle() const { return m_outPos == m_out.size(); }

    qint64 pollsReceived() const { return m_bytesIn / kPollBytes; }
    qint64 readingCount() const { return m_sent.size() / kValueChars; }
    // Every reading queued so far, kValueChars bytes each, in order.
    const QByteArray &sentValues() const { return m_sent; }
    QStringList sentReadings() const;
    void reserveReadings(qint64 count) { m_sent.reserve(count * kValueChars); }

private:
    static constexpr int kPollBytes = 9;

    void onReadable();
    void writeSome();

    PseudoTerminal m_pty;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_writer;
    int m_chunkBytes = 4096;
    QByteArray m_out;
    qsizetype m_outPos = 0;
    qint64 m_bytesIn = 0;
    qint64 m_answersLeft = 0;
    qint64 m_nextReading = 0;
    QByteArray m_sent;
};
