#include "app/gui/windowthread.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <exception>
#include <mutex>
#include <stdexcept>

namespace vebix {
namespace {

// The hand-over. The work and its outcome pass through these, under a lock of our own, rather
// than inside the toolkit's call object: the toolkit orders the two threads with locks that
// race checkers cannot see, ours they can. They exist before any thread starts.
std::mutex handOverMutex;
const std::function<void()>* pendingWork = nullptr;
std::exception_ptr workFailure;
// One hand-over at a time.
std::mutex callMutex;

// Runs the pending work when the window thread's event loop delivers the call.
class Mailbox : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void runPending() {
        const std::function<void()>* work;
        {
            std::lock_guard<std::mutex> lock(handOverMutex);
            work = pendingWork;
        }
        std::exception_ptr failure;
        try {
            (*work)();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(handOverMutex);
        workFailure = failure;
    }
};

}  // namespace

void runOnWindowThread(QObject* context, const std::function<void()>& work) {
    if (QThread::currentThread() == context->thread())
        throw std::logic_error("runOnWindowThread called on the window thread");
    std::lock_guard<std::mutex> serial(callMutex);
    {
        std::lock_guard<std::mutex> lock(handOverMutex);
        pendingWork = &work;
        workFailure = nullptr;
    }
    // A blocking queued call: the window thread runs the mailbox from its event loop while
    // this thread waits.
    Mailbox mailbox;
    mailbox.moveToThread(context->thread());
    QMetaObject::invokeMethod(&mailbox, "runPending", Qt::BlockingQueuedConnection);
    std::exception_ptr failure;
    {
        std::lock_guard<std::mutex> lock(handOverMutex);
        failure = workFailure;
        pendingWork = nullptr;
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace vebix

#include "windowthread.moc"
