#pragma once
// Bot mode: answering one UDLP message. A link program leaves "CHAT.MSG" (see chatmsgformat.h)
// in the bot's folder and starts the program there; the program answers the message with the
// loaded mind, learns the exchange when allowed, saves the mind, replaces the file with the
// reply and ends. No QCoreApplication, no display, no window.

#include <cstdio>
#include <functional>
#include <string>

namespace vebix {

// The request in a "CHAT.MSG": its first two lines.
struct ChatRequest {
    std::string sender;
    std::string message;
};

// Reads the sender's name and the message from an open "CHAT.MSG". Whatever cannot be read
// (a missing line, a read error) is empty.
ChatRequest readChatRequest(std::FILE* file);

// When message is exactly the probe "!#@", replaces it with "<mxo1.7.5>" and returns true;
// otherwise leaves it and returns false.
bool answerProbe(std::string& message);

// Whether a file or folder named "CHAT.MSG" is in the working folder.
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
int runBotMode(const std::string& namedPath, const std::string& programPath,
               const FatalBox& showFatalBox);

}  // namespace vebix
