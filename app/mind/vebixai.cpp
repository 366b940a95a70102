#include "app/mind/vebixai.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "engine/ai/mindline.h"
#include "engine/base/error.h"
#include "engine/base/random.h"
#include "app/platform/filewrite.h"
#include "app/mind/mindfileformat.h"
#include "app/mind/mindlock.h"
#include "engine/base/ascii.h"
#include "engine/base/filehandle.h"

namespace vebix {
namespace {

[[noreturn]] void notValid() { throw Error(std::string(mindfile::kNotValidMessage)); }

constexpr std::array<std::string_view, 7> kGreetings = {
    "hi", "hey", "hello", "sup", "whats up", "what's up", "how are you"};

// A conversation counts as started again after this long a pause.
constexpr std::uint32_t kConversationGapSeconds = 900;

std::string saveFailure(const std::string& fileName) {
    return "Unable to save mind file '" + fileName + "'";
}

// The failure with the reason the system gave for it, so that the person can act on it (free
// space, choose another folder).
std::string saveFailure(const std::string& fileName, int error) {
    return saveFailure(fileName) + ": " + std::strerror(error);
}

}  // namespace

void VebixAi::parseHeaderLine(std::string_view line) {
    std::string_view rest = trimAsciiSpace(line);

    std::size_t blank = rest.find(mindfile::kFieldSeparator);
    if (blank == std::string_view::npos) notValid();
    version_ = std::string(rest.substr(0, blank));
    rest = trimAsciiSpaceLeft(rest.substr(blank + 1));

    blank = rest.find(mindfile::kFieldSeparator);
    if (blank == std::string_view::npos) notValid();
    version2_ = std::string(rest.substr(0, blank));
    rest = trimAsciiSpaceLeft(rest.substr(blank + 1));

    if (rest.empty()) notValid();
    std::string_view name;
    if (rest.front() == mindfile::kNameQuote) {
        std::size_t close = rest.find(mindfile::kNameQuote, 1);
        if (close == std::string_view::npos) notValid();
        name = rest.substr(1, close - 1);
    } else {
        name = rest.substr(0, rest.find(mindfile::kFieldSeparator));
    }
    if (name.empty()) notValid();
    botName_ = std::string(name);

    if (std::find(mindfile::kVersionsWithoutKeyValues.begin(),
                  mindfile::kVersionsWithoutKeyValues.end(),
                  version_) != mindfile::kVersionsWithoutKeyValues.end()) {
        inBody_ = true;
    } else if (version_ == mindfile::kCurrentVersion) {
        inBody_ = false;
    } else {
        throw Error(std::string(mindfile::kIncompatibleMessage));
    }
}

void VebixAi::acceptLoadedLine(std::string_view line) {
    if (botName_.empty()) {
        parseHeaderLine(line);
    } else if (!inBody_) {
        if (line.empty())
            inBody_ = true;
        else
            headerLines_.emplace_back(line);
    } else {
        Ai::acceptLoadedLine(line);
    }
}

void VebixAi::finishLoading() {
    if (botName_.empty()) notValid();
}

void VebixAi::saveFrom(std::size_t start) {
    // Another front end or bot mode may be writing this mind: one write at a time.
    MindWriteLock writing(fileName(), onWriteLockWait_);
    QFile existing(toQPath(fileName()));
    if (!existing.exists() || existing.size() == 0) {
        // An empty file holds no header; appending to it would make a file that does not load.
        headerWritten_ = false;
        writeWhole();
    } else {
        appendFrom(start);
    }
}

void VebixAi::saveAll() {
    MindWriteLock writing(fileName(), onWriteLockWait_);
    headerWritten_ = false;
    writeWhole();
}

void VebixAi::writeWhole() {
    writeWholeFile(
        toQPath(fileName()),
        [this](const ByteSink& sink) {
            if (!headerWritten_) {
                version_ = std::string(mindfile::kCurrentVersion);
                version2_ = std::string(mindfile::kCurrentVersion);
                writeHeader(sink);
            }
            for (std::string_view line : lines()) {
                sink(line);
                sink(mindfile::kLineEnd);
            }
        },
        saveFailure(fileName()));
    headerWritten_ = true;
}

void VebixAi::writeHeader(const std::function<void(std::string_view)>& sink) const {
    sink(mindfile::kByteOrderMark);
    sink(mindfile::kCurrentVersion);
    sink(" ");
    sink(mindfile::kCurrentVersion);
    sink(" ");
    sink(std::string_view(&mindfile::kNameQuote, 1));
    sink(botName_);
    sink(std::string_view(&mindfile::kNameQuote, 1));
    sink(mindfile::kLineEnd);
    for (const std::string& h : headerLines_) {
        sink(h);
        sink(mindfile::kLineEnd);
    }
    sink(mindfile::kLineEnd);
}

void VebixAi::appendFrom(std::size_t start) {
    const int fd = ::open(fileName().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) throw Error(saveFailure(fileName(), errno));
    const FdHandle closer(fd);

    struct stat st {};
    if (::fstat(fd, &st) != 0) throw Error(saveFailure(fileName(), errno));
    const off_t size = st.st_size;

    std::string block;
    if (size > 0) {
        char last = 0;
        if (::pread(fd, &last, 1, size - 1) != 1) throw Error(saveFailure(fileName(), errno));
        // A last line without a line end would otherwise run together with the first new one.
        if (last != '\n' && last != '\r') block += mindfile::kLineEnd;
    }
    std::size_t bytes = block.size();
    for (std::size_t i = start; i < lines().size(); ++i)
        bytes += lines()[i].size() + mindfile::kLineEnd.size();
    block.reserve(bytes);
    for (std::size_t i = start; i < lines().size(); ++i) {
        block += lines()[i];
        block += mindfile::kLineEnd;
    }
    headerWritten_ = true;

    // The new lines go to the file in one write, so that a process killed while saving leaves
    // all of them or none of them: what write() was given stays in the file even when the
    // process dies next. (The kernel may stop a write that spans several pages between two
    // pages; the cut-off line then reads as a line of its own, and the next save ends it
    // before appending, so lines never run together.) Should the write
    // come up short (a full disk) or not reach the disk, the file is cut back to its old length,
    // so that a failed save leaves the file as it was and the next save writes the same lines
    // again without doubling any.
    // The reason is taken before cutting back, which may set errno itself.
    auto fail = [&](int error) {
        if (::ftruncate(fd, size) != 0) {
            // Nothing more can be done; the error below still reports the failed save.
        }
        throw Error(saveFailure(fileName(), error));
    };
    std::size_t done = 0;
    while (done < block.size()) {
        const ssize_t n =
            ::pwrite(fd, block.data() + done, block.size() - done, size + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        // A write that takes nothing and reports no error: the device is full.
        if (n <= 0) fail(n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    if (!block.empty() && ::fdatasync(fd) != 0) fail(errno);
}

std::string VebixAi::openingLine(std::string_view user) {
    std::uint32_t previous = 0;
    std::string chosen;
    for (std::size_t i = 0; i < lines().size(); ++i) {
        std::string_view line = lines()[i];
        MindLine parsed = parseLine(line, AiSuffix::Strip);
        std::optional<std::uint32_t> time = parseTime(parsed.time);
        // A line whose time does not read is left out; it stays in the mind as it is.
        if (!time) continue;
        bool starts = isGreeting(parsed.text) ||
                      static_cast<std::uint64_t>(*time) >=
                          static_cast<std::uint64_t>(previous) + kConversationGapSeconds;
        if (starts && parsed.speaker != kAiSpeaker) {
            switch (rng::next() % 10) {
                case 2:
                case 6:
                    return personalizeText(user, i, parsed.text);
                case 0:
                case 1:
                case 4:
                    chosen = personalizeText(user, i, parsed.text);
                    break;
                case 8:
                    if (!chosen.empty()) return chosen;
                    break;
                default:
                    break;
            }
        }
        previous = *time;
    }
    return chosen;
}

bool VebixAi::isGreeting(std::string_view text) {
    const std::string lower = lowerAscii(text);
    for (std::string_view g : kGreetings) {
        std::size_t pos = lower.find(g);
        if (pos == std::string::npos) continue;
        if (g.size() > 4) return true;
        if (g.size() == lower.size()) return true;
        std::size_t end = pos + g.size();
        if (pos == 0 && !isAsciiAlnum(lower[end])) return true;
        if (end == lower.size() && !isAsciiAlnum(lower[pos - 1])) return true;
    }
    return false;
}

}  // namespace vebix
