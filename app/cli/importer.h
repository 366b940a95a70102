#pragma once
// Turning text files into mind lines for `vebix learn`. Three formats:
//   plain       one utterance per line; a blank line starts a new conversation; the speakers
//               alternate "$a", "$b" from each conversation's start (as in the template mind),
//               or every line is one given speaker
//   transcript  a saved Vebix transcript: "<Name> text" lines; other lines (the mind path, notes)
//               are skipped; a blank line starts a new conversation
//   tsv         "speaker<TAB>text" lines; a blank line starts a new conversation
// Each input starts a new conversation. A byte-order mark and CR LF, LF or CR line ends are all
// read. The importer keeps views into the inputs: they must outlive it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/platform/filewrite.h"

namespace vebix::cli {

enum class InputFormat { Auto, Plain, Transcript, Tsv };

// Lines longer than this (in bytes, without the line end) are skipped.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;
// How much of an input the format detection and the binary test look at.
inline constexpr std::size_t kSampleBytes = 64 * 1024;

// "plain", "transcript", "tsv" or "auto"; nothing for another word.
std::optional<InputFormat> formatFromName(std::string_view name);
std::string_view formatName(InputFormat format);

// The format an input most likely has: transcript when more than half of the non-blank lines
// in its first kSampleBytes are name tags ("<Name>" then a blank or the line end), else tsv
// when more than half hold a tab after some text, else plain.
InputFormat detectFormat(std::string_view text);

// Why bytes are not text ("binary byte at offset 17"), or nothing when they are: any NUL byte
// makes a file binary, and so do control bytes other than tab, line ends, form feed and escape
// when they make up more than 1/16 of the first kSampleBytes.
std::optional<std::string> binaryReason(std::string_view bytes);

struct ImportOptions {
    InputFormat format = InputFormat::Auto;
    // Speakers whose lines become the bot's own ("<ai>"); compared ignoring case.
    std::vector<std::string> botNames;
    // Plain text: the speaker of every line, instead of alternating "$a" and "$b".
    std::string speaker;
};

struct SkippedLines {
    std::size_t empty = 0;        // nothing left after trimming (an empty tag, a speaker only)
    std::size_t invalidUtf8 = 0;  // not valid UTF-8
    std::size_t tooLong = 0;      // longer than kMaxLineBytes
    std::size_t untagged = 0;     // transcript lines without a name tag, tsv lines without a
                                  // speaker and a tab
    std::size_t total() const { return empty + invalidUtf8 + tooLong + untagged; }
};

class Importer {
public:
    explicit Importer(ImportOptions options);
    Importer(const Importer&) = delete;
    Importer& operator=(const Importer&) = delete;

    // Reads one input's bytes. When they are not text, takes nothing from them and returns the
    // reason ("not a text file (binary byte at offset 17)").
    std::optional<std::string> add(std::string_view bytes);
    // The format the last add read (its detected one under InputFormat::Auto).
    InputFormat lastFormat() const { return lastFormat_; }

    std::size_t lineCount() const { return utterances_.size(); }
    std::size_t conversationCount() const { return conversations_; }
    const SkippedLines& skipped() const { return skipped_; }
    // The bot names (as given) that no speaker read so far matched: most likely a misspelt
    // name, or a plain text's "$b" given as "b".
    std::vector<std::string> unmatchedBotNames() const;

    // Writes the mind lines "key time speaker text" (CR LF ends) to sink in blocks of about a
    // megabyte. Keys are "learn-<stamp>-<n>", n counting the conversations from 1. Times are one
    // second apart and the last is now; lines that would fall before 1970 get time 0.
    // Speakers: "<ai>" for the bot names, else the name with blanks and control bytes as "_".
    // Text: control bytes as blanks.
    void writeLines(std::string_view stamp, std::uint32_t now, const ByteSink& sink) const;

private:
    // Where an utterance's speaker is: in its line, before the text (transcripts, tsv), or one
    // of the names plain text uses.
    enum class SpeakerAt : std::uint8_t { Line, PlainA, PlainB, Given };
    // Kept small, as there is one per line of the inputs: the speaker in the line is found from
    // the text's start, and conversations are numbered by counting the lines that open one.
    struct Utterance {
        const char* text;
        std::uint32_t textSize;
        std::uint32_t speakerBack;  // SpeakerAt::Line: how far before the text the name starts
        std::uint32_t speakerSize;  // SpeakerAt::Line: the name's length
        SpeakerAt speakerAt;
        bool bot;
        bool opens;  // the first line of a conversation
    };
    // Whether speaker is one of the bot names; marks the name as matched.
    bool isBot(std::string_view speaker);
    std::string_view speakerOf(const Utterance& u) const;

    ImportOptions options_;
    std::vector<bool> botMatched_;  // by the index of options_.botNames
    std::vector<Utterance> utterances_;
    std::size_t conversations_ = 0;
    SkippedLines skipped_;
    InputFormat lastFormat_ = InputFormat::Plain;
};

// A key stamp for an import at now that no key of the mind's bytes uses yet: now, or the next
// number up when an import of that second is already there ("learn-<stamp>-", any case).
std::string chooseKeyStamp(std::uint32_t now, std::string_view mind);

}  // namespace vebix::cli
