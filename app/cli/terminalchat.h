#pragma once
// A chat with a mind in the terminal: the chat session the window runs too (app/chat), with the
// terminal as its front end. The start mind chosen and loaded the same way, the same greeting,
// every exchange, the autosave, and the mind saved at the end (with a rescue when that fails,
// so that no line is lost silently).

#include <optional>
#include <string>

namespace vebix {
struct Console;
}  // namespace vebix

namespace vebix::cli {

struct ChatOptions {
    std::string namedMind;            // the MIND argument; empty: the start mind
    std::optional<std::string> name;  // --name
    bool delay = false;               // --delay: hold each reply for the usual second
};

// Runs the chat until the input ends or Ctrl-C; returns the exit status (0 when the mind was
// saved or there was nothing to save; 1 when it could not be loaded or its lines had to go to
// a rescue file). Needs a QCoreApplication; runs its event loop.
int runTerminalChat(const ChatOptions& options, Console& console);

}  // namespace vebix::cli
