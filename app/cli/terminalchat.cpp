#include "app/cli/terminalchat.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <ostream>

#include "engine/base/random.h"
#include "app/chat/conversation.h"
#include "app/cli/console.h"
#include "app/cli/exitstatus.h"
#include "app/cli/interrupt.h"
#include "app/cli/lineinput.h"
#include "app/cli/mindrescue.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/program.h"
#include "app/platform/filewrite.h"
#include "app/platform/settings.h"
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

// A mind another window keeps open: the person at the terminal decides, nobody else may.
class HeldMindQuestion : public MindKeeper::Observer {
public:
    explicit HeldMindQuestion(Console& console) : console_(console) {}
    std::string resolveHeldMind(const std::string& path) override {
        refused_ = true;
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
        refused_ = false;
        return path;
    }
    bool refused() const { return refused_; }

private:
    Console& console_;
    bool refused_ = false;
};

// The person's name: asked on a terminal with a default offered, else the one used last.
std::optional<std::string> askName(Console& console, const std::optional<std::string>& given) {
    if (given) return trimmed(*given);
    std::string fallback;
    if (auto last = Settings().findString(Settings::Key::LastUserName)) fallback = trimmed(*last);
    if (fallback.empty())
        if (auto login = systempaths::userName()) fallback = *login;
    if (!console.inIsTerminal) return fallback.empty() ? std::string("user") : fallback;
    for (;;) {
        console.out << "Please enter your name";
        if (!fallback.empty()) console.out << " [" << fallback << "]";
        console.out << ": " << std::flush;
        std::string answer;
        if (!LineInput::readPlainLine(console.inFd, answer)) {
            // Nobody to talk to: the chat ends without saving anything.
            console.out << '\n' << std::flush;
            return std::nullopt;
        }
        answer = trimmed(answer);
        if (!answer.empty()) return answer;
        if (!fallback.empty()) return fallback;
    }
}

// The chat once the mind is loaded and the person named: lines in, replies out, until the
// input ends or an interrupt.
class Session : public QObject {
public:
    Session(MindKeeper& keeper, Console& console, std::string userName, std::string localTag,
            bool delay)
        : keeper_(keeper),
          console_(console),
          palette_(console.colour),
          userName_(std::move(userName)),
          localTag_(std::move(localTag)),
          speaker_(userName_ + "!" + localTag_),
          delay_(delay),
          conversation_(keeper, delay_),
          input_(console.inFd, console.inIsTerminal,
                 console.inIsTerminal ? LineInput::defaultHistoryPath() : std::string()) {
        connect(&conversation_, &Conversation::lineAccepted, this, [this](const QString& line) {
            // A terminal shows what was typed already; piped lines are shown as said.
            if (!console_.inIsTerminal) showLine(userName_, palette_.user, line.toStdString());
        });
        auto botLine = [this](const QString& text) { showBotLine(text.toStdString()); };
        connect(&conversation_, &Conversation::probeAnswered, this, botLine);
        connect(&conversation_, &Conversation::replied, this, botLine);
        connect(&conversation_, &Conversation::unableToReply, this, [this](const QString& text) {
            std::string apology = text.toStdString();
            std::string kept;
            for (char c : apology)
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
        connect(&conversation_, &Conversation::exchangeFinished, this, [this] { nextLine(); });
        connect(&input_, &LineInput::lineRead, this, &Session::onLine);
        connect(&input_, &LineInput::endOfInput, this, [this] { loop_.quit(); });
        connect(&interrupt_, &InterruptWatch::interrupted, this, [this] {
            // The terminal first, so that what follows is written in its normal mode.
            input_.stop();
            if (console_.inIsTerminal) console_.out << '\n' << std::flush;
            loop_.quit();
        });
        autosave_.setInterval(MindKeeper::kAutosaveIntervalMs);
        connect(&autosave_, &QTimer::timeout, this, &Session::autosave);
    }

    void showBotLine(const std::string& text) {
        const std::string name = keeper_.bot() ? keeper_.bot()->botName() : std::string();
        showLine(name, palette_.bot, text);
    }

    // Runs until the end; then the mind is saved (or rescued).
    int run() {
        autosave_.start();
        nextLine();
        if (!interrupt_.requested()) loop_.exec();
        autosave_.stop();
        input_.stop();
        if (!input_.saveHistory())
            console_.err << "vebix chat: cannot write the line history" << std::endl;
        if (discarded_) {
            keeper_.discardMind();
            return kExitOk;
        }
        saveSettings(keeper_.mindPath(), userName_);
        const int status = closeMindOrRescue(keeper_, console_, kCommand, userName_);
        return status == kExitOk && interrupt_.requested() ? kExitInterrupted : status;
    }

private:
    // Lines come from the mind, which learned them from anyone (another bot included): shown,
    // never obeyed by the terminal.
    void showLine(const std::string& name, std::string_view colour, const std::string& text) {
        const bool terminal = console_.outIsTerminal;
        console_.out << colour << '<' << shownText(name, terminal) << '>' << palette_.reset << ' '
                     << shownText(text, terminal) << '\n'
                     << std::flush;
    }

    std::string prompt() const {
        if (!console_.colour) return "<" + userName_ + "> ";
        // libedit leaves out of the prompt's width what stands between these markers.
        const std::string start(1, '\1'), end(1, '\2');
        return start + std::string(palette_.user) + end + "<" + userName_ + ">" + start +
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
        switch (input.kind) {
            case ChatInput::Kind::Say:
                break;
            case ChatInput::Kind::Help:
                console_.out << palette_.note << kChatCommandsHelp << palette_.reset << std::flush;
                break;
            case ChatInput::Kind::Save:
                try {
                    keeper_.requestSave();
                    keeper_.saveNow();
                    note("Saved " + shownText(keeper_.mindPath(), console_.outIsTerminal));
                } catch (const std::exception& e) {
                    console_.err << "vebix chat: " << e.what() << std::endl;
                }
                break;
            case ChatInput::Kind::Info:
                note(shownText(keeper_.mindPath(), console_.outIsTerminal) + ": " +
                     std::to_string(keeper_.savedCount() + keeper_.unsavedLineCount()) +
                     " lines, " + std::to_string(keeper_.unsavedLineCount()) + " not saved yet");
                break;
            case ChatInput::Kind::Name:
                userName_ = input.text;
                speaker_ = userName_ + "!" + localTag_;
                note("You are " + shownText(userName_, console_.outIsTerminal) + " now");
                break;
            case ChatInput::Kind::Missing:
                console_.err << "vebix chat: /name needs a name" << std::endl;
                break;
            case ChatInput::Kind::Unknown:
                console_.err << "vebix chat: unknown command '"
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
            if (conversation_.say(speaker_, input.text)) return;
        } catch (const std::exception& e) {
            console_.err << "vebix chat: " << e.what() << std::endl;
        }
        // Nothing to say (a blank line), or the exchange failed: the next line.
        nextLine();
    }

    void autosave() {
        try {
            keeper_.autosaveTick();
            autosaveFailed_ = false;
        } catch (const std::exception& e) {
            // Said once; the next tick tries again, and the end of the chat asks what to do.
            if (!autosaveFailed_)
                console_.err << "vebix chat: the mind could not be saved (" << e.what()
                             << "); trying again" << std::endl;
            autosaveFailed_ = true;
        }
    }

    MindKeeper& keeper_;
    Console& console_;
    Palette palette_;
    std::string userName_;
    std::string localTag_;
    std::string speaker_;
    bool discarded_ = false;
    std::atomic<bool> delay_;
    Conversation conversation_;
    LineInput input_;
    InterruptWatch interrupt_;
    QTimer autosave_;
    QEventLoop loop_;
    bool autosaveFailed_ = false;
};

}  // namespace

int runTerminalChat(const ChatOptions& options, Console& console) {
    std::string missing;
    const StartupChoice start = chooseStartMind(
        MissingNamedMind::Report, options.namedMind, fromQPath(systempaths::documentsFolder()),
        [&missing](const std::string& message) { missing = message; });
    if (start.mindPath.empty()) {
        console.err << "vebix chat: " << oneLine(missing.empty() ? "no mind to load" : missing)
                    << std::endl;
        return 1;
    }

    HeldMindQuestion question(console);
    MindKeeper keeper(&question, MindKeeper::Holding::HoldOpen);
    keeper.setPrepareReplies(true);
    const bool existingLoaded = keeper.loadMind(start.mindPath);
    if (!keeper.bot()) {
        console.err << "vebix chat: " << fullPath(start.mindPath)
                    << " is open in another Vebix (a window or a chat); not opened" << std::endl;
        return 1;
    }

    const Palette palette(console.colour);
    if (!options.quiet)
        console.out << palette.note << keeper.mindPath() << palette.reset << "\n\n" << std::flush;
    const std::optional<std::string> name = askName(console, options.name);
    if (!name || name->empty()) {
        keeper.discardMind();
        return 0;
    }
    if (!options.quiet)
        console.out << palette.note << "Hi, " << *name << "..." << palette.reset << '\n'
                    << std::flush;

    Session session(keeper, console, *name, start.localTag, options.delay);
    // A new mind always opens the conversation; a loaded one half of the time.
    bool opens = !existingLoaded || (rng::next() & 1u) != 0;
    std::string opening;
    if (opens) {
        opening = keeper.bot()->openingLine(*name);
        opens = !opening.empty();
    }
    if (opens) {
        session.showBotLine(opening);
        keeper.bot()->addAiLine(*name + "!" + start.localTag, std::to_string(keeper.lastLineTime()),
                                opening);
    }
    saveSettings(keeper.mindPath(), *name);
    return session.run();
}

}  // namespace vebix::cli
