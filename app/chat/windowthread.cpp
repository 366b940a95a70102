#include "app/chat/windowthread.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <exception>
#include <stdexcept>

#include "engine/base/mutex.h"

namespace vebix {
namespace {

// The hand-over of one call. The work and its outcome pass through the mailbox, under a lock of
// its own, rather than inside the toolkit's call object: the toolkit orders the two threads with
// locks that race checkers cannot see, this one they can.
class Mailbox : public QObject {
    Q_OBJECT
public:
    explicit Mailbox(const std::function<void()>& work) : work_(&work) {}

    // Runs the work when the window thread's event loop delivers the call.
    Q_INVOKABLE void runPending() {
        const std::function<void()>* work;
        {
            MutexLock lock(mutex_);
            work = work_;
        }
        std::exception_ptr failure;
        try {
            (*work)();
        } catch (...) {
            failure = std::current_exception();
        }
        MutexLock lock(mutex_);
        failure_ = failure;
    }

    std::exception_ptr failure() {
        MutexLock lock(mutex_);
        return failure_;
    }

private:
    Mutex mutex_;
    const std::function<void()>* work_ VEBIX_GUARDED_BY(mutex_);
    std::exception_ptr failure_ VEBIX_GUARDED_BY(mutex_);
};

}  // namespace

void runOnWindowThread(QObject* context, const std::function<void()>& work) {
    if (QThread::currentThread() == context->thread())
        throw std::logic_error("runOnWindowThread called on the window thread");
    // A blocking queued call: the window thread runs the mailbox from its event loop while
    // this thread waits.
    Mailbox mailbox(work);
    mailbox.moveToThread(context->thread());
    QMetaObject::invokeMethod(&mailbox, "runPending", Qt::BlockingQueuedConnection);
    if (std::exception_ptr failure = mailbox.failure()) std::rethrow_exception(failure);
}

}  // namespace vebix

#include "windowthread.moc"
