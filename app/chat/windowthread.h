#pragma once
// Running work on the window thread (the main thread) from a worker thread and waiting for it:
// the one way the window's link thread, and the terminal's link command, reach what they show
// and the mind's learning.

#include <functional>

class QObject;

namespace vebix {

// Runs work on the thread of context (the window thread) and returns when it has run. An
// exception thrown by work is thrown again here, on the calling thread. Throws std::logic_error
// when called on the window thread itself, where waiting for it would never end.
void runOnWindowThread(QObject* context, const std::function<void()>& work);

}  // namespace vebix
