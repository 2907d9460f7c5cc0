#pragma once

#include <QDeadlineTimer>

class QThread;

// The end of a writer's or a drawer's thread that has been asked to quit: waited for until the
// deadline, so that a disk, a broker or a drawing that does not answer holds up the window's
// end by the deadline at most.
namespace ThreadEnd {

// True when the thread ended in time, and is deleted. Otherwise it is left to end by itself
// and deleted then (deleting a running QThread aborts the program); false.
bool waitOrLeave(QThread *thread, QDeadlineTimer deadline);

} // namespace ThreadEnd
