#include "app/udlp/linkexchange.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "engine/base/error.h"
#include "engine/base/lines.h"
#include "app/udlp/chatmsgformat.h"
#include "app/platform/safefile.h"
#include "engine/myfile/process.h"

namespace vebix {
namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    forEachLine(text, [&](std::string_view line) { lines.push_back(line); });
    return lines;
}

// A folder typed relative to where the program was started stays that folder, whatever the
// other bot's working folder is.
std::string absoluteFolder(const std::string& folder) {
    if (folder.empty()) return folder;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(folder, ec);
    return ec ? folder : p.lexically_normal().string();
}

// An executable named without a folder, or relative, lives in the bot's folder: never another
// program of that name found on PATH.
std::string executableIn(const std::string& folder, const std::string& exePath) {
    if (exePath.empty() || exePath.front() == '/' || folder.empty()) return exePath;
    return (std::filesystem::path(folder) / exePath).lexically_normal().string();
}

}  // namespace

LinkExchange::LinkExchange(std::string folder, std::string exePath, std::string ownName)
    : folder_(absoluteFolder(folder)),
      exePath_(executableIn(folder_, exePath)),
      ownName_(std::move(ownName)),
      commandLine_("\"" + exePath_ + "\"") {
    chatPath_ = folder_;
    if (!chatPath_.empty() && chatPath_.back() != '/') chatPath_ += '/';
    chatPath_ += chatmsg::kFileName;
}

bool LinkExchange::decideReply(std::string_view contents, std::string_view ownName,
                               std::string& reply) {
    std::vector<std::string> lines;
    for (std::string_view line : splitLines(contents)) {
        lines.emplace_back(line);
        if (lines.size() == 2) break;
    }
    return decideReply(lines, ownName, reply);
}

bool LinkExchange::decideReply(const std::vector<std::string>& lines, std::string_view ownName,
                               std::string& reply) {
    if (lines.empty()) return false;
    // The other bot left the request as it was: its first line is still our own name.
    if (lines.size() >= 2 && !lines[1].empty() && lines[0] == ownName) return false;
    if (lines[0].empty()) return false;
    reply.assign(lines[0]);
    return true;
}

LinkExchange::~LinkExchange() = default;

ChildProcess::WaitResult LinkExchange::waitFor(ChildProcess& child) {
    // In short steps when it may be asked to end early (the window closing).
    if (!stopFlag) return child.wait(timeoutMs);
    constexpr std::uint32_t kStep = 100;
    ChildProcess::WaitResult waited = ChildProcess::WaitResult::TimedOut;
    for (std::uint32_t spent = 0; spent < timeoutMs && !stopFlag->load(); spent += kStep) {
        waited = child.wait(std::min(kStep, timeoutMs - spent));
        if (waited != ChildProcess::WaitResult::TimedOut) break;
    }
    return waited;
}

bool LinkExchange::botRunning() {
    return running_ && running_->wait(0) == ChildProcess::WaitResult::TimedOut;
}

void LinkExchange::release(std::uint32_t waitMs) {
    if (!running_) return;
    // Waiting sees it end and ends what it left running; one that does not end in time is
    // ended with all of its group.
    if (running_->wait(waitMs) == ChildProcess::WaitResult::TimedOut) running_->kill();
    running_.reset();
    removeChatMsg();
}

void LinkExchange::removeChatMsg() const {
    // The name only: a link the other bot left there is removed, never what it points to.
    ::unlink(chatPath_.c_str());
}

LinkExchange::Result LinkExchange::exchange(std::string_view message) {
    Result result;

    // A bot that did not answer in time may still be working on the last request: a new one
    // would be overwritten by its late answer. It gets the time of a turn to end.
    if (running_) {
        if (waitFor(*running_) == ChildProcess::WaitResult::TimedOut) {
            result.busy = true;
            return result;
        }
        running_.reset();
    }

    std::string request;
    request.append(ownName_).append(chatmsg::kLineEnd).append(message).append(chatmsg::kLineEnd);
    // Written through a temporary file and a rename over the name, which also puts it on disk
    // before the other bot starts; whatever the other bot's folder held under that name (a link
    // to another file, a FIFO) is replaced, never written through. A failure here is not the
    // other bot's: it ends link mode.
    writeFileWhole(
        chatPath_, Place::BotFolder, [&](const ByteSink& sink) { sink(request); },
        "Unable to write '" + chatPath_ + "'");

    auto child = std::make_unique<ChildProcess>();
    // Nothing the other bot prints is part of the exchange.
    child->discardOutput = true;
    child->searchPath = false;
    // What the other bot starts goes with it: its group ends when its exchange does.
    child->ownGroup = true;
    // The executable is started by its path as it stands, not by re-splitting the quoted
    // command line, so a path holding quotes, blanks or shell characters starts that file.
    switch (child->start(std::vector<std::string>{exePath_}, folder_)) {
        case ChildProcess::StartResult::Started:
            break;
        case ChildProcess::StartResult::NotFound:
            result.error = std::string(kExeNotFoundMessage) + commandLine_;
            result.cannotStart = true;
            removeChatMsg();
            return result;
        case ChildProcess::StartResult::Failed:
            // Not a program the system will run (not executable, not a format it knows): the
            // next turn would fail the same way, so the reason is said once and the link ends.
            result.error =
                withReason(std::string(kExeCannotStartMessage) + commandLine_, child->error());
            result.cannotStart = true;
            removeChatMsg();
            return result;
    }
    result.started = true;
    if (onStarted) onStarted();

    // A bot that takes too long is kept track of until it ends; one that crashed leaves
    // nothing worth reading.
    const ChildProcess::WaitResult waited = waitFor(*child);
    if (waited == ChildProcess::WaitResult::TimedOut) {
        running_ = std::move(child);
        return result;
    }
    if (waited != ChildProcess::WaitResult::Exited) {
        removeChatMsg();
        return result;
    }

    // Read as what another program placed: a link, a FIFO or a device there is no reply, and
    // only the first line, cut at its bound, is read of whatever the file holds.
    BoundedLines lines;
    try {
        lines = readBoundedLines(chatPath_, Place::BotFolder, 2,
                                 "Its reply could not be read from '" + chatPath_ + "'");
    } catch (const Error& e) {
        result.note = e.what();
    }
    removeChatMsg();
    result.gotReply = decideReply(lines.lines, ownName_, result.reply);
    if (result.gotReply && lines.cut)
        result.note = "Its reply was longer than " + std::to_string(kMaxLineBytes >> 20) +
                      " MiB and was cut there";
    return result;
}

}  // namespace vebix
