#pragma once
// Prepares a mind's replies in the background (Ai::prepareReplies) for as long as it lives: a
// window or a terminal chat starts one when it has loaded a mind, so that the first answer is as
// quick as the later ones, and drops it (which stops the work and waits for it) before the mind
// is replaced or released.

#include <atomic>
#include <memory>
#include <thread>

namespace vebix {

class Ai;

class ReplyPreparer {
public:
    explicit ReplyPreparer(std::shared_ptr<const Ai> mind);
    ~ReplyPreparer();
    ReplyPreparer(const ReplyPreparer&) = delete;
    ReplyPreparer& operator=(const ReplyPreparer&) = delete;

    // Whether the work has ended (done, stopped, or failed).
    bool finished() const { return finished_.load(); }
    // Waits until the work has ended.
    void wait();

private:
    std::shared_ptr<const Ai> mind_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace vebix
