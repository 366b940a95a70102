#pragma once
// Deterministic minds of any size made from a conversation corpus, for the tests (and for anyone
// who wants a big mind to try). Standard library only.
//
// A corpus is UTF-8 text, one utterance per line, an empty line between conversations; within
// a conversation the two speakers take turns. Each conversation becomes one chat session of an
// invented user with the bot: the user says the first line, "<ai>" the second, and so on. Users
// (a name, blanks as "_", and a number: "Mary_Ann_42") come back for several sessions, a few
// regulars more often. Times start on the given day and only grow: the bot answers one to three
// seconds after the user, the user takes longer for longer lines, and sessions are minutes to
// days apart (closer together in big minds, never under a minute). When more lines are asked for
// than the corpus holds, it is used again in a new order, each line lightly varied.
//
// The same corpus and options always give the same bytes, on any platform.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vebix::mindgen {

using Conversation = std::vector<std::string>;

// The conversations of a corpus text. Blank runs, tabs and stray CRs inside an utterance become
// one blank, ends are trimmed, and a leading byte-order mark is dropped, so that an utterance
// always makes a valid mind line.
std::vector<Conversation> parseCorpus(std::string_view text);
// The same read from a file; throws std::runtime_error when it cannot be read or holds no
// conversation.
std::vector<Conversation> readCorpusFile(const std::string& path);

struct Options {
    std::size_t lines = 1000;  // exactly this many mind lines
    std::uint64_t seed = 1;
    std::uint32_t startTime = 1704067200;  // the day of the first session (2024-01-01 UTC)
    std::string botName = "Testbot";       // the name in the header line
    // Only the mind lines, LF ends: an AI data file. Otherwise a whole mind file: byte-order
    // mark, header line, key=value lines, an empty line, then the mind lines, all ending CR LF.
    bool plain = false;
};

// The mind's bytes. corpus must hold at least one conversation when lines > 0.
std::string makeMind(const std::vector<Conversation>& corpus, const Options& options);

}  // namespace vebix::mindgen
