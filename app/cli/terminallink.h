#pragma once
// Link mode on a terminal: the link loop's window, printed. The two bots' lines go to standard
// output as "<Name> text" (names coloured only when the console allows colour); notes, status
// texts and errors go to standard error, so that standard output holds the talk alone.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/udlp/linkloop.h"

namespace vebix {
struct Console;
}  // namespace vebix

namespace vebix::cli {

class TerminalLink : public LinkLoop::Window {
public:
    // ownName: the loaded bot's name. turns: how many answers of the other bot (or its
    // failures to answer) end the link; 0: no limit.
    TerminalLink(Console& console, std::string ownName, std::uint64_t turns);

    // The loop to stop once the turns are done; set before it runs.
    void setLoop(LinkLoop* loop) { loop_ = loop; }

    // Turns completed: the other bot answered, or was unable to.
    std::uint64_t turnsDone() const { return turnsDone_; }
    // Whether the mind learned something.
    bool learned() const { return learned_; }
    // Whether the other bot answered at least once.
    bool answered() const { return answered_; }
    // Notes left out (--quiet); errors are still said.
    void setQuiet(bool quiet) { quiet_ = quiet; }
    // Whether "Link Mode ended" was already said.
    bool endSaid() const { return endSaid_; }
    // Prints a note on standard error.
    void note(std::string_view text);

    void showBotLine(std::string_view text) override;
    void showPartnerLine(std::string_view name, std::string_view text) override;
    void showInfo(std::string_view text) override;
    void setStatus(std::string_view text) override;
    void showError(std::string_view text) override;
    void markLearned() override { learned_ = true; }

private:
    void line(std::string_view name, std::string_view colour, std::string_view text);
    void turnDone();

    Console& console_;
    std::string ownName_;
    std::uint64_t turns_;
    std::uint64_t turnsDone_ = 0;
    LinkLoop* loop_ = nullptr;
    bool learned_ = false;
    bool endSaid_ = false;
    bool answered_ = false;
    bool quiet_ = false;
};

}  // namespace vebix::cli
