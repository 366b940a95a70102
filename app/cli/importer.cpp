#include "app/cli/importer.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

#include "app/cli/importer_chatlog.h"
#include "app/cli/linescanner.h"
#include "app/cli/prefault.h"
#include "engine/base/ascii.h"
#include "engine/base/lines.h"
#include "engine/enparse/unicode.h"

namespace vebix::cli {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kPlainSpeakers[2] = {"$a", "$b"};
constexpr std::string_view kAiSpeaker = "<ai>";
constexpr std::size_t kBlockBytes = 1 << 20;

constexpr bool isControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
}

// Control bytes that text files do not hold: all of C0 but tab, LF, VT, FF, CR and escape
// (coloured logs), and DEL.
constexpr bool isBinaryControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && b != '\t' && b != '\n' && b != '\v' && b != '\f' && b != '\r' &&
            b != 0x1B) ||
           b == 0x7F;
}

// Trims blanks and every other control byte (they become blanks in the mind anyway).
std::string_view trimText(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || isControl(s.front()))) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || isControl(s.back()))) s.remove_suffix(1);
    return s;
}

bool isBlank(std::string_view line) { return trimAsciiSpace(line).empty(); }

// Valid UTF-8, with a quick path over plain ASCII eight bytes at a time.
bool validUtf8(std::string_view line) {
    std::size_t i = 0;
    for (; i + 8 <= line.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, line.data() + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    for (; i < line.size() && static_cast<unsigned char>(line[i]) < 0x80; ++i) {
    }
    return i == line.size() || unicode::isValid(line.substr(i));
}

// "<Name> text" or "<Name>": the name and the text, or nothing for another line.
std::optional<std::pair<std::string_view, std::string_view>> splitTag(std::string_view line) {
    if (line.size() < 3 || line.front() != '<') return std::nullopt;
    std::size_t close = 1;
    while ((close = line.find('>', close)) != std::string_view::npos) {
        if (close + 1 == line.size() || line[close + 1] == ' ') break;
        ++close;
    }
    if (close == std::string_view::npos || close < 2) return std::nullopt;
    const std::string_view name = trimText(line.substr(1, close - 1));
    if (name.empty()) return std::nullopt;
    return std::pair{name, close + 1 < line.size() ? line.substr(close + 2) : std::string_view()};
}

// "speaker<TAB>text": both parts, or nothing when there is no tab or no speaker before it.
std::optional<std::pair<std::string_view, std::string_view>> splitTsv(std::string_view line) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    const std::string_view speaker = trimText(line.substr(0, tab));
    if (speaker.empty()) return std::nullopt;
    return std::pair{speaker, line.substr(tab + 1)};
}

std::string_view withoutByteOrderMark(std::string_view bytes) {
    if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
    return bytes;
}

bool hasNonAscii(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return asciiByte(c) >= 0x80; });
}

// Writes n in decimal at out and returns the end.
char* putNumber(char* out, std::uint64_t n) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (count > 0) *out++ = digits[--count];
    return out;
}

char* putBytes(char* out, std::string_view bytes) {
    std::memcpy(out, bytes.data(), bytes.size());
    return out + bytes.size();
}

// Copies bytes to out with every control byte a blank; a loop the compiler can vectorise.
char* putText(char* out, const char* from, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) out[i] = isControl(from[i]) ? ' ' : from[i];
    return out + size;
}

// A speaker's name as one word: blanks and control bytes become "_".
char* putSpeaker(char* out, std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i)
        out[i] = (name[i] == ' ' || isControl(name[i])) ? '_' : name[i];
    return out + name.size();
}

// What add needs to know of a whole input before taking its lines: whether it holds a NUL
// (binary) and how many lines it has, for reserving. Both are found in one pass, a cache-sized
// chunk at a time: on inputs bigger than the cache, each pass over them costs as much as the
// reading of their lines.
struct Survey {
    bool nul = false;
    // One more than the LFs (or the CRs, for old Mac ends). Exact when one kind of line end is
    // used throughout; mixed ends may make more lines, which only costs a regrowth.
    std::size_t lines = 0;
};

Survey survey(std::string_view bytes) {
    constexpr std::size_t kChunk = 64 * 1024;
    Survey s;
    std::size_t lf = 0;
    for (std::size_t at = 0; at < bytes.size() && !s.nul; at += kChunk) {
        const std::string_view chunk = bytes.substr(at, kChunk);
        s.nul = std::memchr(chunk.data(), '\0', chunk.size()) != nullptr;
        lf += static_cast<std::size_t>(std::count(chunk.begin(), chunk.end(), '\n'));
    }
    if (lf == 0) lf = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r'));
    s.lines = lf + 1;
    return s;
}

}  // namespace

constexpr InputFormat kFormats[] = {
    InputFormat::Auto, InputFormat::Plain,    InputFormat::Transcript,
    InputFormat::Tsv,  InputFormat::Irssi,    InputFormat::Weechat,
    InputFormat::Znc,  InputFormat::Telegram, InputFormat::Whatsapp,
};

std::optional<InputFormat> formatFromName(std::string_view name) {
    for (InputFormat f : kFormats)
        if (name == formatName(f)) return f;
    return std::nullopt;
}

std::string_view formatName(InputFormat format) {
    switch (format) {
        case InputFormat::Auto:
            return "auto";
        case InputFormat::Plain:
            return "plain";
        case InputFormat::Transcript:
            return "transcript";
        case InputFormat::Tsv:
            return "tsv";
        case InputFormat::Irssi:
            return "irssi";
        case InputFormat::Weechat:
            return "weechat";
        case InputFormat::Znc:
            return "znc";
        case InputFormat::Telegram:
            return "telegram";
        case InputFormat::Whatsapp:
            return "whatsapp";
    }
    return "plain";
}

std::string_view formatDescription(InputFormat format) {
    switch (format) {
        case InputFormat::Auto:
        case InputFormat::Plain:
            return "plain text";
        case InputFormat::Transcript:
            return "Vebix transcript";
        case InputFormat::Tsv:
            return "TSV";
        case InputFormat::Irssi:
            return "irssi log";
        case InputFormat::Weechat:
            return "WeeChat log";
        case InputFormat::Znc:
            return "ZNC log";
        case InputFormat::Telegram:
            return "Telegram export";
        case InputFormat::Whatsapp:
            return "WhatsApp export";
    }
    return "plain text";
}

InputFormat detectFormat(std::string_view text) {
    text = withoutByteOrderMark(text);
    if (const auto log = detectChatLog(text)) return *log;
    std::size_t lines = 0, tagged = 0, tabbed = 0;
    LineSplitter splitter(text.substr(0, kSampleBytes));
    std::string_view line;
    while (splitter.next(line)) {
        if (isBlank(line)) continue;
        ++lines;
        if (splitTag(line)) ++tagged;
        if (splitTsv(line)) ++tabbed;
    }
    if (lines == 0) return InputFormat::Plain;
    if (tagged * 2 > lines) return InputFormat::Transcript;
    if (tabbed * 2 > lines) return InputFormat::Tsv;
    return InputFormat::Plain;
}

std::optional<std::string> binaryReason(std::string_view bytes) {
    std::optional<std::size_t> offset;
    if (const void* nul = std::memchr(bytes.data(), '\0', bytes.size()))
        offset = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data());
    const std::string_view sample = bytes.substr(0, kSampleBytes);
    const auto controls =
        static_cast<std::size_t>(std::count_if(sample.begin(), sample.end(), isBinaryControl));
    if (controls * 16 > sample.size()) {
        const auto first = static_cast<std::size_t>(
            std::find_if(sample.begin(), sample.end(), isBinaryControl) - sample.begin());
        offset = offset ? std::min(*offset, first) : first;
    }
    if (!offset) return std::nullopt;
    return "not a text file (binary byte at offset " + std::to_string(*offset) + ")";
}

// A chat log's lines into the importer's utterances, with the same checks as the lines of the
// other formats.
class Importer::ChatLogReader : public ChatLogSink {
public:
    ChatLogReader(Importer& importer, Reading& reading) : importer_(importer), reading_(reading) {}

    void said(std::string_view speaker, std::string_view text) override {
        reading_.lastTaken = false;
        if (text.size() > kMaxLineBytes) return tooLong();
        if (!validUtf8(speaker) || !validUtf8(text)) return invalidUtf8();
        reading_.lastTaken = importer_.take(reading_, speaker, SpeakerAt::Line, text);
    }
    void continued(std::string_view more) override {
        if (!reading_.lastTaken || !validUtf8(more)) return;
        more = trimText(more);
        if (more.empty()) return;
        // The message's text runs on to the end of this line; the line ends between become
        // blanks when it is written.
        Utterance& last = importer_.utterances_.back();
        const std::size_t size = static_cast<std::size_t>(more.data() + more.size() - last.text);
        if (size <= kMaxLineBytes) last.textSize = static_cast<std::uint32_t>(size);
    }
    void event() override {
        reading_.lastTaken = false;
        ++importer_.skipped_.events;
    }
    void unreadable() override {
        reading_.lastTaken = false;
        ++importer_.skipped_.untagged;
    }
    void tooLong() override { ++importer_.skipped_.tooLong; }
    void invalidUtf8() override { ++importer_.skipped_.invalidUtf8; }
    void newConversation() override { reading_.open = false; }
    std::string_view keep(std::string text) override {
        return importer_.kept_.emplace_back(std::move(text));
    }

private:
    Importer& importer_;
    Reading& reading_;
};

Importer::Importer(ImportOptions options)
    : options_(std::move(options)), botMatched_(options_.botNames.size(), false) {}

namespace {

// Names compare ignoring case; letters beyond ASCII need the full case rules, and such names
// are rare enough for a conversion each.
bool sameName(std::string_view speaker, const std::string& name) {
    return equalsIgnoringAsciiCase(speaker, name) ||
           (hasNonAscii(speaker) && hasNonAscii(name) &&
            QString::fromUtf8(speaker.data(), static_cast<qsizetype>(speaker.size()))
                    .compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0);
}

}  // namespace

bool Importer::isBot(std::string_view speaker) {
    for (std::size_t i = 0; i < options_.botNames.size(); ++i) {
        if (sameName(speaker, options_.botNames[i])) {
            botMatched_[i] = true;
            return true;
        }
    }
    return false;
}

bool Importer::filteredOut(std::string_view speaker) const {
    for (const std::string& name : options_.ignoreNicks)
        if (sameName(speaker, name)) return true;
    if (options_.onlyNicks.empty()) return false;
    for (const std::string& name : options_.onlyNicks)
        if (sameName(speaker, name)) return false;
    return true;
}

std::vector<std::string> Importer::unmatchedBotNames() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < options_.botNames.size(); ++i)
        if (!botMatched_[i]) names.push_back(options_.botNames[i]);
    return names;
}

std::optional<std::string> Importer::add(std::string_view bytes) {
    const Survey found = survey(bytes);
    // Without a NUL anywhere, only the first kSampleBytes can make the input binary.
    if (auto reason = binaryReason(found.nul ? bytes : bytes.substr(0, kSampleBytes)))
        return reason;
    bytes = withoutByteOrderMark(bytes);
    const InputFormat format =
        options_.format == InputFormat::Auto ? detectFormat(bytes) : options_.format;
    lastFormat_ = format;
    // Each input a conversation of its own at least; within one, a blank line ends one.
    Reading reading;

    // Reserved (and its pages touched) at once: growing by doubling copied and faulted in the
    // records over and over, which for big inputs took longer than reading them.
    const std::size_t had = utterances_.size();
    if (utterances_.capacity() - had < found.lines) {
        utterances_.reserve(had + found.lines);
        prefault(utterances_.data() + had, (utterances_.capacity() - had) * sizeof(Utterance));
    }

    if (format != InputFormat::Plain && format != InputFormat::Transcript &&
        format != InputFormat::Tsv) {
        ChatLogReader reader(*this, reading);
        return readChatLog(format, bytes, reader);
    }

    LineScanner scanner(bytes);
    std::string_view line;
    bool ascii = false;
    while (scanner.next(line, ascii)) {
        if (line.size() > kMaxLineBytes) {
            ++skipped_.tooLong;
            continue;
        }
        if (isBlank(line)) {
            reading.open = false;
            continue;
        }
        if (!ascii && !validUtf8(line)) {
            ++skipped_.invalidUtf8;
            continue;
        }
        std::string_view speaker, text;
        SpeakerAt speakerAt = SpeakerAt::Line;
        if (format == InputFormat::Plain) {
            text = line;
            if (options_.speaker.empty()) {
                const std::size_t turn = reading.open ? reading.spoken % 2 : 0;
                speaker = kPlainSpeakers[turn];
                speakerAt = turn == 0 ? SpeakerAt::PlainA : SpeakerAt::PlainB;
            } else {
                speaker = options_.speaker;
                speakerAt = SpeakerAt::Given;
            }
        } else {
            const auto parts = format == InputFormat::Transcript ? splitTag(line) : splitTsv(line);
            if (!parts) {
                ++skipped_.untagged;
                continue;
            }
            speaker = parts->first;
            text = parts->second;
        }
        take(reading, speaker, speakerAt, text);
    }
    return std::nullopt;
}

bool Importer::take(Reading& reading, std::string_view speaker, SpeakerAt at,
                    std::string_view text) {
    text = trimText(text);
    if (text.empty()) {
        ++skipped_.empty;
        return false;
    }
    if ((!options_.ignoreNicks.empty() || !options_.onlyNicks.empty()) && filteredOut(speaker)) {
        ++skipped_.filtered;
        return false;
    }
    const bool opens = !reading.open;
    if (opens) {
        ++conversations_;
        reading.open = true;
        reading.spoken = 0;
    }
    ++reading.spoken;
    if (!reading.lastKnown || speaker != reading.lastSpeaker) {
        reading.lastSpeaker = speaker;
        reading.lastIsBot = isBot(speaker);
        reading.lastKnown = true;
    }
    const bool inLine = at == SpeakerAt::Line;
    utterances_.push_back({text.data(), static_cast<std::uint32_t>(text.size()),
                           inLine ? static_cast<std::uint32_t>(text.data() - speaker.data()) : 0,
                           inLine ? static_cast<std::uint32_t>(speaker.size()) : 0, at,
                           reading.lastIsBot, opens});
    return true;
}

std::string_view Importer::speakerOf(const Utterance& u) const {
    switch (u.speakerAt) {
        case SpeakerAt::Line:
            return {u.text - u.speakerBack, u.speakerSize};
        case SpeakerAt::PlainA:
            return kPlainSpeakers[0];
        case SpeakerAt::PlainB:
            return kPlainSpeakers[1];
        case SpeakerAt::Given:
            return options_.speaker;
    }
    return {};
}

std::size_t Importer::tailRoom(const Utterance& u) const {
    return std::max(kAiSpeaker.size(), speakerOf(u).size()) + 1 + u.textSize;
}

char* Importer::putTail(char* out, const Utterance& u) const {
    out = u.bot ? putBytes(out, kAiSpeaker) : putSpeaker(out, speakerOf(u));
    *out++ = ' ';
    return putText(out, u.text, u.textSize);
}

void Importer::leaveOut(const std::vector<std::uint32_t>& learned) {
    leftOut_ = learned;
    leftOutLines_ = 0;
    leftOutConversations_ = 0;
    std::size_t opened = 0;
    std::uint32_t at = 0;  // the line's place in its conversation
    bool whole = false;    // every line so far of the conversation at hand is left out
    for (const Utterance& u : utterances_) {
        if (u.opens) {
            if (opened > 0 && whole) ++leftOutConversations_;
            ++opened;
            at = 0;
            whole = true;
        }
        const bool out = opened - 1 < leftOut_.size() && at < leftOut_[opened - 1];
        leftOutLines_ += out ? 1 : 0;
        whole = whole && out;
        ++at;
    }
    if (opened > 0 && whole) ++leftOutConversations_;
}

void Importer::writeLines(std::string_view stamp, std::uint32_t now, const ByteSink& sink) const {
    // Written straight into one block that is handed on when full; the longest part of a line
    // that is not its speaker or text is "learn-" stamp "-" number " " number " " ... CR LF.
    const std::size_t frame = 6 + stamp.size() + 1 + 20 + 1 + 20 + 1 + kAiSpeaker.size() + 1 + 2;
    std::string block(kBlockBytes + frame + 2 * kMaxLineBytes, '\0');
    std::size_t used = 0;
    const std::uint64_t count = lineCount();
    std::uint64_t written = 0;
    std::uint64_t conversation = 0;  // the number of the one written last
    std::size_t opened = 0;          // the conversations read so far
    std::uint32_t at = 0;            // the line's place in its conversation
    bool numbered = false;           // the conversation at hand has its number
    for (const Utterance& u : utterances_) {
        if (u.opens) {
            ++opened;
            at = 0;
            numbered = false;
        }
        if (opened - 1 < leftOut_.size() && at++ < leftOut_[opened - 1]) continue;
        if (!numbered) {
            ++conversation;
            numbered = true;
        }
        // Only a --speaker name of many kilobytes can outgrow the room left.
        const std::size_t most = frame + speakerOf(u).size() + u.textSize;
        if (used + most > block.size()) block.resize(used + most);
        char* out = block.data() + used;
        out = putBytes(out, "learn-");
        out = putBytes(out, stamp);
        *out++ = '-';
        out = putNumber(out, conversation);
        *out++ = ' ';
        const std::uint64_t back = count - 1 - written++;
        out = putNumber(out, back <= now ? now - back : 0);
        *out++ = ' ';
        out = putTail(out, u);
        *out++ = '\r';
        *out++ = '\n';
        used = static_cast<std::size_t>(out - block.data());
        if (used >= kBlockBytes) {
            sink(std::string_view(block.data(), used));
            used = 0;
        }
    }
    if (used != 0) sink(std::string_view(block.data(), used));
}

namespace {

// The key of a mind line: up to its first blank (the whole line when it has none).
std::string_view keyOf(std::string_view line) {
    const void* blank = std::memchr(line.data(), ' ', line.size());
    return blank ? line.substr(
                       0, static_cast<std::size_t>(static_cast<const char*>(blank) - line.data()))
                 : line;
}

// Adds to used the stamps from now on that key holds ("learn-<stamp>-", any case).
void noteStamps(std::string_view key, std::uint32_t now, std::vector<std::uint64_t>& used) {
    if (key.size() < 8 || std::memchr(key.data(), '-', key.size()) == nullptr) return;
    for (std::size_t dash = key.find('-', 5); dash != std::string_view::npos;
         dash = key.find('-', dash + 1)) {
        if (!equalsIgnoringAsciiCase(key.substr(dash - 5, 5), "learn")) continue;
        std::uint64_t stamp = 0;
        std::size_t at = dash + 1;
        for (; at < key.size() && at - dash <= 19 && key[at] >= '0' && key[at] <= '9'; ++at)
            stamp = stamp * 10 + static_cast<std::uint64_t>(key[at] - '0');
        if (at > dash + 1 && at < key.size() && key[at] == '-' && stamp >= now)
            used.push_back(stamp);
    }
}

std::string firstFreeStamp(std::uint32_t now, std::vector<std::uint64_t> used) {
    std::sort(used.begin(), used.end());
    std::uint64_t stamp = now;
    for (const std::uint64_t u : used)
        if (u == stamp) ++stamp;
    return std::to_string(stamp);
}

std::uint64_t hashTail(std::string_view tail) { return std::hash<std::string_view>{}(tail); }

std::uint64_t mixHash(std::uint64_t hash, std::uint64_t tail) {
    hash = ((hash << 29) | (hash >> 35)) ^ tail;
    return hash * 0x9E3779B97F4A7C15ull;
}

}  // namespace

LearnedBefore::LearnedBefore(const Importer& importer, std::uint32_t now) : now_(now) {
    std::uint64_t hash = 0;
    std::size_t current = SIZE_MAX;
    std::uint32_t count = 0;
    importer.forEachTail([&](std::size_t conversation, std::string_view tail) {
        if (conversation != current) {
            current = conversation;
            hash = 0;
            count = 0;
        }
        hash = mixHash(hash, hashTail(tail));
        ++count;
        longest_ = std::max(longest_, count);
        prefixes_.push_back({hash, static_cast<std::uint32_t>(conversation), count});
    });
    learned_.assign(current == SIZE_MAX ? 0 : current + 1, 0);
    std::sort(prefixes_.begin(), prefixes_.end(),
              [](const Prefix& a, const Prefix& b) { return a.hash < b.hash; });
}

void LearnedBefore::line(std::string_view line) {
    const std::string_view key = keyOf(line);
    noteStamps(key, now_, usedStamps_);
    if (key.size() < 6 || !equalsIgnoringAsciiCase(key.substr(0, 6), "learn-")) {
        if (runCount_ > 0) endRun();
        return;
    }
    if (runCount_ > 0 && !equalsIgnoringAsciiCase(key, runKey_)) endRun();
    if (runCount_ == 0) runKey_.assign(key);
    ++runCount_;
    if (runCount_ > longest_) return;  // longer than any conversation to learn
    // The tail: what follows the time.
    const std::size_t timeEnd = line.find(' ', key.size() + 1);
    const std::string_view tail =
        timeEnd == std::string_view::npos ? std::string_view() : line.substr(timeEnd + 1);
    // A line of no tail can match no line to learn: the run is spoilt for good.
    runHash_ = mixHash(runHash_, tail.empty() ? ~std::uint64_t{0} : hashTail(tail));
}

void LearnedBefore::lines(std::string_view lines, std::uint64_t offset) {
    // Only a line whose key holds "learn-" matters, and most do not: the dashes of the text
    // are looked for, and each is looked at only when "learn" comes before it in a key.
    const char* const base = lines.data();
    const char* const end = base + lines.size();
    const char* at = base;
    while (at < end) {
        const void* found = std::memchr(at, '-', static_cast<std::size_t>(end - at));
        if (found == nullptr) break;
        const char* const dash = static_cast<const char*>(found);
        at = dash + 1;
        if (dash - base < 5 || !equalsIgnoringAsciiCase(std::string_view(dash - 5, 5), "learn"))
            continue;
        const char* start = dash - 5;
        while (start > base && start[-1] != '\n' && start[-1] != '\r' && start[-1] != ' ') --start;
        if (start > base && start[-1] == ' ') continue;  // in a text, not a key
        const char* const lineEnd = findLineBreak(dash, end);
        std::size_t next = static_cast<std::size_t>(lineEnd - base);
        if (lineEnd != end)
            next += (*lineEnd == '\r' && lineEnd + 1 != end && lineEnd[1] == '\n') ? 2 : 1;
        const std::uint64_t lineOffset = offset + static_cast<std::uint64_t>(start - base);
        // A line between this one and the run's last breaks the run.
        if (runCount_ > 0 && lineOffset != runNext_) endRun();
        line(std::string_view(start, static_cast<std::size_t>(lineEnd - start)));
        runNext_ = offset + next;
        at = base + next;
    }
}

void LearnedBefore::endRun() {
    if (runCount_ <= longest_) {
        auto at =
            std::lower_bound(prefixes_.begin(), prefixes_.end(), runHash_,
                             [](const Prefix& p, std::uint64_t hash) { return p.hash < hash; });
        for (; at != prefixes_.end() && at->hash == runHash_; ++at)
            if (at->count == runCount_)
                learned_[at->conversation] = std::max(learned_[at->conversation], runCount_);
    }
    runCount_ = 0;
    runHash_ = 0;
}

std::string LearnedBefore::stamp() const { return firstFreeStamp(now_, usedStamps_); }

std::vector<std::uint32_t> LearnedBefore::learned() {
    if (runCount_ > 0) endRun();
    return learned_;
}

std::string chooseKeyStamp(std::uint32_t now, std::string_view mind) {
    std::vector<std::uint64_t> used;
    forEachLine(mind, [&](std::string_view line) { noteStamps(keyOf(line), now, used); });
    return firstFreeStamp(now, std::move(used));
}

}  // namespace vebix::cli
