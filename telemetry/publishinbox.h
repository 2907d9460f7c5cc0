#pragma once

#include <QMutex>

#include <deque>
#include <functional>
#include <vector>

// The publisher's calls on their way from the window's thread to the publisher's thread, in the
// order they were made; every member may be called from either thread. A publisher's thread
// that is held up (a name lookup or another network call that does not return) cannot make
// it grow without bound: past kLimit calls it keeps PublishQueue's rules. A reading
// that finds it full is not queued but counted, and the count goes with the next take(); any
// other call makes room by dropping the oldest reading waiting, else the oldest event. A state
// or an alarm is never dropped: with only those waiting, it waits beyond the limit, and an
// event is dropped instead.
class PublishInbox
{
public:
    static constexpr qsizetype kLimit = 10'000;

    enum class Kind { Reading, Event, Kept }; // Kept: a state, an alarm or the audit head
    using Call = std::function<void()>;

    struct Batch
    {
        std::vector<Call> calls;
        quint64 readingsDropped = 0; // since the last take()
    };

    // True when the taking thread is to be woken: the first call to wait since the last take().
    bool push(Kind kind, Call call);
    Batch take();
    // Readings and events dropped so far.
    quint64 dropped() const;

private:
    struct Entry
    {
        Kind kind;
        Call call;
    };

    mutable QMutex m_mutex;
    std::deque<Entry> m_entries;
    quint64 m_readingsDropped = 0;
    quint64 m_dropped = 0;
    bool m_woken = false;
};
