#include "threads/threadend.h"

#include <QThread>

bool ThreadEnd::waitOrLeave(QThread *thread, QDeadlineTimer deadline)
{
    if (thread->wait(deadline)) {
        delete thread;
        return true;
    }
    thread->setParent(nullptr);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    return false;
}
