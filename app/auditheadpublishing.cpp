#include "app/auditheadpublishing.h"

#include "audit/auditlog.h"
#include "platform/publisher.h"

#include <QTimer>

AuditHeadPublishing::AuditHeadPublishing(AuditLog *log, Publisher *publisher, QObject *parent)
    : QObject(parent), m_log(log), m_publisher(publisher), m_timer(new QTimer(this))
{
    m_timer->setInterval(kInterval);
    connect(m_timer, &QTimer::timeout, this, &AuditHeadPublishing::publish);
    m_timer->start();
    connect(log, &AuditLog::written, this, [this](const QString &what) {
        if (what == u"save" || what == u"save-as" || what == u"print" || what == u"export")
            publish();
    });
}

void AuditHeadPublishing::publish()
{
    if (const AuditLog::Head head = m_log->head(); head.seq > 0)
        m_publisher->auditHead(head.seq, head.hash);
}
