#include "app/mind/vebixai.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>

#include "engine/ai/mindline.h"
#include "engine/base/error.h"
#include "engine/base/random.h"
#include "app/mind/mindfileformat.h"
#include "engine/base/ascii.h"

namespace vebix {
namespace {

[[noreturn]] void notValid() { throw Error(std::string(mindfile::kNotValidMessage)); }

constexpr std::array<std::string_view, 7> kGreetings = {
    "hi", "hey", "hello", "sup", "whats up", "what's up", "how are you"};

// A conversation counts as started again after this long a pause.
constexpr std::uint32_t kConversationGapSeconds = 900;

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
    startLines_ = lines().size();
    fileState_ = {};
}

std::size_t VebixAi::loadFile(const std::string& path) {
    std::optional<MindToRead> mind = openMindToRead(path, "Unable to load AI file '" + path + "'");
    if (!mind) {
        // As the engine does: nothing there is an empty mind.
        setLines({});
        setFileName(path);
        fileState_ = {};
        startLines_ = 0;
        return 0;
    }
    const std::size_t count = loadFrom(mind->file.fd.get(), path, mind->state.size);
    fileState_ = mind->state;
    return count;
}

void VebixAi::saveFrom(std::size_t start) {
    // Another front end or bot mode may be writing this mind: one write at a time.
    MindWrite writing(fileName(), onWriteLockWait_, *fileOps_);
    if (fileState_.exists) {
        // Appended to only while it is the file these lines came from.
        writing.checkUnchanged(fileState_);
        appendFrom(writing, start);
        return;
    }
    const MindFileState now = writing.current();
    // An empty file holds no header; appending to it would make a file that does not load.
    if (!now.exists || now.size == 0) {
        if (writeWhole(writing, !now.exists)) return;
    }
    // Another program made this mind's file since this mind started: only what was learned
    // since belongs after its lines, not what this mind started from (the template).
    appendFrom(writing, std::max(start, startLines_));
}

void VebixAi::saveAll() {
    MindWrite writing(fileName(), onWriteLockWait_, *fileOps_);
    writeWhole(writing, false);
}

bool VebixAi::loadedLinesLost() const { return lines().spanCut(); }

ByteProducer VebixAi::wholeMind(std::size_t start) const {
    return [this, start](const ByteSink& sink) {
        // Only the lines read from the file can have been lost with it; those learned since
        // are held apart.
        const bool fromFile = start < lines().spanLines();
        if (fromFile && loadedLinesLost())
            throw MindChanged("the mind file '" + fileName() +
                              "' was cut shorter by another program since it was loaded: the "
                              "lines read from it are lost and are not written out");
        writeHeader(sink);
        for (std::size_t i = start; i < lines().size(); ++i) {
            sink(lines()[i]);
            sink(mindfile::kLineEnd);
        }
        // Read through a file that was cut meanwhile, some lines came out as zeros.
        if (fromFile && loadedLinesLost())
            throw MindChanged("the mind file '" + fileName() +
                              "' was cut shorter by another program while it was written out");
    };
}

bool VebixAi::writeWhole(MindWrite& writing, bool exclusive) {
    version_ = std::string(mindfile::kCurrentVersion);
    version2_ = std::string(mindfile::kCurrentVersion);
    if (exclusive) {
        std::optional<MindFileState> made = writing.create(wholeMind(0));
        if (!made) return false;  // another program made it first
        fileState_ = *made;
    } else {
        fileState_ = writing.replace(wholeMind(0));
    }
    headerWritten_ = true;
    startLines_ = 0;
    return true;
}

void VebixAi::writeCopy(const std::string& path, std::size_t start) const {
    const std::string failure = "Unable to save mind file '" + path + "'";
    if (!createFileWhole(path, Place::Own, wholeMind(start), failure, *fileOps_))
        throw systemError(failure, EEXIST);
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

void VebixAi::appendFrom(MindWrite& writing, std::size_t start) {
    if (start >= lines().size()) return;
    std::size_t bytes = 0;
    for (std::size_t i = start; i < lines().size(); ++i)
        bytes += lines()[i].size() + mindfile::kLineEnd.size();
    std::string block;
    block.reserve(bytes);
    for (std::size_t i = start; i < lines().size(); ++i) {
        block += lines()[i];
        block += mindfile::kLineEnd;
    }
    fileState_ = writing.append(block);
    headerWritten_ = true;
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
