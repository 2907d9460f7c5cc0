#pragma once

#include "link/pendingstop.h"

#include <QString>

// What the status area says of the link: nothing while all is well; while it is lost, why,
// and what the search for the adapter finds; for a while after, a notice (the link is back, a
// stop was cancelled). A stop still owed to the pump has a line of its own, for as long as it
// is owed.
class LinkStatus
{
public:
    void lost(const QString &reason);
    void waiting(const QString &why);
    // The link is up again, found by the panel or opened by the operator.
    void opened();
    void notice(const QString &text) { m_notice = text; }
    void clearNotice() { m_notice.clear(); }

    bool isLost() const { return m_lost; }
    // One row; empty when there is nothing to say.
    QString text() const;
    // The owed stop's row; empty when none is owed.
    static QString stopText(const PendingStop &pending);

private:
    bool m_lost = false;
    QString m_reason;
    QString m_waiting;
    QString m_notice;
};
