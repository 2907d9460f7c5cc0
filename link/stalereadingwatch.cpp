#include "link/stalereadingwatch.h"

bool StaleReadingWatch::pollSent()
{
    if (m_pollsWithoutReading < m_pollsUntilStale)
        ++m_pollsWithoutReading;
    return isStale();
}

void StaleReadingWatch::readingArrived()
{
    m_pollsWithoutReading = 0;
}
