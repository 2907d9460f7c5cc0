#include "link/pendingstop.h"

bool PendingStop::owe(const QString &device, const QString &cause)
{
    const bool first = !isPending();
    if (first || device != m_device) {
        m_device = device;
        m_causes.clear();
    }
    if (!m_causes.contains(cause))
        m_causes.append(cause);
    m_cancelled = false;
    return first;
}

bool PendingStop::takeFor(const QString &device)
{
    if (!isPending())
        return false;
    const bool same = device == m_device;
    m_cancelled = !same;
    m_device.clear();
    m_causes.clear();
    return same;
}

void PendingStop::clear()
{
    m_device.clear();
    m_causes.clear();
    m_cancelled = false;
}
