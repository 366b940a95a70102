#include "app/cli/lineinput.h"

#include <poll.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "app/cli/typedtext.h"
#include "app/platform/filewrite.h"

// clang-format off
#include <histedit.h>
// clang-format on

namespace vebix::cli {
namespace {

constexpr int kHistoryEntries = 1000;
// Longer lines are said but not kept in the history, so that one pasted book does not make
// every later start slow.
constexpr std::size_t kLongestHistoryLine = 64 * 1024;
// The first line of a history file.
constexpr std::string_view kHistoryHeader = "_HiStOrY_V2_";
// What the prompt's colour escapes stand between, so that the editor leaves them out of its
// width.
constexpr wchar_t kPromptEscape = L'\1';
constexpr wchar_t kEndOfFile = 4;  // Ctrl-D
// The key that hands the editor a run of typed characters at once (see takeTypedRun). Ctrl-^
// means nothing in the editor's emacs keys; typed by itself it still means nothing.
constexpr wchar_t kTypedRunKey = 0x1e;
// What one read from the terminal takes at most: a paste arrives in blocks, not key by key.
constexpr std::size_t kReadBlock = 64 * 1024;
// A run shorter than this goes key by key, each echoed as it is typed.
constexpr std::size_t kShortestRun = 2;

// Whether a byte goes into the line as it is, whatever the key bindings: not a control
// character (Enter, Tab, an escape sequence's start, Ctrl-anything, Delete).
bool isOrdinary(unsigned char b) { return b >= 0x20 && b != 0x7f; }

void dropLineEnd(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

HistoryW* historyOf(void* history) { return static_cast<HistoryW*>(history); }

}  // namespace

LineInput::LineInput(int fd, bool terminal, std::string historyPath, QObject* parent)
    : QObject(parent), fd_(fd), terminal_(terminal), historyPath_(std::move(historyPath)) {
    if (terminal_) {
        HistoryW* history = history_winit();
        if (!history) throw std::runtime_error("cannot start the line editor");
        history_ = history;
        HistEventW event;
        history_w(history, &event, H_SETSIZE, kHistoryEntries);
        editor_ = el_init_fd("vebix", stdin, stdout, stderr, fd_, STDOUT_FILENO, STDERR_FILENO);
        if (!editor_) throw std::runtime_error("cannot start the line editor");
        el_wset(editor_, EL_CLIENTDATA, this);
        el_wset(editor_, EL_EDITOR, L"emacs");
        // Ctrl-C belongs to the command's own watch, which gives the terminal back through
        // stop().
        el_wset(editor_, EL_SIGNAL, 0);
        el_wset(editor_, EL_HIST, history_w, history);
        el_wset(editor_, EL_PROMPT_ESC, &LineInput::promptText, kPromptEscape);
        el_wset(editor_, EL_GETCFN, &LineInput::readCharacter);
        el_wset(editor_, EL_BIND, L"^R", L"em-inc-search-prev", nullptr);
        el_wset(editor_, EL_BIND, L"^S", L"em-inc-search-next", nullptr);
        // The person's own key bindings (~/.editrc), as in other programs that edit lines.
        el_source(editor_, nullptr);
        el_wset(editor_, EL_ADDFN, L"vebix-typed-run", L"Take a run of typed characters at once",
                &LineInput::takeTypedRun);
        el_wset(editor_, EL_BIND, L"^^", L"vebix-typed-run", nullptr);
        loadHistory();
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    notifier_->setEnabled(false);
    connect(notifier_, &QSocketNotifier::activated, this, &LineInput::onReadable);
}

LineInput::~LineInput() {
    stop();
    if (editor_) el_end(editor_);
    if (history_) history_wend(historyOf(history_));
}

void LineInput::requestLine(const std::string& prompt) {
    requested_ = true;
    if (!terminal_) {
        if (!queued_.empty() || ended_) {
            // Not from inside the caller: a script's lines must not nest one exchange in the
            // one before.
            QMetaObject::invokeMethod(this, &LineInput::deliverQueued, Qt::QueuedConnection);
            return;
        }
        notifier_->setEnabled(true);
        return;
    }
    if (ended_) {
        QMetaObject::invokeMethod(
            this, [this] { onTerminalReadable(); }, Qt::QueuedConnection);
        return;
    }
    prompt_ = typedtext::toWide(prompt);
    for (wchar_t& c : prompt_)
        if (c == L'\2') c = kPromptEscape;
    release();
    // The editor's mode; the prompt is shown.
    el_wset(editor_, EL_UNBUFFERED, 1);
    editing_ = true;
    notifier_->setEnabled(true);
    // Keys typed ahead wait in the terminal (the notifier sees them) or here.
    if (!pending().empty())
        QMetaObject::invokeMethod(
            this, [this] { onTerminalReadable(); }, Qt::QueuedConnection);
}

void LineInput::stop() {
    requested_ = false;
    if (notifier_) notifier_->setEnabled(false);
    if (editing_) {
        el_wset(editor_, EL_UNBUFFERED, 0);  // the terminal's normal mode
        editing_ = false;
    }
    release();
}

wchar_t* LineInput::promptText(EditLine* editor) {
    void* data = nullptr;
    el_wget(editor, EL_CLIENTDATA, &data);
    return static_cast<LineInput*>(data)->prompt_.data();
}

int LineInput::readCharacter(EditLine* editor, wchar_t* character) {
    void* data = nullptr;
    el_wget(editor, EL_CLIENTDATA, &data);
    return static_cast<LineInput*>(data)->nextCharacter(*character);
}

std::string_view LineInput::pending() const {
    return std::string_view(pendingBytes_).substr(pendingStart_);
}

void LineInput::consumePending(std::size_t count) {
    pendingStart_ += count;
    // Taken from the front by moving where it starts, so that a long paste costs its length
    // once, not once per key; the buffer is shifted only when most of it is used.
    if (pendingStart_ == pendingBytes_.size()) {
        pendingBytes_.clear();
        pendingStart_ = 0;
    } else if (pendingStart_ > kReadBlock && pendingStart_ * 2 > pendingBytes_.size()) {
        pendingBytes_.erase(0, pendingStart_);
        pendingStart_ = 0;
    }
}

// What the terminal holds onto pendingBytes_, up to a block; with wait false only what is
// there now. False at the end of input, on an error, or (not waiting) when nothing is there.
bool LineInput::readByteNow(bool wait) {
    if (!wait) {
        pollfd poller{fd_, POLLIN, 0};
        int ready;
        while ((ready = ::poll(&poller, 1, 0)) < 0 && errno == EINTR) {
        }
        if (ready <= 0) return false;
    }
    char block[4096];
    ssize_t got;
    // A signal while waiting inside a command (Ctrl-C in a search) ends the wait: the
    // command's watch takes it from here.
    while ((got = ::read(fd_, block, sizeof block)) < 0 && errno == EINTR && !wait) {
    }
    if (got < 0 && errno == EINTR) return false;
    if (got <= 0) {
        ended_ = true;
        return false;
    }
    pendingBytes_.append(block, static_cast<std::size_t>(got));
    return true;
}

// The run of ordinary bytes that starts what is pending, whole characters only: the bytes of
// a character cut short at the end stay for the next read.
std::size_t LineInput::ordinaryRun() const {
    const std::string_view bytes = pending();
    std::size_t run = 0;
    while (run < bytes.size() && isOrdinary(static_cast<unsigned char>(bytes[run]))) ++run;
    if (run == bytes.size()) {
        std::size_t lead = run;
        while (lead > 0 && run - lead < 4 &&
               isContinuation(static_cast<unsigned char>(bytes[lead - 1])))
            --lead;
        if (lead > 0 && static_cast<unsigned char>(bytes[lead - 1]) >= 0x80 &&
            typedtext::sequenceLength(static_cast<unsigned char>(bytes[lead - 1])) > run - lead + 1)
            run = lead - 1;
    }
    return run;
}

// Bound to kTypedRunKey: puts the run nextCharacter found into the line in one go and has the
// editor redraw once, where key by key it would redraw the whole line for every key. Typed
// by itself, the key means nothing, as before.
unsigned char LineInput::takeTypedRun(EditLine* editor, wint_t) {
    void* data = nullptr;
    el_wget(editor, EL_CLIENTDATA, &data);
    auto* self = static_cast<LineInput*>(data);
    if (self->typedRun_ == 0) return CC_ERROR;
    const std::wstring text = typedtext::toWide(self->pending().substr(0, self->typedRun_));
    self->consumePending(self->typedRun_);
    self->typedRun_ = 0;
    if (el_winsertstr(editor, text.c_str()) != 0) return CC_ERROR;
    return CC_REFRESH;
}

bool LineInput::emacsKeys() const {
    const wchar_t* mode = nullptr;
    return el_wget(editor_, EL_EDITOR, &mode) == 0 && mode && std::wstring_view(mode) == L"emacs";
}

// The editor's reads. The first read of a command never waits: with nothing typed the editor
// is told so (an error it passes back to onTerminalReadable), and the event loop waits for the
// key. Reads inside a command (the keys of an escape sequence, a search's next key) wait for
// it. A character's later bytes are taken only when they are already there, so that a lone
// Latin-1 byte is not held back waiting for bytes that never come.
int LineInput::nextCharacter(wchar_t& character) {
    const bool first = firstRead_;
    firstRead_ = false;
    character = 0;
    typedRun_ = 0;
    if (pending().empty()) {
        if (first && !readByteNow(false)) {
            if (ended_) return 0;
            wouldBlock_ = true;
            errno = EAGAIN;
            return -1;
        }
        if (pending().empty() && !readByteNow(true)) return 0;
    }
    if (first && emacsKeys()) {
        // A paste: whatever else the terminal holds already, and its ordinary characters
        // taken at once. Only at a command's start, where a key means what its binding says.
        while (pendingBytes_.size() - pendingStart_ < kReadBlock && readByteNow(false)) {
        }
        const std::size_t run = ordinaryRun();
        if (run >= kShortestRun) {
            typedRun_ = run;
            character = kTypedRunKey;
            return 1;
        }
    }
    const std::size_t length =
        typedtext::sequenceLength(static_cast<unsigned char>(pending().front()));
    while (pending().size() < length &&
           isContinuation(static_cast<unsigned char>(pending().back())) == (pending().size() > 1) &&
           readByteNow(false)) {
    }
    std::size_t used = 1;
    character = typedtext::decodeOne(pending(), used);
    consumePending(used);
    return 1;
}

void LineInput::onReadable() {
    if (terminal_) {
        onTerminalReadable();
        return;
    }
    char buffer[4096];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (got <= 0) {
        ended_ = true;
        if (!partial_.empty()) {
            dropLineEnd(partial_);
            queued_.push_back(std::move(partial_));
            partial_.clear();
        }
    } else {
        partial_.append(buffer, static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t end; (end = partial_.find('\n', start)) != std::string::npos;
             start = end + 1) {
            std::string line = partial_.substr(start, end - start);
            dropLineEnd(line);
            queued_.push_back(std::move(line));
        }
        partial_.erase(0, start);
    }
    if (!queued_.empty() || ended_) {
        notifier_->setEnabled(false);
        deliverQueued();
    }
}

// Hands the editor every key there is, one command at a time, so that a key the editor puts
// back (Enter ending a search) is acted on now, not with the next key typed.
void LineInput::onTerminalReadable() {
    if (!requested_) return;
    for (;;) {
        if (ended_ && pending().empty()) {
            finishEditing();
            std::fputs("\n", stdout);
            std::fflush(stdout);
            emit endOfInput();
            return;
        }
        if (!editing_) return;
        firstRead_ = true;
        wouldBlock_ = false;
        int count = 0;
        const wchar_t* line = el_wgets(editor_, &count);
        if (wouldBlock_) return;
        if (ended_ && pending().empty()) continue;
        if (!line || count <= 0) continue;
        const auto length = static_cast<std::size_t>(count);
        if (length == 1 && line[0] == kEndOfFile) {
            // Ctrl-D on an empty line.
            ended_ = true;
            continue;
        }
        if (line[length - 1] != L'\n') continue;
        const std::wstring typed(line, length - 1);
        // The line is complete: the terminal leaves the editor's mode while the mind answers,
        // and what is written meanwhile stands on lines of its own.
        finishEditing();
        if (!typed.empty() && typed.size() <= kLongestHistoryLine) {
            HistEventW event;
            history_w(historyOf(history_), &event, H_ENTER, typed.c_str());
        }
        const std::string bytes = typedtext::toBytes(typed);
        emit lineRead(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        return;
    }
}

void LineInput::finishEditing() {
    requested_ = false;
    notifier_->setEnabled(false);
    if (editing_) {
        el_wset(editor_, EL_UNBUFFERED, 0);
        editing_ = false;
    }
    hold();
}

// Keys typed before the next line is asked for keep their meaning: with the terminal's line
// discipline on, a Ctrl-D would be taken by the terminal itself and reach the editor as a
// plain byte of no meaning.
void LineInput::hold() {
    if (holding_ || ended_) return;
    termios mode{};
    if (::tcgetattr(fd_, &mode) != 0) return;
    held_ = mode;
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &mode) == 0) holding_ = true;
}

void LineInput::release() {
    if (!holding_) return;
    ::tcsetattr(fd_, TCSANOW, &held_);
    holding_ = false;
}

void LineInput::deliverQueued() {
    if (!requested_) return;
    if (queued_.empty()) {
        if (!ended_) {
            notifier_->setEnabled(true);
            return;
        }
        requested_ = false;
        emit endOfInput();
        return;
    }
    requested_ = false;
    const std::string line = std::move(queued_.front());
    queued_.pop_front();
    emit lineRead(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
}

void LineInput::loadHistory() {
    if (historyPath_.empty()) return;
    std::ifstream file(historyPath_, std::ios::binary);
    std::string line;
    bool first = true;
    HistEventW event;
    while (std::getline(file, line)) {
        dropLineEnd(line);
        const bool header = first && line == kHistoryHeader;
        first = false;
        if (header || line.empty()) continue;
        const std::wstring entry = typedtext::toWide(typedtext::unescapeHistoryLine(line));
        history_w(historyOf(history_), &event, H_ENTER, entry.c_str());
    }
}

bool LineInput::saveHistory() const {
    if (!terminal_ || historyPath_.empty()) return true;
    const QString path = toQPath(historyPath_);
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Oldest first, as they are read back.
    std::string contents(kHistoryHeader);
    contents += '\n';
    HistEventW event;
    for (int got = history_w(historyOf(history_), &event, H_LAST); got != -1;
         got = history_w(historyOf(history_), &event, H_PREV)) {
        contents += typedtext::escapeHistoryLine(typedtext::toBytes(event.str, wcslen(event.str)));
        contents += '\n';
    }
    try {
        writeWholeFile(path, contents, "cannot write the line history");
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool LineInput::readPlainLine(int fd, std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        char c;
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        any = true;
        if (c == '\n') break;
        line.push_back(c);
    }
    dropLineEnd(line);
    return any;
}

std::string LineInput::defaultHistoryPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    QString folder;
    if (state && *state == '/') {
        folder = QString::fromLocal8Bit(state);
    } else {
        folder = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return (folder + QStringLiteral("/vebix/history")).toStdString();
}

}  // namespace vebix::cli
