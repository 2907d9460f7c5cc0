#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <mutex>

// What clients may watch, handed from the panel's thread to the server's: the panel posts
// each change, every subscription waits for the next one and reads the newest state. A
// subscriber that falls behind skips to the newest: nothing queues up for a slow reader.
class SilaBoard
{
public:
    struct State
    {
        QString pressure; // as the pump sent it; empty before a reading
        QDateTime pressureTime;
        bool pressureCurrent = false;
        QString flowSent;
        QString limitSent;
        QString lastCommand; // "run", "stop" or empty
        QString link;        // "closed", "open" or "lost"
        QString timedRun;    // "idle", "running" or "paused"
        QStringList alarms;
        bool locked = false;
    };

    // From the panel's thread.
    void post(const State &state)
    {
        {
            std::lock_guard lock(m_mutex);
            m_state = state;
            ++m_generation;
        }
        m_changed.notify_all();
    }

    // The server starts (again): subscriptions may wait.
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_closed = false;
    }

    // Nothing more is posted: every waiting subscription returns.
    void close()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_changed.notify_all();
    }

    // The state once its generation passes seen, or after timeout; false once closed.
    bool wait(quint64 *seen, State *state, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return m_closed || m_generation != *seen; });
        *seen = m_generation;
        *state = m_state;
        return !m_closed;
    }

    State state() const
    {
        std::lock_guard lock(m_mutex);
        return m_state;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state;
    quint64 m_generation = 1;
    bool m_closed = false;
};
