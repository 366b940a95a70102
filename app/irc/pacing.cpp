#include "app/irc/pacing.h"

#include <algorithm>

#include "engine/base/random.h"

namespace vebix::irc {

void SendQueue::push(std::string line, Kind kind) {
    if (kind == Kind::Control) {
        control_.push_back(std::move(line));
        return;
    }
    chat_.push_back(std::move(line));
    while (chat_.size() > pace_.maxChatLines) {
        chat_.pop_front();
        ++dropped_;
    }
}

std::optional<std::uint64_t> SendQueue::nextDueMs(std::uint64_t nowMs) const {
    if (control_.empty() && chat_.empty()) return std::nullopt;
    const std::uint64_t due = account_ > pace_.burstMs ? account_ - pace_.burstMs : 0;
    return std::max(nowMs, due);
}

std::optional<std::string> SendQueue::take(std::uint64_t nowMs) {
    const auto due = nextDueMs(nowMs);
    if (!due || *due > nowMs) return std::nullopt;
    std::deque<std::string>& from = control_.empty() ? chat_ : control_;
    std::string line = std::move(from.front());
    from.pop_front();
    account_ = std::max(account_, nowMs) + pace_.lineMs + pace_.perByteMs * (line.size() + 2);
    return line;
}

void SendQueue::clear() {
    control_.clear();
    chat_.clear();
    account_ = 0;
}

bool RequestLimit::allow(std::uint64_t nowMs) {
    if (count_ == 0) return false;
    const std::uint64_t each = windowMs_ / count_;
    const std::uint64_t start = std::max(account_, nowMs);
    if (start + each > nowMs + windowMs_) return false;
    account_ = start + each;
    return true;
}

std::uint64_t Backoff::nextDelayMs() {
    const std::uint64_t step = std::min(step_, limits_.maxMs);
    step_ = std::min(step * 2, limits_.maxMs);
    const std::uint64_t quarter = step / 4;
    return step - (quarter == 0 ? 0 : rng::next() % (quarter + 1));
}

}  // namespace vebix::irc
