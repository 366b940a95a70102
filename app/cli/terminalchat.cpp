#include "app/cli/terminalchat.h"

#include <QEventLoop>

#include <exception>
#include <ostream>

#include "app/chat/chatsession.h"
#include "app/chat/conversation.h"
#include "app/cli/interrupt.h"
#include "app/cli/lineinput.h"
#include "app/mind/startup.h"
#include "app/platform/console.h"
#include "app/platform/filewrite.h"
#include "app/platform/systempaths.h"

namespace vebix::cli {
namespace {

constexpr const char* kCommand = "chat";

// Every line end (CR LF, CR or LF) becomes one blank.
std::string oneLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        line += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return line;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string linesText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " line" : " lines");
}

// The chat session's front end on the terminal. Questions are read from the console when it is
// a terminal; without one, the answers that need nobody are given (a mind held elsewhere is not
// opened, the name is the one used last, lines that cannot be saved go to a rescue file).
// Notes go to standard output, what went wrong to standard error.
class TerminalFrontEnd : public ChatSession::FrontEnd {
public:
    TerminalFrontEnd(Console& console, std::optional<std::string> givenName)
        : console_(console), palette_(console.colour), givenName_(std::move(givenName)) {}

    // The session whose mind's name the bot's lines show.
    void attach(const ChatSession& session) { session_ = &session; }

    // A mind another window keeps open: the person at the terminal decides, nobody else may.
    std::string askAboutHeldMind(const std::string& path) override {
        if (!console_.inIsTerminal) return {};
        console_.out
            << "The mind file " << path
            << " is open in another Vebix (a window or a chat). If both keep it open, their lines "
               "are saved out of order.\nOpen it anyway? [y/N] "
            << std::flush;
        std::string answer;
        if (!LineInput::readPlainLine(console_.inFd, answer)) console_.out << '\n';
        answer = trimmed(answer);
        if (answer.empty() || (answer.front() | 0x20) != 'y') return {};
        return path;
    }

    // The name given with --name; else asked on a terminal with the one used last (or the login
    // name) offered, else that one.
    std::optional<std::string> askName(const ChatSession::NameQuestion& question) override {
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

    ChatSession::AfterFailedSave askAfterFailedSave(
        const ChatSession::SaveFailure& failure) override {
        if (failure.newFailure)
            console_.err << "vebix " << kCommand
                         << ": the mind could not be saved: " << failure.reason << std::endl;
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

    std::string askSaveAsPath(const std::string&) override {
        console_.out << "Save the mind as: " << std::flush;
        std::string path;
        if (!LineInput::readPlainLine(console_.inFd, path)) return {};
        return path;
    }

    void showMindLoaded(const std::string& path) override {
        console_.out << palette_.note << path << palette_.reset << "\n\n" << std::flush;
    }

    void showGreeting(const std::string& name, const std::string& opening) override {
        console_.out << palette_.note << "Hi, " << name << "..." << palette_.reset << '\n'
                     << std::flush;
        if (!opening.empty()) showBotLine(opening);
    }

    void showSaveFailing(const std::string& reason) override {
        console_.err << "vebix " << kCommand << ": the mind could not be saved (" << reason
                     << "); trying again" << std::endl;
    }

    void showSaveAsRefused(const std::string& path) override {
        console_.err << "vebix " << kCommand << ": " << path
                     << " is open in another Vebix (a window or a chat); choose another file"
                     << std::endl;
    }

    void showRescued(const std::string& path, std::size_t unsavedLines) override {
        console_.err << "vebix " << kCommand << ": the whole mind, with the "
                     << linesText(unsavedLines) << " not saved, was written to " << path
                     << std::endl;
    }

    void showRescueFailed(const std::string& reason, std::size_t unsavedLines) override {
        console_.err << "vebix " << kCommand << ": no rescue file could be written either ("
                     << reason << "); " << linesText(unsavedLines) << " lost" << std::endl;
    }

    void showBotLine(const std::string& text) {
        const MindKeeper* keeper = session_ ? &session_->keeper() : nullptr;
        showLine(keeper && keeper->bot() ? keeper->bot()->botName() : std::string(), palette_.bot,
                 text);
    }

    void showLine(const std::string& name, std::string_view colour, const std::string& text) {
        console_.out << colour << '<' << name << '>' << palette_.reset << ' ' << text << '\n'
                     << std::flush;
    }

private:
    Console& console_;
    Palette palette_;
    std::optional<std::string> givenName_;
    const ChatSession* session_ = nullptr;
};

// The conversation once the mind is loaded and the person greeted: lines in, replies out, until
// the input ends or an interrupt; then the session closes the mind.
class ChatLoop : public QObject {
public:
    ChatLoop(ChatSession& session, TerminalFrontEnd& frontEnd, Console& console)
        : session_(session),
          frontEnd_(frontEnd),
          console_(console),
          palette_(console.colour),
          input_(console.inFd, console.inIsTerminal,
                 console.inIsTerminal ? LineInput::defaultHistoryPath() : std::string()) {
        Conversation& conversation = session_.conversation();
        connect(&conversation, &Conversation::lineAccepted, this, [this](const QString& line) {
            // A terminal shows what was typed already; piped lines are shown as said.
            if (!console_.inIsTerminal)
                frontEnd_.showLine(session_.userName(), palette_.user, line.toStdString());
        });
        auto botLine = [this](const QString& text) { frontEnd_.showBotLine(text.toStdString()); };
        connect(&conversation, &Conversation::probeAnswered, this, botLine);
        connect(&conversation, &Conversation::replied, this, botLine);
        connect(&conversation, &Conversation::unableToReply, this, [this](const QString& text) {
            std::string shown;
            for (char c : text.toStdString())
                if (c != '\r') shown.push_back(c);
            console_.out << palette_.note << shown << palette_.reset << std::flush;
        });
        connect(&conversation, &Conversation::exchangeFinished, this, [this] { nextLine(); });
        connect(&input_, &LineInput::lineRead, this, &ChatLoop::onLine);
        connect(&input_, &LineInput::endOfInput, this, [this] { loop_.quit(); });
        connect(&interrupt_, &InterruptWatch::interrupted, this, [this] {
            // The terminal first, so that what follows is written in its normal mode.
            input_.stop();
            if (console_.inIsTerminal) console_.out << '\n' << std::flush;
            loop_.quit();
        });
    }

    // Runs until the end; then the mind is saved (or rescued). Returns the exit status.
    int run() {
        nextLine();
        if (!interrupt_.requested()) loop_.exec();
        input_.stop();
        if (!input_.saveHistory())
            console_.err << "vebix " << kCommand << ": the line history could not be written"
                         << std::endl;
        switch (session_.close()) {
            case ChatSession::Closed::Rescued:
            case ChatSession::Closed::Lost:
                return 1;
            default:
                return 0;
        }
    }

private:
    std::string prompt() const {
        const std::string& name = session_.userName();
        if (!console_.colour) return "<" + name + "> ";
        // libedit leaves out of the prompt's width what stands between these markers.
        const std::string start(1, '\1'), end(1, '\2');
        return start + std::string(palette_.user) + end + "<" + name + ">" + start +
               std::string(palette_.reset) + end + " ";
    }

    void nextLine() {
        if (interrupt_.requested()) return;
        input_.requestLine(prompt());
    }

    void onLine(const QString& line) {
        try {
            if (session_.say(line.toStdString())) return;
        } catch (const std::exception& e) {
            console_.err << "vebix " << kCommand << ": " << e.what() << std::endl;
        }
        // Nothing to say (a blank line), or the exchange failed: the next line.
        nextLine();
    }

    ChatSession& session_;
    TerminalFrontEnd& frontEnd_;
    Console& console_;
    Palette palette_;
    LineInput input_;
    InterruptWatch interrupt_;
    QEventLoop loop_;
};

}  // namespace

int runTerminalChat(const ChatOptions& options, Console& console) {
    std::string missing;
    const StartupChoice start = chooseStartMind(
        MissingNamedMind::Report, options.namedMind, fromQPath(systempaths::documentsFolder()),
        [&missing](const std::string& message) { missing = message; });
    if (start.mindPath.empty()) {
        console.err << "vebix " << kCommand << ": "
                    << oneLine(missing.empty() ? "no mind to load" : missing) << std::endl;
        return 1;
    }

    TerminalFrontEnd frontEnd(console, options.name);
    ChatSession session(frontEnd, {.localTag = start.localTag,
                                   .loginName = systempaths::userName(),
                                   .delayResponses = options.delay,
                                   .prepareReplies = true});
    frontEnd.attach(session);
    switch (session.open(start.mindPath)) {
        case ChatSession::Opened::NoMind:
            console.err << "vebix " << kCommand << ": " << fullPath(start.mindPath)
                        << " is open in another Vebix (a window or a chat); not opened"
                        << std::endl;
            return 1;
        case ChatSession::Opened::Ended:
            return 0;
        case ChatSession::Opened::Greeted:
            break;
    }
    ChatLoop loop(session, frontEnd, console);
    return loop.run();
}

}  // namespace vebix::cli
