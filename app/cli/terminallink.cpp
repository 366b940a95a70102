#include "app/cli/terminallink.h"

#include <ostream>

#include "app/platform/console.h"

namespace vebix::cli {

TerminalLink::TerminalLink(Console& console, std::string ownName, std::uint64_t turns)
    : console_(console), ownName_(std::move(ownName)), turns_(turns) {}

void TerminalLink::line(std::string_view name, std::string_view colour, std::string_view text) {
    const Palette palette(console_.colour);
    // Both names and lines come from the bots: shown, never obeyed by the terminal.
    const bool terminal = console_.outIsTerminal;
    console_.out << '<' << colour << shownText(name, terminal)
                 << (colour.empty() ? "" : palette.reset) << "> " << shownText(text, terminal)
                 << '\n';
    // Shown as it is said: someone may be watching, or reading through a pipe.
    console_.out.flush();
}

void TerminalLink::showBotLine(std::string_view text) {
    line(ownName_, Palette(console_.colour).bot, text);
}

void TerminalLink::showPartnerLine(std::string_view name, std::string_view text) {
    line(name, Palette(console_.colour).user, text);
    answered_ = true;
    turnDone();
}

void TerminalLink::showInfo(std::string_view text) {
    note(text);
    // The note that the other bot did not answer closes its turn as an answer would.
    if (text.ends_with(kUnableToRespond)) turnDone();
}

void TerminalLink::setStatus(std::string_view text) {
    if (text == kLinkEndedStatus) endSaid_ = true;
    note(text);
}

void TerminalLink::showError(std::string_view text) {
    console_.err << "vebix link: " << shownText(text, console_.errIsTerminal) << std::endl;
}

void TerminalLink::note(std::string_view text) {
    if (quiet_) return;
    console_.err << shownText(text, console_.errIsTerminal) << std::endl;
}

void TerminalLink::turnDone() {
    ++turnsDone_;
    if (turns_ != 0 && turnsDone_ >= turns_ && loop_) loop_->requestStop();
}

}  // namespace vebix::cli
