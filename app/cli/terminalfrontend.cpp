#include "app/cli/terminalfrontend.h"

#include <ostream>
#include <utility>

#include "app/cli/lineinput.h"
#include "app/mind/mindkeeper.h"

namespace vebix::cli {
namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string linesText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " line" : " lines");
}

}  // namespace

TerminalFrontEnd::TerminalFrontEnd(Console& console, std::string command,
                                   std::optional<std::string> givenName)
    : console_(console),
      palette_(console.colour),
      command_(std::move(command)),
      givenName_(std::move(givenName)) {}

std::string TerminalFrontEnd::errorStart() const { return "vebix " + command_ + ": "; }

std::string TerminalFrontEnd::askAboutHeldMind(const std::string& path) {
    if (!console_.inIsTerminal) return {};
    console_.out << "The mind file " << path
                 << " is open in another Vebix (a window or a chat). If both keep it open, their "
                    "lines are saved out of order.\nOpen it anyway? [y/N] "
                 << std::flush;
    std::string answer;
    if (!LineInput::readPlainLine(console_.inFd, answer)) console_.out << '\n';
    answer = trimmed(answer);
    if (answer.empty() || (answer.front() | 0x20) != 'y') return {};
    return path;
}

std::optional<std::string> TerminalFrontEnd::askName(const ChatSession::NameQuestion& question) {
    if (givenName_) return trimmed(*givenName_);
    std::string offered = trimmed(question.lastUsed);
    if (offered.empty()) offered = question.loginName.value_or(std::string());
    if (!console_.inIsTerminal) return offered.empty() ? std::string("user") : offered;
    for (;;) {
        console_.out << "Please enter your name";
        if (!offered.empty()) console_.out << " [" << offered << "]";
        console_.out << ": " << std::flush;
        std::string answer;
        if (!LineInput::readPlainLine(console_.inFd, answer)) {
            // Nobody to talk to: the chat ends without saving anything.
            console_.out << '\n' << std::flush;
            return std::nullopt;
        }
        answer = trimmed(answer);
        if (!answer.empty()) return answer;
        if (!offered.empty()) return offered;
    }
}

ChatSession::AfterFailedSave TerminalFrontEnd::askAfterFailedSave(
    const ChatSession::SaveFailure& failure) {
    if (failure.newFailure)
        console_.err << errorStart() << "the mind could not be saved: " << failure.reason
                     << std::endl;
    if (!console_.inIsTerminal) return ChatSession::AfterFailedSave::Rescue;
    for (;;) {
        console_.out << (failure.unsavedLines == 0 ? std::string("No lines would be lost.")
                                                   : linesText(failure.unsavedLines) +
                                                         " of this conversation would be lost.")
                     << "\nTry again (after freeing space or fixing the permissions), save As "
                        "another file, or Discard? [t/a/d] "
                     << std::flush;
        std::string answer;
        if (!LineInput::readPlainLine(console_.inFd, answer)) {
            console_.out << '\n' << std::flush;
            return ChatSession::AfterFailedSave::Rescue;
        }
        switch (answer.empty() ? 't' : static_cast<char>(answer.front() | 0x20)) {
            case 't':
                return ChatSession::AfterFailedSave::TryAgain;
            case 'a':
                return ChatSession::AfterFailedSave::SaveAs;
            case 'd':
                return ChatSession::AfterFailedSave::Discard;
            default:
                console_.out << "Please answer t (try again), a (save as) or d (discard).\n";
        }
    }
}

std::string TerminalFrontEnd::askSaveAsPath(const std::string&) {
    console_.out << "Save the mind as: " << std::flush;
    std::string path;
    if (!LineInput::readPlainLine(console_.inFd, path)) return {};
    return path;
}

void TerminalFrontEnd::showMindLoaded(const std::string& path) {
    if (quiet_) return;
    console_.out << palette_.note << path << palette_.reset << "\n\n" << std::flush;
}

void TerminalFrontEnd::showGreeting(const std::string& name, const std::string& opening) {
    if (!quiet_)
        console_.out << palette_.note << "Hi, " << shownText(name, console_.outIsTerminal) << "..."
                     << palette_.reset << '\n'
                     << std::flush;
    if (!opening.empty()) showBotLine(opening);
}

void TerminalFrontEnd::showSaveFailing(const std::string& reason) {
    console_.err << errorStart() << "the mind could not be saved (" << reason << "); trying again"
                 << std::endl;
}

void TerminalFrontEnd::showSaveAsRefused(const std::string& path) {
    console_.err << errorStart() << path
                 << " is open in another Vebix (a window or a chat); choose another file"
                 << std::endl;
}

void TerminalFrontEnd::showRescued(const std::string& path, std::size_t unsavedLines, bool whole) {
    if (whole)
        console_.err << errorStart() << "the whole mind, with the " << linesText(unsavedLines)
                     << " not saved, was written to " << path << std::endl;
    else
        console_.err << errorStart() << "the " << linesText(unsavedLines)
                     << " not saved were written to " << path << std::endl;
}

void TerminalFrontEnd::showRescueFailed(const std::string& reason, std::size_t unsavedLines) {
    console_.err << errorStart() << "no rescue file could be written either (" << reason << "); "
                 << linesText(unsavedLines) << " lost" << std::endl;
}

void TerminalFrontEnd::showBotLine(const std::string& text) {
    const MindKeeper* keeper = session_ ? &session_->keeper() : nullptr;
    showLine(keeper && keeper->bot() ? keeper->bot()->botName() : std::string(), palette_.bot,
             text);
}

void TerminalFrontEnd::showLine(const std::string& name, std::string_view colour,
                                const std::string& text) {
    const bool terminal = console_.outIsTerminal;
    console_.out << colour << '<' << shownText(name, terminal) << '>' << palette_.reset << ' '
                 << shownText(text, terminal) << '\n'
                 << std::flush;
}

}  // namespace vebix::cli
