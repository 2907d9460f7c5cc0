#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QWaitCondition>

// The reading log's lines on their way from the window's thread to the writer thread; every
// member may be called from either. It holds at most `limit` lines: a line pushed while it is
// full is dropped and counted, and the next take() hands over the count with the time and day
// of the first line lost. As the queue stays full until that take(), every line lost came after
// the lines taken with the count and before any line taken later. After close() pushes are
// ignored and take() returns what is left, then false; discard() forgets what is left as well.
class LogQueue
{
public:
    struct Line
    {
        QDateTime time;
        QDate day; // the day whose file the line goes to; invalid when there is one file
        QByteArray text;
    };
    struct Batch
    {
        QList<Line> lines;
        quint64 dropped = 0;
        Line firstDropped; // without text
    };

    explicit LogQueue(qsizetype limit);

    void push(Line line);
    // Waits for lines, a count of lines lost, or close(). False once closed with nothing left.
    bool take(Batch *batch);
    void close();
    void discard();

private:
    const qsizetype m_limit;
    QMutex m_mutex;
    QWaitCondition m_ready;
    QList<Line> m_lines;
    quint64 m_dropped = 0;
    Line m_firstDropped;
    bool m_closed = false;
};
