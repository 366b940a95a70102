#pragma once
// The conversation engine. An Ai keeps a mind (every line it heard or said, oldest first),
// learns by appending, reads and writes AI data files, and answers an input line with a line
// chosen from the mind or spliced together from pieces of it.
//
// Threads: reply() and the save functions only read the mind and may run on two threads at
// once; learning (addLine and friends) and loading must not overlap with anything else, except
// prepareReplies, which learning waits for.
// Every random choice draws from vebix::rng; the recent-text filter of chooseReply reads
// vebix::clock().

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ai/linestore.h"
#include "engine/ai/mindline.h"
#include "engine/ai/replyindex.h"
#include "engine/base/fairmutex.h"
#include "engine/base/threadannotations.h"
#include "engine/enparse/token.h"

namespace vebix {

// How Ai::loadText keeps the lines: copied into the mind, or as views into the caller's text.
enum class TextLines { Copied, Viewed };
// Whether the token a run starts at has been met before in its list (its runs then add
// nothing, though they are still walked).
enum class RunToken { FirstOfItsKind, SeenBefore };

class Ai {
public:
    // One scored candidate line.
    struct Sim {
        std::uint32_t index = 0;       // position in lines
        std::uint32_t textOffset = 0;  // offset of the text field within that line
        std::uint16_t score = 0;
        // Highest score first; two Sims with equal scores are equal.
        friend bool operator<(const Sim& a, const Sim& b) { return a.score > b.score; }
        friend bool operator==(const Sim& a, const Sim& b) { return a.score == b.score; }
    };

    // One counted word (fill words).
    struct Wc {
        std::string_view text;
        std::uint16_t count = 1;
        // Highest count first.
        friend bool operator<(const Wc& a, const Wc& b) { return a.count > b.count; }
    };

    // The scoring constants.
    enum ScoreValueEnum : int {
        RecentLineBonus = 3,   // said at most RecentLineSeconds before the reference time
        RecentMonthBonus = 4,  // said at most RecentMonthSeconds before
        SameConversationBonus = 6,
        SameSpeakerBonus = 4,
        WordMatchScore = 12,
        FillWordMatchScore = 8,
        AlikeWordScore = 4,
        NumberMatchScore = 4,
        EqualNumberScore = 12,  // on top of NumberMatchScore
        LongLineWords = 7,      // lines with this many Word tokens score less
        PauseDecayPercentPerMinute = 10,
        PauseDecayMaxMinutes = 5,
        RecentLineSeconds = 180,
        RecentMonthSeconds = 2419200,
        MaxCandidatesBuilding = 64,
        MaxCandidates = 48,
        FillWordCount = 30,
        FillWordMaxLines = 448,   // calcFillWords reads the last quarter, at most this many
        ChunkingMinLines = 1000,  // minds with more lines are randomly chunked
        ChunkingLinesPerStep = 640,
        RecentTextSeconds = 600,
        DirectMinScore = 10,  // a best score above this (with 4 candidates) skips generation
        DirectMinCandidates = 4,
        GenerationTries = 8,
        MaxPicks = 32,
        MaxScore = 65535,  // a Sim's score saturates here
    };

    Ai() = default;
    virtual ~Ai() = default;
    Ai(const Ai&) = delete;
    Ai& operator=(const Ai&) = delete;

    // ---- state ---------------------------------------------------------------------------
    // The engine's own name, for personalisation.
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // The mind, oldest first. It changes only through learning and loading.
    const LineStore& lines() const { return lines_; }
    // The most frequent recent words, at most 30 (see calcFillWords).
    const std::vector<std::string>& fillWords() const { return fillWords_; }
    // Where the mind was loaded from or is to be saved.
    const std::string& fileName() const { return fileName_; }
    void setFileName(std::string name) { fileName_ = std::move(name); }

    // ---- virtual operations, in slot order ------------------------------------------------
    // Called once per line while a mind is read. Ai: appends non-empty lines (as a view into
    // the loaded text when loadText was asked not to copy, else as a copy).
    virtual void acceptLoadedLine(std::string_view line);
    // Called once after the last line. Ai: nothing.
    virtual void finishLoading();

    // ---- learning -------------------------------------------------------------------------
    // A learned line never holds CR, LF or NUL, whoever calls: every such byte is stored as a
    // blank in the text (learnedText in mindline.h gives the text as it will be stored, for
    // showing it), and as "_" in key, time and speaker, which are single fields. So each thing
    // learned is one line of the saved file and reloads whole. Loading is not learning: lines
    // read from a file are kept as read (see loadFile).
    //
    // Appends "key time speaker text" with blanks in key and speaker replaced by "_".
    void addLine(std::string_view key, std::string_view time, std::string_view speaker,
                 std::string_view text);
    // addLine with the speaker "<ai>".
    void addAiLine(std::string_view key, std::string_view time, std::string_view text);
    // Appends an already formatted line, each CR, LF and NUL replaced by a blank.
    void appendLine(std::string_view line);

    // ---- AI data files --------------------------------------------------------------------
    // Replaces the mind by the file's lines and returns their number. A missing file gives an
    // empty mind (finishLoading is not called then). Throws
    // Error("Unable to load AI file '<name>': <the system's reason>") when the file cannot be
    // opened and Error("Read error while loading AI file '<name>': <reason>") on a read error;
    // lines read so far stay. A line ends at CR, LF or CR LF (or at a NUL byte); a leading byte-order mark is
    // dropped from every line.
    std::size_t loadFile(const std::string& name);
    // Replaces the mind by the lines of the file open as fd, read from its start, at most length
    // bytes of it (kWholeFile: all); name is the fileName and the name in messages. Fails as
    // loadFile does; finishLoading is called.
    static constexpr std::uint64_t kWholeFile = ~std::uint64_t{0};
    std::size_t loadFrom(int fd, const std::string& name, std::uint64_t length);
    // Replaces the mind by the lines of text (CR, LF or CR LF ends). With TextLines::Viewed the
    // lines refer into text, which must then outlive this object.
    std::size_t loadText(const std::string& name, std::string_view text, TextLines keep);

    // ---- replies --------------------------------------------------------------------------
    // Told where each reply chooseReply finds comes from: the index of the mind's line it was
    // picked from, or none when it was spliced from words (for those that show it, such as
    // `vebix reply --json`). Set it while no reply runs; empty for nobody (the default).
    using ReplySourceSink = std::function<void(std::optional<std::size_t> line)>;
    void setReplySourceSink(ReplySourceSink sink) { onReplySource_ = std::move(sink); }
    // How much of an input reply() weighs at most: its start, up to a blank.
    static constexpr std::size_t kWeighedInputBytes = 4096;
    // The reply to input, or empty when nothing was found. scoreLines then chooseReply.
    std::string reply(std::string_view partnerName, std::string_view conversationKey,
                      std::string_view input, std::uint32_t referenceTime);
    // Scores every line against the input and the course of its conversation; the best 48,
    // highest first. The plain rendering of the scoring rules, kept as the reference any
    // faster scorer is checked against. Lines whose time is not a decimal number are skipped.
    std::vector<Sim> scoreLines(std::string_view partnerName, std::string_view conversationKey,
                                std::string_view input, std::uint32_t referenceTime) const;
    // The same candidates as scoreLines (same scores; the same set, in the same order), from
    // what the reply index keeps about each line: what a line yields is worked out once, and
    // only lines that random chunking leaves open are looked at word by word. Draws the
    // generator exactly as scoreLines does. reply() uses this one.
    std::vector<Sim> scoreLinesIndexed(std::string_view partnerName,
                                       std::string_view conversationKey, std::string_view input,
                                       std::uint32_t referenceTime) const;
    // Works out what replies need of every line (its tokens) ahead of them, so that the first
    // reply after loading costs no more than later ones, and keeps the mind's text in memory
    // (LineStore::keepInMemory) for the replies to come. Goes a few thousand lines at a time
    // and returns early once stop is set. May run on another thread while this Ai replies or
    // learns (a learned line waits for the step under way), not while it loads.
    void prepareReplies(const std::atomic<bool>& stop) const;
    // Picks among the candidates, or generates a reply when they are weak.
    std::string chooseReply(std::string_view partnerName, std::vector<Sim>& candidates,
                            std::string_view input) const;

    // The size of the group of top candidates a direct pick chooses from (candidates sorted,
    // highest first, not empty), and the score a member must reach given the best score.
    static std::size_t groupSize(const std::vector<Sim>& candidates);
    static int groupThreshold(int top);

    // Rebuilds fillWords from the newest lines.
    void calcFillWords();
    bool notFillWord(std::string_view word) const;

    // The line at index from offset on (the text of a Sim).
    std::string_view candidateText(std::uint32_t index, std::uint32_t offset) const;
    // Replaces the names of the stored conversation by those of the current one.
    std::string personalizeText(std::string_view partnerName, std::size_t lineIndex,
                                std::string_view text) const;

    // Sorts candidates highest first and cuts them to 48.
    static void trimCandidates(std::vector<Sim>& candidates);
    // How well a line's tokens match the input's (both normalising mode).
    std::uint64_t phraseMatchScore(const TokenList& lineTokens, const TokenList& inputTokens) const;
    // The score of the runs that start at a[0], compared against every token of b.
    std::uint64_t tokenRunScore(const Token* a, std::size_t aCount, const TokenList& b,
                                RunToken start) const;

    // ---- generation -----------------------------------------------------------------------
    // A new sentence spliced from lines holding seed; empty when nothing could be made.
    std::string generateReply(std::string_view partnerName, std::string_view seed) const;
    struct PhraseHit {
        std::string text;        // the (possibly personalised) line text
        std::size_t offset = 0;  // where the phrase starts in text
        std::size_t length = 0;
    };
    // A line holding phrase as a whole word or words (case-insensitive), chosen at random
    // among up to 256 kept matches; lines whose whole text lies inside exclude (when not
    // empty) are passed over. The text is personalised for partnerName when personalize is set.
    bool findLineWithPhrase(std::string_view partnerName, std::string_view phrase,
                            std::string_view exclude, PhraseHit& hit) const;

    // Position of a randomly chosen Word (or, less likely, Number) token, or -1.
    static int pickSeedToken(const std::vector<Token>& tokens);
    // The tokens after skipping k Word/Number tokens from the front (k >= 0) or -k from the
    // back (k < 0); empty when there are not enough.
    static std::vector<Token> tokensFromWord(const std::vector<Token>& tokens, int k);

protected:
    // Sends text to the debug sink when one is set.
    void debug(std::string_view text) const;
    // Replaces the mind by these lines, kept exactly as given (no line-end bytes replaced, empty
    // lines kept).
    void setLines(const std::vector<std::string>& lines);

private:
    // What only tests set (aitesthelper.h): a mind built line by line, fill words chosen by
    // hand, personalising off, a sink for the engine's diagnostics.
    friend class AiTestHelper;

    // The lines, in order, that may lend their text to findLineWithPhrase: not said by "<ai>"
    // nor marked "#-", holding phrase as a whole word or words, and not lying inside exclude.
    std::vector<std::uint32_t> linesWithPhrase(std::string_view phrase,
                                               std::string_view exclude) const
        VEBIX_REQUIRES(indexMutex_);

private:
    std::string name_;
    LineStore lines_;
    // Whether replies taken from the mind pass through personalizeText.
    bool personalize_ = true;
    std::vector<std::string> fillWords_;
    std::string fileName_;
    std::function<void(std::string_view)> onDebug_;  // an optional sink for diagnostics
    ReplySourceSink onReplySource_;
    bool keepViews_ = false;  // loadText without copying: acceptLoadedLine stores views
    // Taken by replies, learning, loading and prepareReplies, so that replies may run on two
    // threads and a preparation beside them; waiting threads go in turn, so a reply waits for
    // one step of a preparation, not for all of it. Learning also appends to lines_ under it,
    // as prepareReplies reads them under it.
    mutable FairMutex indexMutex_;
    // What scoreLinesIndexed keeps about the lines.
    const std::unique_ptr<ReplyIndex> index_ VEBIX_PT_GUARDED_BY(indexMutex_) =
        std::make_unique<ReplyIndex>();
};

// "Randomly chunked: <percent>%" as scoreLines reports it: the percentage as a plain decimal
// number without trailing zeros ("0", "12.5").
std::string formatChunkedPercent(double percent);

}  // namespace vebix
