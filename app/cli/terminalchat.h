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
    bool quiet = false;               // --quiet: no notes (the mind's path, the greeting)
};

// What a line typed in the chat asks for: said to the mind (a line that starts with "//" is
// said with one "/" less), or one of the chat's own commands ("/help", "/save", "/quit",
// "/discard", "/name NAME", "/info"; the command's word in any letter case).
struct ChatInput {
    enum class Kind { Say, Help, Save, Quit, Discard, Name, Info, Unknown, Missing };
    Kind kind = Kind::Say;
    std::string text;  // Say: the line to say; Name: the new name; Unknown: the command word
};
ChatInput readChatInput(const std::string& line);

// The text /help shows, one command a line.
extern const char* const kChatCommandsHelp;

// Runs the chat until the input ends, /quit, /discard or Ctrl-C; returns the exit status (0
// when the mind was saved or there was nothing to save, or the lines were discarded; 1 when it
// could not be loaded or its lines had to go to a rescue file; 130 after Ctrl-C, the mind saved
// first). Needs a QCoreApplication; runs its event loop.
int runTerminalChat(const ChatOptions& options, Console& console);

}  // namespace vebix::cli
