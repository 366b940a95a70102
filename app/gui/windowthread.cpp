#include "gui/windowthread.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <exception>
#include <stdexcept>

namespace vebix {

void runOnWindowThread(QObject* context, const std::function<void()>& work) {
    if (QThread::currentThread() == context->thread())
        throw std::logic_error("runOnWindowThread called on the window thread");
    std::exception_ptr failure;
    // A blocking queued call: the window thread runs the lambda from its event loop while this
    // thread waits.
    QMetaObject::invokeMethod(
        context,
        [&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace vebix
