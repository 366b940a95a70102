#pragma once
// Turning text files into mind lines for `vebix learn`. The formats:
//   plain       one utterance per line; a blank line starts a new conversation; the speakers
//               alternate "$a", "$b" from each conversation's start (as in the template mind),
//               or every line is one given speaker
//   transcript  a saved Vebix transcript: "<Name> text" lines; other lines (the mind path, notes)
//               are skipped; a blank line starts a new conversation
//   tsv         "speaker<TAB>text" lines; a blank line starts a new conversation
//   and the chat logs people have (importer_chatlog.h): the logs of the IRC clients irssi and
//   WeeChat and of the ZNC bouncer, a Telegram Desktop JSON export, a WhatsApp text export;
//   each channel, chat or day is a conversation of its own, and what nobody said (joins,
//   parts, modes, notices, day changes) is skipped
// Each input starts a new conversation. A byte-order mark and CR LF, LF or CR line ends are all
// read. The importer keeps views into the inputs: they must outlive it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/platform/filewrite.h"

namespace vebix::cli {

enum class InputFormat { Auto, Plain, Transcript, Tsv, Irssi, Weechat, Znc, Telegram, Whatsapp };

// Lines longer than this (in bytes, without the line end) are skipped.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;
// How much of an input the format detection and the binary test look at.
inline constexpr std::size_t kSampleBytes = 64 * 1024;

// "plain", "transcript", "tsv", "irssi", "weechat", "znc", "telegram", "whatsapp" or "auto";
// nothing for another word.
std::optional<InputFormat> formatFromName(std::string_view name);
std::string_view formatName(InputFormat format);
// What a person calls it: "plain text", "irssi log", "Telegram export".
std::string_view formatDescription(InputFormat format);

// The format an input most likely has, from its first kSampleBytes: a chat log when its lines
// (or its JSON) look like one (detectChatLog); else transcript when more than half of the
// non-blank lines are name tags ("<Name>" then a blank or the line end), else tsv when more
// than half hold a tab after some text, else plain.
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
    // Speakers whose lines are skipped, and (when not empty) the only speakers whose lines are
    // taken; compared ignoring case.
    std::vector<std::string> ignoreNicks;
    std::vector<std::string> onlyNicks;
};

struct SkippedLines {
    std::size_t empty = 0;        // nothing left after trimming (an empty tag, a speaker only)
    std::size_t invalidUtf8 = 0;  // not valid UTF-8
    std::size_t tooLong = 0;      // longer than kMaxLineBytes
    std::size_t untagged = 0;     // transcript lines without a name tag, tsv lines without a
                                  // speaker and a tab, chat-log lines of no form the log has
    std::size_t events = 0;       // chat logs: what nobody said (joins, parts, modes, notices,
                                  // system messages, media)
    std::size_t filtered = 0;     // by --ignore-nick or --only-nick
    std::size_t total() const {
        return empty + invalidUtf8 + tooLong + untagged + events + filtered;
    }
};

class Importer {
public:
    explicit Importer(ImportOptions options);
    Importer(const Importer&) = delete;
    Importer& operator=(const Importer&) = delete;

    // Reads one input's bytes. When they are not text (or not the export the format needs),
    // takes nothing from them and returns the reason ("not a text file (binary byte at offset
    // 17)").
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
    class ChatLogReader;
    // What add keeps while it reads one input: whether a conversation is open, how many lines it
    // has, the last speaker and whether it is the bot, whether the last line was taken.
    struct Reading {
        bool open = false;
        std::size_t spoken = 0;
        std::string_view lastSpeaker;
        bool lastIsBot = false;
        bool lastKnown = false;
        bool lastTaken = false;
    };
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
    // Whether --ignore-nick or --only-nick leaves speaker out.
    bool filteredOut(std::string_view speaker) const;
    // Takes text (trimmed here) said by speaker, which lies in memory before the text when at
    // is SpeakerAt::Line; false when it was skipped (and counted).
    bool take(Reading& reading, std::string_view speaker, SpeakerAt at, std::string_view text);
    std::string_view speakerOf(const Utterance& u) const;

    ImportOptions options_;
    // Texts a format had to decode (JSON escapes), which the utterances point into; a deque, so
    // that what was kept never moves.
    std::deque<std::string> kept_;
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
