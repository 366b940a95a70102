#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/enparse/tokenizer.h"
#include "token_text.h"

using namespace vebix;
using namespace vebix::testing;

namespace {

enum class Mode { Plain, Normalising, Both };

struct Case {
    std::string text;
    Mode mode;
    std::vector<Tok> expected;
};

std::string repeatWords(const std::string& word, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i ? " " : "") + word;
    return s;
}

std::vector<Tok> times(const Tok& t, int n) { return std::vector<Tok>(n, t); }

std::vector<Tok> operator+(std::vector<Tok> a, const std::vector<Tok>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        for (Tokenize mode : {Tokenize::Plain, Tokenize::Normalising}) {
            const bool normalising = mode == Tokenize::Normalising;
            if (c.mode == Mode::Plain && normalising) continue;
            if (c.mode == Mode::Normalising && !normalising) continue;
            EXPECT_EQ(toks(tokenize(c.text, mode)), c.expected)
                << (normalising ? "normalising" : "plain") << " mode, text: " << Tok{0, c.text};
            // A sink sees the same tokens a list holds.
            if (normalising) {
                EXPECT_EQ(sunkToks(c.text), c.expected) << "into a sink, text: " << Tok{0, c.text};
            }
        }
    }
}

}  // namespace

TEST(Tokenizer, WorkedExamples) {
    check({
        {"", Mode::Both, {}},
        {" \t\f  ", Mode::Both, {}},
        {"Hello, world!!", Mode::Plain, {W("Hello"), P(","), W("world"), D("!!")}},
        {"Hello, world!!", Mode::Normalising, {W("hello"), P(","), W("world"), D(".")}},
        {"Really?!?", Mode::Plain, {W("Really"), QR("?!?")}},
        {"Really?!?", Mode::Normalising, {W("really"), QR("?")}},
        {"so , ?", Mode::Both, {W("so"), Q("?")}},
        {"ok . .", Mode::Both, {W("ok"), D(".")}},
        {"what? .", Mode::Both, {W("what"), QR("?")}},
        {repeatWords("ha", 8), Mode::Both, times(W("ha"), 6)},
        {"don't", Mode::Plain, {W("don"), S("'"), W("t")}},
        {"café", Mode::Both, {W("caf"), S("é")}},
        {"3.14", Mode::Both, {N("3"), D("."), N("14")}},
        {"-5", Mode::Both, {S("-"), N("5")}},
        {"e-mail x- --q", Mode::Both, {W("e-mail"), W("x-"), S("-"), S("-"), W("q")}},
        {"abc123def", Mode::Both, {W("abc"), N("123"), W("def")}},
        {"one\ntwo\rthree", Mode::Both, {W("one"), S("\n"), W("two"), S("\r"), W("three")}},
        {"one\xC2\xA0two\x01", Mode::Both, {W("one"), W("two"), S("\x01")}},
        {std::string("ab\0cd", 5), Mode::Both, {W("ab")}},
        {std::string("\0ab", 3), Mode::Both, {}},
        {"@#\xE2\x82\xAC", Mode::Both, {S("@"), S("#"), S("\xE2\x82\xAC")}},
        {"\xF0\x9F\x98\x80!", Mode::Plain, {S("\xF0\x9F\x98\x80"), D("!")}},
        {"\xF0\x9F\x98\x80!", Mode::Normalising, {S("\xF0\x9F\x98\x80"), D(".")}},
    });
}

TEST(Tokenizer, PunctuationRunsTakeTheStrongestKind) {
    check({
        {",,?", Mode::Plain, {QR(",,?")}},
        {",,?", Mode::Normalising, {QR("?")}},
        {"...", Mode::Plain, {D("...")}},
        {".,!", Mode::Plain, {D(".,!")}},
        {".,!", Mode::Normalising, {D(".")}},
        {",;", Mode::Plain, {P(",;")}},
        {",;", Mode::Normalising, {P(",")}},
        {"?.,", Mode::Plain, {QR("?.,")}},
        {"x;.y", Mode::Plain, {W("x"), D(";."), W("y")}},
        {"x!?,q", Mode::Normalising, {W("x"), QR("?"), W("q")}},
    });
}

TEST(Tokenizer, PunctuationMerging) {
    check({
        // A question mark absorbs a preceding pause or stop.
        {"a , ?! b", Mode::Plain, {W("a"), Q("?!"), W("b")}},
        {"a . ? b", Mode::Both, {W("a"), Q("?"), W("b")}},
        {"a ... ?", Mode::Normalising, {W("a"), Q("?")}},
        // A stop absorbs a preceding pause.
        {"a ,, !! b", Mode::Plain, {W("a"), D("!!"), W("b")}},
        {"a , . b", Mode::Normalising, {W("a"), D("."), W("b")}},
        // After a question, punctuation is dropped.
        {"a? . , ? b", Mode::Both, {W("a"), QR("?"), W("b")}},
        {"a , ? . ? b", Mode::Both, {W("a"), Q("?"), W("b")}},
        // After a stop, pauses and stops are dropped.
        {"a . , . b", Mode::Both, {W("a"), D("."), W("b")}},
        // Repeated separated commas or stops are dropped.
        {"a , , ; b", Mode::Plain, {W("a"), P(","), W("b")}},
        {"a . ! . b", Mode::Plain, {W("a"), D("."), W("b")}},
        // Any other token ends the merging.
        {"a . # . b", Mode::Both, {W("a"), D("."), S("#"), D("."), W("b")}},
        {"a ? 1 ?", Mode::Both, {W("a"), QR("?"), N("1"), QR("?")}},
    });
}

TEST(Tokenizer, RepeatSuppressionDecays) {
    const std::string burst = repeatWords("ha", 8);
    check({
        {repeatWords("ha", 6), Mode::Both, times(W("ha"), 6)},
        {repeatWords("#", 9), Mode::Both, times(S("#"), 6)},
        {repeatWords("7", 7), Mode::Both, times(N("7"), 6)},
        // Without a burst, a word may come twice.
        {"x x", Mode::Both, {W("x"), W("x")}},
        // The counter decays by one per different token, so right after a burst the second x is
        // already too many ...
        {burst + " x x", Mode::Both, times(W("ha"), 6) + std::vector<Tok>{W("x")}},
        // ... while a few different tokens later it is allowed again.
        {burst + " x z x x", Mode::Both,
         times(W("ha"), 6) + std::vector<Tok>{W("x"), W("z"), W("x"), W("x")}},
        // Texts are compared as typed: alternating case is no repetition ...
        {"ha Ha ha Ha ha Ha ha Ha", Mode::Normalising, times(W("ha"), 8)},
        // ... equal case is.
        {repeatWords("HA", 8), Mode::Normalising, times(W("ha"), 6)},
        {"1 1 1 1 1 1 1 1", Mode::Plain, times(N("1"), 6)},
        // Only repetitions in a row count.
        {"- -1-1-1-1-1-1-1", Mode::Plain,
         std::vector<Tok>{S("-"), S("-"), N("1"), S("-"), N("1"), S("-"), N("1"), S("-"), N("1"),
                          S("-"), N("1"), S("-"), N("1"), S("-"), N("1")}},
    });
}

TEST(Tokenizer, NormalisingLowerCasesBeyondAscii) {
    check({
        {"É", Mode::Plain, {S("É")}},
        {"É", Mode::Normalising, {S("é")}},
        {"Straße", Mode::Normalising, {W("stra"), S("ß"), W("e")}},
        {"ÀΩЖ", Mode::Normalising, {S("à"), S("ω"), S("ж")}},
        {"\xC4\xB0", Mode::Normalising, {S("i")}},             // U+0130 -> i
        {"\xE2\x84\xAA", Mode::Normalising, {S("k")}},         // Kelvin sign -> k
        {"\xC8\xBA", Mode::Normalising, {S("\xE2\xB1\xA5")}},  // U+023A -> U+2C65, longer
        {"HELLO-There", Mode::Normalising, {W("hello-there")}},
        {"中", Mode::Normalising, {S("中")}},
    });
}

TEST(Tokenizer, TextsNeedingNoChangeAreNotCopied) {
    const std::string text = "hello, World caf\xC3\xA9 42?";
    for (Tokenize mode : {Tokenize::Plain, Tokenize::Normalising}) {
        const bool normalising = mode == Tokenize::Normalising;
        const TokenList list = tokenize(text, mode);
        ASSERT_EQ(list.size(), 7u);
        for (std::size_t i : {0u, 3u, 4u, 5u}) {  // hello, caf, é, 42
            EXPECT_GE(list[i].data, text.data()) << i;
            EXPECT_LE(list[i].data + list[i].length, text.data() + text.size()) << i;
        }
        const bool worldInText = list[2].data == text.data() + 7;
        EXPECT_EQ(worldInText, !normalising);  // "World" needs lower-casing
        EXPECT_EQ(list[2].text(), normalising ? "world" : "World");
    }
}

TEST(Tokenizer, MalformedUtf8BytesAreOneByteSymbols) {
    struct Bad {
        const char* kind;
        std::string bytes;
    };
    const std::vector<Bad> bad = {
        {"stray continuation byte", "\x80"},        {"byte never used in UTF-8", "\xFF"},
        {"two-byte overlong", "\xC0\xAF"},          {"three-byte overlong", "\xE0\x80\xAF"},
        {"four-byte overlong", "\xF0\x80\x80\xAF"}, {"surrogate", "\xED\xA0\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80"},     {"lead byte beyond F4", "\xF5\x80\x80\x80"},
        {"truncated three-byte", "\xE2\x82"},       {"truncated four-byte", "\xF0\x9F\x98"},
        {"lead byte then ASCII", "\xC3"},
    };
    for (const Bad& b : bad) {
        std::vector<Tok> symbols;
        for (char c : b.bytes) symbols.push_back(S(std::string(1, c)));
        for (Tokenize mode : {Tokenize::Plain, Tokenize::Normalising}) {
            const bool normalising = mode == Tokenize::Normalising;
            // Followed by normal tokens, in the middle and at the very end of the text.
            const auto expected =
                std::vector<Tok>{W("x")} + symbols + std::vector<Tok>{W("ok"), QR("?")};
            EXPECT_EQ(toks(tokenize("x" + b.bytes + "ok?", mode)), expected) << b.kind;
            EXPECT_EQ(toks(tokenize("Ok " + b.bytes, mode)),
                      std::vector<Tok>{W(normalising ? "ok" : "Ok")} + symbols)
                << b.kind;
        }
    }
    // A valid sequence right after a broken one is read whole.
    check({{"\xE2\xC3\xA9", Mode::Both, {S("\xE2"), S("\xC3\xA9")}},
           {"\xC3\xC3\x89", Mode::Normalising, {S("\xC3"), S("\xC3\xA9")}}});
}

TEST(Tokenizer, LongRunsBecomeSeveralTokens) {
    const std::size_t max = kMaxTokenLength;
    auto pieces = [](std::uint16_t type, const std::string& run) {
        std::vector<Tok> out;
        for (std::size_t at = 0; at < run.size(); at += kMaxTokenLength) {
            out.push_back({type, run.substr(at, kMaxTokenLength)});
        }
        return out;
    };
    const std::string letters(200000, 'a');
    const std::string upper(200000, 'A');
    const std::string digits(70000, '7');
    const std::string dots(70000, '.');
    // Eight pieces with the same text: they are one run, not a repetition.
    const std::string eightPieces(8 * max, 'z');

    check({
        {letters + " b", Mode::Both, pieces(TokenType::Word, letters) + std::vector<Tok>{W("b")}},
        {upper, Mode::Plain, pieces(TokenType::Word, upper)},
        {upper, Mode::Normalising, pieces(TokenType::Word, letters)},
        {digits, Mode::Both, pieces(TokenType::Number, digits)},
        {dots + "x", Mode::Plain, pieces(TokenType::Stop, dots) + std::vector<Tok>{W("x")}},
        {dots + "x", Mode::Normalising, {D("."), W("x")}},
        {eightPieces, Mode::Both, pieces(TokenType::Word, eightPieces)},
        // A question mark replaces the whole long stop run, not just its last piece.
        {"a" + dots + " ?", Mode::Plain, {W("a"), Q("?")}},
        // A long contraction: its first part is cut, the suffix rule still applies.
        {std::string(70000, 'b') + "'s", Mode::Normalising,
         pieces(TokenType::Word, std::string(70000, 'b')) + std::vector<Tok>{W("is")}},
    });
    const std::size_t sizes[] = {max - 1, max, max + 1};
    for (std::size_t n : sizes) {
        const TokenList list = tokenize(std::string(n, 'q'), Tokenize::Plain);
        std::size_t total = 0;
        for (const Token& t : list) total += t.length;
        EXPECT_EQ(total, n);
        EXPECT_EQ(list.size(), n > max ? 2u : 1u);
    }
}

TEST(Tokenizer, TokenListSurvivesMoves) {
    const std::string text = "HELLO WORLD Straße";
    TokenList a = tokenize(text, Tokenize::Normalising);
    TokenList b = std::move(a);
    TokenList c;
    c = std::move(b);
    EXPECT_EQ(toks(c), (std::vector<Tok>{W("hello"), W("world"), W("stra"), S("ß"), W("e")}));
}

TEST(Tokenizer, KeepCopiesTexts) {
    TokenList list;
    std::vector<std::string_view> kept;
    std::vector<std::string> originals;
    for (int i = 0; i < 300; ++i) originals.push_back(std::string(i % 70, char('a' + i % 26)));
    for (const auto& s : originals) kept.push_back(list.keep(s));
    TokenList other;
    const std::string_view late = other.keep("late text");
    list.adoptStorage(std::move(other));
    TokenList moved = std::move(list);
    for (std::size_t i = 0; i < originals.size(); ++i) {
        EXPECT_EQ(kept[i], originals[i]) << i;
        if (!originals[i].empty()) {
            EXPECT_NE(kept[i].data(), originals[i].data());
        }
    }
    EXPECT_EQ(late, "late text");
}

// Into a sink, plain ASCII text takes a way of its own: on random texts of the pieces its rules
// tell apart (words with capitals and hyphens, slang, numbers, punctuation runs, symbols,
// blanks, repeats) and of a few bytes that send a text the general way (an apostrophe, a
// non-ASCII letter, control bytes), it pushes exactly the tokens the list holds.
TEST(Tokenizer, SinkMatchesTheListOnRandomTexts) {
    const std::vector<std::string> pieces = {
        "ha",  "Ha",     "HA", "well-known", "x-", "-",   "u", "U", "r", "im", "dont", "asl", "k",
        "n",   "cannot", "12", "007",        "?",  "!",   ".", ",", ";", "?!", "..",   ",;",  " ",
        " ",   " ",      "\t", "\f",         "(",  "\"",  "#", "$", "~", "@",  "a",    "an",  "The",
        "tHe", "hello",  "'",  "\xc3\xa9",   "\n", "\x7f"};
    std::mt19937 random(2718);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 30);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int k = length(random); k > 0; --k) text += pieces[pick(random)];
        ASSERT_EQ(sunkToks(text), toks(tokenize(text, Tokenize::Normalising))) << Tok{0, text};
    }
}
