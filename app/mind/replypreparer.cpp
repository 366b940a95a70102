#include "app/mind/replypreparer.h"

#include "engine/ai/ai.h"

namespace vebix {

ReplyPreparer::ReplyPreparer(std::shared_ptr<const Ai> mind) : mind_(std::move(mind)) {
    thread_ = std::thread([this] {
        try {
            mind_->prepareReplies(stop_);
        } catch (...) {
            // Out of memory, most likely: replies then work out what they need themselves.
        }
        finished_.store(true);
    });
}

ReplyPreparer::~ReplyPreparer() {
    stop_.store(true);
    wait();
}

void ReplyPreparer::wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace vebix
