#pragma once
// The chat session's front end on the terminal (app/chat/chatsession.h), for `vebix chat` and
// for `vebix reply --learn` when its lines cannot be saved. Questions are read from the console
// when it is a terminal; without one, the answers that need nobody are given (a mind held
// elsewhere is not opened, the name is the one used last, lines that cannot be saved go to a
// rescue file). Notes go to standard output, what went wrong to standard error, each after
// "vebix <command>: ".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "app/chat/chatsession.h"
#include "app/platform/console.h"

namespace vebix::cli {

class TerminalFrontEnd : public ChatSession::FrontEnd {
public:
    // givenName, when set, is the name without asking (--name, --as).
    TerminalFrontEnd(Console& console, std::string command,
                     std::optional<std::string> givenName = std::nullopt);

    // The session whose mind's name the bot's lines show.
    void attach(const ChatSession& session) { session_ = &session; }
    // Quiet: the notes (where the mind lives, the greeting) left out; the mind's lines stay.
    void setQuiet(bool quiet) { quiet_ = quiet; }

    // A mind another window keeps open: the person at the terminal decides, nobody else may.
    std::string askAboutHeldMind(const std::string& path) override;
    // The given name; else asked on a terminal with the one used last (or the login name)
    // offered, else that one. None when the input ends at the question.
    std::optional<std::string> askName(const ChatSession::NameQuestion& question) override;
    // Try again, save As or Discard, asked on a terminal; a rescue without one, or when the
    // input ends.
    ChatSession::AfterFailedSave askAfterFailedSave(
        const ChatSession::SaveFailure& failure) override;
    std::string askSaveAsPath(const std::string& currentPath) override;

    void showMindLoaded(const std::string& path) override;
    void showGreeting(const std::string& name, const std::string& opening) override;
    void showSaveFailing(const std::string& reason) override;
    void showSaveAsRefused(const std::string& path) override;
    void showRescued(const std::string& path, std::size_t unsavedLines, bool whole) override;
    void showRescueFailed(const std::string& reason, std::size_t unsavedLines) override;

    // A line of the bot's, named by the attached session's mind.
    void showBotLine(const std::string& text);
    // A line in the chat: <name> text, the name in colour. Lines come from the mind, which
    // learned them from anyone (another bot included): shown, never obeyed by the terminal.
    void showLine(const std::string& name, std::string_view colour, const std::string& text);

private:
    // "vebix <command>: ", the start of every error line.
    std::string errorStart() const;

    Console& console_;
    Palette palette_;
    const std::string command_;
    std::optional<std::string> givenName_;
    const ChatSession* session_ = nullptr;
    bool quiet_ = false;
};

}  // namespace vebix::cli
