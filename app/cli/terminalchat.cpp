#include "app/cli/terminalchat.h"

#include <QEventLoop>

#include <algorithm>
#include <exception>
#include <ostream>

#include "app/chat/chatsession.h"
#include "app/chat/conversation.h"
#include "app/cli/lineinput.h"
#include "app/cli/terminalfrontend.h"
#include "app/mind/startup.h"
#include "app/platform/console.h"
#include "app/platform/exitstatus.h"
#include "app/platform/interrupt.h"
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

}  // namespace

const char* const kChatCommandsHelp =
    "/help        show these commands\n"
    "/save        save the mind now\n"
    "/info        show the mind's file and how many of its lines are not saved yet\n"
    "/name NAME   go on as NAME\n"
    "/quit        end the chat, saving the mind (as Ctrl-D does)\n"
    "/discard     end the chat without saving what was said since the last save\n"
    "//text       say \"/text\"\n";

ChatInput readChatInput(const std::string& line) {
    ChatInput input;
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] != '/') {
        input.text = line;
        return input;
    }
    if (line.compare(start, 2, "//") == 0) {
        input.text = line.substr(0, start) + line.substr(start + 1);
        return input;
    }
    const auto wordEnd = std::min(line.find_first_of(" \t", start), line.size());
    std::string word = line.substr(start + 1, wordEnd - start - 1);
    for (char& c : word)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const std::string rest = trimmed(line.substr(wordEnd));
    struct Entry {
        const char* word;
        ChatInput::Kind kind;
    };
    static constexpr Entry kWords[] = {
        {"help", ChatInput::Kind::Help}, {"save", ChatInput::Kind::Save},
        {"quit", ChatInput::Kind::Quit}, {"discard", ChatInput::Kind::Discard},
        {"name", ChatInput::Kind::Name}, {"info", ChatInput::Kind::Info},
    };
    input.kind = ChatInput::Kind::Unknown;
    input.text = "/" + word;
    for (const Entry& entry : kWords) {
        if (word != entry.word) continue;
        input.kind = entry.kind;
        input.text.clear();
        if (entry.kind == ChatInput::Kind::Name) {
            if (rest.empty()) input.kind = ChatInput::Kind::Missing;
            input.text = rest;
        }
    }
    return input;
}

namespace {

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
            std::string kept;
            for (char c : text.toStdString())
                if (c != '\r') kept.push_back(c);
            // Its line ends are its own; what it names comes from the mind.
            std::string shown;
            for (std::size_t from = 0; from <= kept.size();) {
                const std::size_t end = std::min(kept.find('\n', from), kept.size());
                shown += shownText(std::string_view(kept).substr(from, end - from),
                                   console_.outIsTerminal);
                if (end < kept.size()) shown += '\n';
                from = end + 1;
            }
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
            console_.err << "vebix " << kCommand << ": cannot write the line history" << std::endl;
        if (discarded_) session_.keeper().discardMind();
        switch (session_.close()) {
            case ChatSession::Closed::Rescued:
            case ChatSession::Closed::Lost:
                return kExitFailure;
            default:
                // Ended by Ctrl-C, the mind saved first.
                return interrupt_.requested() ? kExitInterrupted : kExitOk;
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

    void note(const std::string& text) {
        console_.out << palette_.note << text << palette_.reset << '\n' << std::flush;
    }

    // A chat command; false when the chat ends with it.
    bool runCommand(const ChatInput& input) {
        MindKeeper& keeper = session_.keeper();
        switch (input.kind) {
            case ChatInput::Kind::Say:
                break;
            case ChatInput::Kind::Help:
                console_.out << palette_.note << kChatCommandsHelp << palette_.reset << std::flush;
                break;
            case ChatInput::Kind::Save:
                try {
                    session_.saveNow();
                    note("Saved " + shownText(keeper.mindPath(), console_.outIsTerminal));
                } catch (const std::exception& e) {
                    console_.err << "vebix " << kCommand << ": " << e.what() << std::endl;
                }
                break;
            case ChatInput::Kind::Info:
                note(shownText(keeper.mindPath(), console_.outIsTerminal) + ": " +
                     std::to_string(keeper.savedCount() + keeper.unsavedLineCount()) + " lines, " +
                     std::to_string(keeper.unsavedLineCount()) + " not saved yet");
                break;
            case ChatInput::Kind::Name:
                session_.setUserName(input.text);
                note("You are " + shownText(session_.userName(), console_.outIsTerminal) + " now");
                break;
            case ChatInput::Kind::Missing:
                console_.err << "vebix " << kCommand << ": /name needs a name" << std::endl;
                break;
            case ChatInput::Kind::Unknown:
                console_.err << "vebix " << kCommand << ": unknown command '"
                             << shownText(input.text, console_.errIsTerminal)
                             << "' (/help lists them; // says a line that starts with /)"
                             << std::endl;
                break;
            case ChatInput::Kind::Discard:
                discarded_ = true;
                return false;
            case ChatInput::Kind::Quit:
                return false;
        }
        return true;
    }

    void onLine(const QByteArray& line) {
        const ChatInput input = readChatInput(line.toStdString());
        if (input.kind != ChatInput::Kind::Say) {
            if (runCommand(input))
                nextLine();
            else
                loop_.quit();
            return;
        }
        try {
            if (session_.say(input.text)) return;
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
    bool discarded_ = false;
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

    TerminalFrontEnd frontEnd(console, kCommand, options.name);
    frontEnd.setQuiet(options.quiet);
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
