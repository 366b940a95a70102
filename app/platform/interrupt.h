#pragma once
// Ctrl-C, SIGTERM and SIGHUP as requests to end: while an InterruptWatch lives, those signals
// set a flag (and wake an event loop through a pipe) instead of killing the process, so that a
// command can save or clean up before it ends. At most one watch exists at a time.

#include <QObject>

#include <atomic>

class QSocketNotifier;

namespace vebix {

class InterruptWatch : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; the previous ones come back when the watch is destroyed.
    explicit InterruptWatch(QObject* parent = nullptr);
    ~InterruptWatch() override;
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Whether a signal arrived; safe to ask from any thread.
    bool requested() const;
    // The signal that arrived first, or 0.
    int signalNumber() const;
    // A flag that turns true with the first signal, for loops on other threads.
    const std::atomic<bool>& flag() const;

signals:
    // Emitted on the thread that made the watch, through its event loop, once per signal.
    void interrupted(int signalNumber);

private:
    void drain();
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vebix
