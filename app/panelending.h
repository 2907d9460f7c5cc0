#pragma once

class AuditHeadPublishing;
class AuditLog;
class Form1;

// The end of the panel once its window has closed. The threads of the reading log, of exports,
// of the audit trail and of publishing end together, each within its own deadline, rather than
// one after another as the window's objects go: a disk or a broker that does not answer holds
// up the end by one deadline at most for each. The audit trail is written out first, so that
// the head the broker gets last (head may be null: not publishing) covers the session's last
// records, the port closed and an alarm acknowledged among them.
namespace PanelEnding {

void finish(Form1 &form, AuditLog &audit, AuditHeadPublishing *head);

} // namespace PanelEnding
