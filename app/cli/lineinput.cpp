#include "app/cli/lineinput.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

// clang-format off
#include <editline/readline.h>
// clang-format on

namespace vebix::cli {
namespace {

// libedit calls a plain function with the finished line; this is the reader it belongs to.
LineInput* g_editing = nullptr;

void dropLineEnd(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace

LineInput::LineInput(int fd, bool terminal, std::string historyPath, QObject* parent)
    : QObject(parent), fd_(fd), terminal_(terminal), historyPath_(std::move(historyPath)) {
    if (terminal_) {
        if (g_editing) throw std::logic_error("Only one terminal LineInput may exist at a time");
        g_editing = this;
        // Ctrl-C belongs to the command's own watch, which restores the terminal through stop().
        rl_catch_signals = 0;
        using_history();
        stifle_history(1000);
        if (!historyPath_.empty()) read_history(historyPath_.c_str());
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    notifier_->setEnabled(false);
    connect(notifier_, &QSocketNotifier::activated, this, &LineInput::onReadable);
}

LineInput::~LineInput() {
    stop();
    if (g_editing == this) g_editing = nullptr;
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
    rl_callback_handler_install(prompt.c_str(), &LineInput::onEditedLine);
    editing_ = true;
    notifier_->setEnabled(true);
}

void LineInput::stop() {
    requested_ = false;
    if (notifier_) notifier_->setEnabled(false);
    if (editing_) {
        rl_callback_handler_remove();
        editing_ = false;
    }
}

void LineInput::onEditedLine(char* line) {
    LineInput* self = g_editing;
    if (!self) {
        std::free(line);
        return;
    }
    if (line) {
        self->edited_ = line;
        self->hasEdited_ = true;
        if (*line) add_history(line);
        std::free(line);
    } else {
        self->hasEditedEnd_ = true;
    }
}

void LineInput::onReadable() {
    if (terminal_) {
        hasEdited_ = hasEditedEnd_ = false;
        rl_callback_read_char();
        if (!hasEdited_ && !hasEditedEnd_) return;
        // The line is complete: the terminal goes back to its normal mode while the mind
        // answers, and what is written meanwhile stands on lines of its own.
        stop();
        if (hasEditedEnd_) {
            std::fputs("\n", stdout);
            std::fflush(stdout);
            emit endOfInput();
        } else {
            emit lineRead(
                QString::fromUtf8(edited_.data(), static_cast<qsizetype>(edited_.size())));
        }
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
    emit lineRead(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
}

bool LineInput::saveHistory() const {
    if (!terminal_ || historyPath_.empty()) return true;
    const QString path = QString::fromStdString(historyPath_);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return write_history(historyPath_.c_str()) == 0;
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
