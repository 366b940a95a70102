#include "app/cli/importer.h"

#include <QString>

#include <algorithm>
#include <cstring>

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

void appendNumber(std::string& out, std::uint64_t n) {
    char digits[20];
    out.append(digits, putNumber(digits, n));
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

void Importer::writeLines(std::string_view stamp, std::uint32_t now, const ByteSink& sink) const {
    // Written straight into one block that is handed on when full; the longest part of a line
    // that is not its speaker or text is "learn-" stamp "-" number " " number " " ... CR LF.
    const std::size_t frame = 6 + stamp.size() + 1 + 20 + 1 + 20 + 1 + kAiSpeaker.size() + 1 + 2;
    std::string block(kBlockBytes + frame + 2 * kMaxLineBytes, '\0');
    std::size_t used = 0;
    const std::uint64_t count = utterances_.size();
    std::uint64_t conversation = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const Utterance& u = utterances_[i];
        const std::string_view speaker = speakerOf(u);
        // Only a --speaker name of many kilobytes can outgrow the room left.
        const std::size_t most = frame + speaker.size() + u.textSize;
        if (used + most > block.size()) block.resize(used + most);
        char* out = block.data() + used;
        if (u.opens) ++conversation;
        out = putBytes(out, "learn-");
        out = putBytes(out, stamp);
        *out++ = '-';
        out = putNumber(out, conversation);
        *out++ = ' ';
        const std::uint64_t back = count - 1 - i;
        out = putNumber(out, back <= now ? now - back : 0);
        *out++ = ' ';
        out = u.bot ? putBytes(out, kAiSpeaker) : putSpeaker(out, speaker);
        *out++ = ' ';
        out = putText(out, u.text, u.textSize);
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

std::string chooseKeyStamp(std::uint32_t now, std::string_view mind) {
    for (std::uint64_t stamp = now;; ++stamp) {
        std::string needle = "-";
        appendNumber(needle, stamp);
        needle += '-';
        bool used = false;
        for (std::size_t at = mind.find(needle); at != std::string_view::npos && !used;
             at = mind.find(needle, at + 1))
            used = at >= 5 && equalsIgnoringAsciiCase(mind.substr(at - 5, 5), "learn");
        if (!used) return std::to_string(stamp);
    }
}

}  // namespace vebix::cli
