#pragma once
// Bot mode: answering one UDLP message. A link program leaves "CHAT.MSG" (see chatmsgformat.h)
// in the bot's folder and starts the program there; the program answers the message with the
// loaded mind, learns the exchange when allowed, saves the mind, replaces the file with the
// reply and ends. No QCoreApplication, no display, no window.
//
// The bot folder is hostile ground: CHAT.MSG and the info files are opened without following a
// link and without waiting, read only as far as their lines are used (each cut at
// kMaxLineBytes), and the reply replaces the name CHAT.MSG, never what a link there points to.

#include <cstdio>
#include <functional>
#include <string>

namespace vebix {

// The request in a "CHAT.MSG": its first two lines.
struct ChatRequest {
    std::string sender;
    std::string message;
    bool cut = false;  // a line was longer than kMaxLineBytes and was cut there
};

// Reads the sender's name and the message from an open "CHAT.MSG", each cut to kMaxLineBytes
// (safefile.h). Whatever cannot be read (a missing line, a read error) is empty.
ChatRequest readChatRequest(std::FILE* file);
// Reads the "CHAT.MSG" at path, in a bot folder: nothing there reads as an empty request;
// a link, a FIFO, a device or a folder there throws Error naming it and what it is.
ChatRequest readChatRequestFile(const std::string& path);

// When message is exactly the probe "!#@", replaces it with "<mxo1.7.5>" and returns true;
// otherwise leaves it and returns false.
bool answerProbe(std::string& message);

// Whether anything named "CHAT.MSG" (a file, a folder, a link, ...) is in the working folder.
bool chatMsgPresent();

// Shows the "Fatal Error" box with the message and waits until it is closed. The program
// supplies one that shows it only when a display is available.
using FatalBox = std::function<void(const std::string& message)>;

// The end of every failed run: the message goes to standard error; "CHAT.MSG" in the working
// folder is deleted (a failure to delete is ignored); then, when showBox is set and a box is
// given, the box shows the message. Returns the exit status, 1.
int endWithFatalError(const std::string& message, bool showBox, const FatalBox& box);

// Answers the "CHAT.MSG" in the working folder. namedPath is the mind file named on the
// command line, or empty. Returns the exit status: 0 after the reply was written, 1 after any
// failure (reported through endWithFatalError, with the box unless "UDLPX.NFO" turned
// showerrors off).
//
// In order: "UDLPX.NFO"; the request, read and checked before any mind is loaded, so that a
// request that is refused, or the probe, costs no load; the mind; the reply. With learning on,
// the reply is prepared beside CHAT.MSG before the mind is saved and put in place after it, so
// that the reply is never there without the save, and a run killed in between leaves at most
// the request unanswered.
int runBotMode(const std::string& namedPath, const std::string& programPath,
               const FatalBox& showFatalBox);

}  // namespace vebix
