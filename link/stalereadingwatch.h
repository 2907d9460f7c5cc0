#pragma once

// Tells when the current-pressure reading has grown old: the pump has been polled a number of
// times since the last pressure reply. Replies carrying settings do not renew the reading.
class StaleReadingWatch
{
public:
    explicit StaleReadingWatch(int pollsUntilStale) : m_pollsUntilStale(pollsUntilStale) {}

    // A poll went out; true once the reading has become stale.
    bool pollSent();
    void readingArrived();
    // Starts counting afresh, as when the link is opened.
    void restart() { m_pollsWithoutReading = 0; }
    bool isStale() const { return m_pollsWithoutReading >= m_pollsUntilStale; }

private:
    int m_pollsUntilStale;
    int m_pollsWithoutReading = 0;
};
