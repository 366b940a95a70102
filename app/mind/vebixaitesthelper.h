#pragma once
// What tests watch in a VebixAi and the program never does: the moment a save finds another
// writer holding the mind's write lock and starts to wait. Only tests include this header.

#include <functional>
#include <utility>

#include "app/mind/vebixai.h"

namespace vebix {

class VebixAiTestHelper {
public:
    // callback is called on the saving thread just before a save waits for the write lock.
    static void setOnWriteLockWait(VebixAi& ai, std::function<void()> callback) {
        ai.onWriteLockWait_ = std::move(callback);
    }
};

}  // namespace vebix
