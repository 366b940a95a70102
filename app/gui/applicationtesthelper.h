#pragma once
// What tests change in the running Application and the program never does: the prompts that
// answer its "Error" dialog, and what "&Quit" does instead of closing every window. Only tests
// include this header.

#include <functional>
#include <utility>

#include "app/gui/application.h"

namespace vebix {

class ApplicationTestHelper {
public:
    // From now on the "Error" dialog is asked through prompts, which must outlive the
    // application object or be replaced in turn.
    static void setPrompts(Application& app, Prompts& prompts) { app.prompts_ = &prompts; }
    // What "&Quit" does; an empty function restores closing every window.
    static void setQuitAction(Application& app, std::function<void()> action) {
        app.quitAction_ = std::move(action);
    }
};

}  // namespace vebix
