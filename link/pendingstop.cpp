#include "link/pendingstop.h"

#include <algorithm>

bool PendingStop::owe(const QString &device, Cause cause, const QString &text)
{
    const bool first = !isPending();
    if (first || device != m_device) {
        m_device = device;
        m_reasons.clear();
    }
    if (const Reason reason{cause, text}; !m_reasons.contains(reason))
        m_reasons.append(reason);
    m_cancelled = false;
    return first;
}

QStringList PendingStop::causes() const
{
    QStringList texts;
    for (const Reason &reason : m_reasons)
        texts.append(reason.text);
    return texts;
}

bool PendingStop::owedFor(Cause cause) const
{
    return std::any_of(m_reasons.cbegin(), m_reasons.cend(),
                       [cause](const Reason &reason) { return reason.cause == cause; });
}

bool PendingStop::takeFor(const QString &device)
{
    if (!isPending())
        return false;
    const bool same = device == m_device;
    m_cancelled = !same;
    m_device.clear();
    m_reasons.clear();
    return same;
}

void PendingStop::clear()
{
    m_device.clear();
    m_reasons.clear();
    m_cancelled = false;
}
