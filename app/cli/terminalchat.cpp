#include "app/cli/terminalchat.h"

#include <QEventLoop>

#include <algorithm>
#include <exception>
#include <ostream>

#include "app/chat/chatsession.h"
#include "app/chat/conversation.h"
#include "app/platform/interrupt.h"
#include "app/cli/lineinput.h"
#include "app/cli/terminalfrontend.h"
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

    TerminalFrontEnd frontEnd(console, kCommand, options.name);
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
