#include "app/cli/mindreport.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <cstring>
#include <functional>
#include <unordered_map>

#include "engine/ai/mindline.h"
#include "engine/base/error.h"
#include "engine/base/filehandle.h"
#include "engine/base/lines.h"
#include "engine/enparse/tokenizer.h"
#include "engine/enparse/unicode.h"
#include "app/mind/mindfileformat.h"
#include "app/mind/mindwrite.h"
#include "app/mind/vebixai.h"

namespace vebix::cli {
namespace {

// Maps looked up by a view, so that a line already counted costs no string.
struct ViewHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <typename Value>
using ViewMap = std::unordered_map<std::string, Value, ViewHash, std::equal_to<>>;

template <typename Value>
Value& entryFor(ViewMap<Value>& map, std::string_view key) {
    auto found = map.find(key);
    if (found == map.end()) found = map.emplace(std::string(key), Value{}).first;
    return found->second;
}

std::vector<Counted> mostFrequent(const ViewMap<std::uint64_t>& counts, int keep) {
    std::vector<Counted> all(counts.begin(), counts.end());
    const auto n = std::min<std::size_t>(all.size(), static_cast<std::size_t>(std::max(keep, 0)));
    auto more = [](const Counted& a, const Counted& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    };
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n), all.end(), more);
    all.resize(n);
    return all;
}

std::size_t codePoints(std::string_view s) {
    std::size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

struct KeyState {
    std::uint32_t time = 0;
    std::uint64_t line = 0;
};

class Counter {
public:
    Counter(MindReport& report, const MindReportOptions& options)
        : report_(report), options_(options) {}

    void line(std::uint64_t number, std::string_view text) {
        if (text.starts_with(mindfile::kByteOrderMark))
            text.remove_prefix(mindfile::kByteOrderMark.size());
        bool cutAtNul = false;
        if (std::memchr(text.data(), '\0', text.size())) {
            text = text.substr(0, text.find('\0'));
            cutAtNul = true;
        }
        if (!report_.isMind) {
            if (headerSeen_) return;  // not a mind: the rest is not read
            headerSeen_ = true;
            header(text);
            return;
        }
        if (!inBody_) {
            if (text.empty()) {
                inBody_ = true;
                return;
            }
            ++report_.headerKeyLines;
            if (text.find('=') == std::string_view::npos)
                note(number, "a header line that is not key=value (kept as it is)");
            return;
        }
        if (text.empty()) return;
        ++report_.lines;
        if (cutAtNul) problem(number, "a NUL byte: the rest of the line is not read");
        if (options_.check && !unicode::isValid(text))
            note(number, "invalid UTF-8 (its bytes are kept and read as they are)");
        if (!textOffset(text)) {
            problem(number, "malformed fields: fewer than three blanks");
            return;
        }
        const MindLine m = parseLine(text, AiSuffix::Keep);
        countSpeaker(m.speaker);
        lowered_.assign(m.key);
        for (char& c : lowered_)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        auto key = keys_.find(std::string_view(lowered_));
        if (key == keys_.end()) {
            key = keys_.emplace(lowered_, KeyState{}).first;
            ++report_.conversations;
        }
        const std::optional<std::uint32_t> time = parseTime(m.time);
        if (!time) {
            problem(number, "unreadable time '" + std::string(m.time) +
                                "': not a decimal number that fits 32 bits");
        } else {
            if (!report_.firstTime || *time < *report_.firstTime) report_.firstTime = *time;
            if (!report_.lastTime || *time > *report_.lastTime) report_.lastTime = *time;
            KeyState& state = key->second;
            if (state.line != 0 && *time < state.time)
                note(number, "time goes back: earlier than line " + std::to_string(state.line) +
                                 " of the same conversation");
            state = KeyState{*time, number};
        }
        if (options_.words > 0) countWords(m.text);
    }

    void finish(std::uint64_t lastLine) {
        if (!headerSeen_) {
            report_.notMind = "an empty file";
            return;
        }
        if (report_.isMind && !inBody_ && report_.headerKeyLines > 0)
            problem(lastLine,
                    "no empty line ends the header's key=value lines: no mind lines "
                    "are read");
        report_.speakers = speakers_.size();
        report_.topSpeakers = mostFrequent(speakers_, options_.speakers);
        report_.topWords = mostFrequent(words_, options_.words);
    }

private:
    void header(std::string_view text) {
        VebixAi reader;
        try {
            reader.parseHeaderLine(text);
        } catch (const Error& e) {
            report_.notMind = e.what();
            return;
        }
        report_.isMind = true;
        report_.botName = reader.botName();
        report_.version = reader.version();
        inBody_ = reader.inBody();
    }

    void countSpeaker(std::string_view speaker) {
        if (speaker == kAiSpeaker) {
            ++report_.botLines;
            return;
        }
        ++entryFor(speakers_, speaker);
    }

    void countWords(std::string_view text) {
        const TokenList tokens = tokenize(text, Tokenize::Normalising);
        for (const Token& t : tokens) {
            if (t.type != TokenType::Word) continue;
            const std::string_view word = t.text();
            if (codePoints(word) < static_cast<std::size_t>(options_.minWordLength)) continue;
            ++entryFor(words_, word);
        }
    }

    void problem(std::uint64_t number, std::string reason) {
        if (options_.check) report_.problems.push_back({number, std::move(reason), true});
    }
    void note(std::uint64_t number, std::string reason) {
        if (options_.check) report_.problems.push_back({number, std::move(reason), false});
    }

    MindReport& report_;
    const MindReportOptions& options_;
    bool headerSeen_ = false;
    bool inBody_ = false;
    std::string lowered_;  // the key of the line at hand in small letters, reused
    ViewMap<KeyState> keys_;
    ViewMap<std::uint64_t> speakers_;
    ViewMap<std::uint64_t> words_;
};

}  // namespace

MindReport readMindReport(std::string_view bytes, const MindReportOptions& options) {
    MindReport report;
    Counter counter(report, options);
    std::uint64_t number = 0;
    forEachLine(bytes, [&](std::string_view line) { counter.line(++number, line); });
    counter.finish(number);
    return report;
}

MindReport reportMindFile(const std::string& path, const MindReportOptions& options) {
    // Opened as a mind is loaded: a FIFO, a device or a folder is refused with what it is, and
    // an append cut off midway is left out.
    std::optional<MindToRead> mind = openMindToRead(path, "cannot read '" + path + "'");
    if (!mind) throw systemError("cannot open '" + path + "'", ENOENT);
    const int fd = mind->file.fd.get();
    const auto size = static_cast<std::size_t>(mind->state.size);
    if (size == 0) return readMindReport({}, options);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) throw systemError("cannot read '" + path + "'", errno);
    ::madvise(map, size, MADV_SEQUENTIAL);
    struct Unmap {
        void* at;
        std::size_t size;
        ~Unmap() { ::munmap(at, size); }
    } unmap{map, size};
    return readMindReport(std::string_view(static_cast<const char*>(map), size), options);
}

}  // namespace vebix::cli
