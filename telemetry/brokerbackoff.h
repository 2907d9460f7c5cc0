#pragma once

#include <chrono>
#include <optional>

// When to try the broker again, from what became of the attempts so far; times are read from
// any clock that only goes forward. A failed attempt waits 1 s, then twice as long each time
// up to 30 s, and the wait starts again from 1 s only once a connection has held for a minute:
// a broker that hangs up right after accepting is not asked again every second. Three
// connections in a row dropped within 10 s of being accepted are taken as another client
// connecting with the same id, which the broker lets take the connection over (MQTT 3.1.1
// gives no reason): then the wait is 5 minutes, rather than taking the connection back each
// time and being taken over in turn, until a connection holds longer.
class BrokerBackoff
{
public:
    using Duration = std::chrono::milliseconds;

    static constexpr Duration kFirstWait = std::chrono::seconds(1);
    static constexpr Duration kLongestWait = std::chrono::seconds(30);
    static constexpr Duration kHeldLongEnough = std::chrono::minutes(1);
    static constexpr Duration kQuickDrop = std::chrono::seconds(10);
    static constexpr int kQuickDropsForIdTaken = 3;
    static constexpr Duration kIdTakenWait = std::chrono::minutes(5);

    struct Next
    {
        Duration wait;
        bool idLooksTaken = false;
    };

    // The broker accepted the connection at this time.
    void connected(Duration at) { m_connectedAt = at; }
    // The connection accepted last ended at this time.
    Next lost(Duration at);
    // An attempt ended before the broker accepted it: refused, unanswered, unreachable.
    Next failed();

private:
    Next next();

    Duration m_wait = kFirstWait;
    std::optional<Duration> m_connectedAt;
    int m_quickDrops = 0;
};
