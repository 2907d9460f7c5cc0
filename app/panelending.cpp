#include "app/panelending.h"

#include "app/auditheadpublishing.h"
#include "app/form1.h"
#include "app/remotecontrol.h"
#include "app/panelpublishing.h"
#include "audit/auditlog.h"
#include "platform/publisher.h"
#include "records/exportwriter.h"
#include "records/logwriter.h"

namespace PanelEnding {

void finish(Form1 &form, AuditLog &audit, AuditHeadPublishing *head)
{
    form.hide();
    // No remote command may come in while the panel's workers end.
    form.remoteControl()->stop();
    Publisher *publisher = form.publishing() ? form.publishing()->publisher() : nullptr;
    form.readingLog()->beginClose();
    form.exports()->beginClose();
    audit.beginClose();
    audit.waitClosed();
    if (head)
        head->publish();
    if (publisher)
        publisher->beginFinish();
    if (publisher)
        publisher->waitFinished();
    form.readingLog()->waitClosed();
    form.exports()->waitClosed();
}

} // namespace PanelEnding
