#include "engine/enparse/tokenizer.h"

#include <algorithm>
#include <string>

#include "engine/base/ascii.h"
#include "engine/enparse/slang.h"
#include "engine/enparse/tokenizer_internal.h"
#include "engine/enparse/unicode.h"

// Long tokens. A token records its length in 16 bits. The only runs that can grow past
// kMaxTokenLength bytes are runs of ASCII letters, hyphens and apostrophes (words), of ASCII
// digits (numbers) and of ASCII punctuation (plain-mode punctuation texts); every other token is
// one code point. Such a run is emitted as several consecutive tokens of the same type, each at
// most kMaxTokenLength bytes: nothing of the text is lost, no token claims a wrong length, and
// since the run is ASCII every cut falls between characters. The pieces count as one token for
// the noise rules: the run is compared once for repeat suppression, and a later question mark
// or full stop that replaces it replaces all of its pieces.

namespace vebix {

namespace {

constexpr std::string_view kQuestionText = "?";
constexpr std::string_view kStopText = ".";
constexpr std::string_view kPauseText = ",";

// Of a token repeated in a row, at most this many copies reach the result.
constexpr unsigned kMaxRepeats = 5;

// Walks the text one code point at a time. A NUL character reads as the end of the text; a
// byte that does not start a valid UTF-8 sequence reads as unicode::kInvalid and is one byte
// long, so it can never stop the scan.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    std::size_t pos() const { return pos_; }
    std::string_view text() const { return text_; }
    // Moves to a later position found by reading the text directly (runs of ASCII bytes).
    void moveTo(std::size_t pos) { back_ = pos_ = pos; }
    std::string_view from(std::size_t start) const { return text_.substr(start, pos_ - start); }

    // The code point at the position, without moving; 0 at the end.
    char32_t peek() const {
        std::size_t len;
        return at(pos_, len);
    }
    // The code point at the position, moving past it; 0 at the end, without moving.
    char32_t next() {
        back_ = pos_;
        std::size_t len;
        const char32_t c = at(pos_, len);
        pos_ += len;
        return c;
    }
    // Undoes the last next.
    void back() { pos_ = back_; }

private:
    char32_t at(std::size_t pos, std::size_t& len) const {
        if (pos >= text_.size()) {
            len = 0;
            return 0;
        }
        const auto b = static_cast<unsigned char>(text_[pos]);
        if (b < 0x80) {
            len = b != 0;
            return b;
        }
        return unicode::decode(text_, pos, len);
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t back_ = 0;
};

// The text lower-cased code point by code point into out; false (out untouched) when nothing
// changes.
bool lowerAnyInto(std::string_view text, std::string& out) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (isAsciiUpper(text[i])) break;
        if (b >= 0x80) {
            std::size_t len;
            const char32_t c = unicode::decode(text, i, len);
            if (c != unicode::kInvalid && unicode::toLower(c) != c) break;
            i += len - 1;
        }
    }
    if (i == text.size()) return false;

    out.assign(text.substr(0, i));
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out.push_back(asciiLower(text[i]));
            ++i;
            continue;
        }
        std::size_t len;
        const char32_t c = unicode::decode(text, i, len);
        if (c == unicode::kInvalid) {
            out.push_back(static_cast<char>(b));
        } else {
            unicode::encode(unicode::toLower(c), out);
        }
        i += len;
    }
    return true;
}

// lowerAnyInto, with the common case (ASCII without a capital) told at once.
inline bool lowerInto(std::string_view text, std::string& out) {
    for (const char c : text)
        if (isAsciiUpper(c) || static_cast<unsigned char>(c) >= 0x80)
            return lowerAnyInto(text, out);
    return false;
}

// Where the tokenizer puts its tokens: a list that keeps them (and the lower-cased texts it
// had to make), or a sink that takes each one as it comes.
class ListOutput {
public:
    // Appends a token of text, lower-cased first when lower is set; the text must be at most
    // kMaxTokenLength bytes.
    void push(std::string_view text, std::uint16_t type, bool lower) {
        if (lower && lowerInto(text, scratch_)) text = list_.keep(scratch_);
        Token t;
        t.type = type;
        t.setText(text);
        list_.push_back(t);
    }
    // The same for a text of any length, which may become several tokens (see
    // detail::appendPieces); how many.
    std::size_t pushPieces(std::string_view text, std::uint16_t type, bool lower) {
        if (lower && lowerInto(text, scratch_)) text = list_.keep(scratch_);
        return detail::appendPieces(list_, text, type);
    }
    void pop() { list_.pop_back(); }
    // The tokens of parts, appended before, may point into its kept texts.
    void keepTexts(TokenList&& parts) { list_.adoptStorage(std::move(parts)); }
    TokenList take() { return std::move(list_); }

private:
    TokenList list_;
    std::string scratch_;
};

class SinkOutput {
public:
    explicit SinkOutput(TokenSink& sink) : sink_(sink) {}
    void push(std::string_view text, std::uint16_t type, bool lower) {
        if (lower && lowerInto(text, scratch_)) text = scratch_;
        sink_.push(type, text);
    }
    std::size_t pushPieces(std::string_view text, std::uint16_t type, bool lower) {
        if (lower && lowerInto(text, scratch_)) text = scratch_;
        std::size_t pieces = 0;
        for (; !text.empty(); ++pieces) {
            const std::size_t n = std::min(text.size(), kMaxTokenLength);
            sink_.push(type, text.substr(0, n));
            text.remove_prefix(n);
        }
        return pieces;
    }
    void pop() { sink_.pop(); }
    void keepTexts(TokenList&&) {}  // the sink has taken every text already

private:
    TokenSink& sink_;
    std::string scratch_;
};

template <typename Output>
class Tokenizer {
public:
    // Slang::Keep leaves slang words and contractions as they are (normalising mode only).
    enum class Slang { Expand, Keep };

    Tokenizer(std::string_view text, Tokenize mode, Slang slang, Output& out)
        : scan_(text),
          normalising_(mode == Tokenize::Normalising),
          expand_(slang == Slang::Expand),
          out_(out) {}

    void run() {
        for (;;) {
            start_ = scan_.pos();
            const char32_t ch = scan_.peek();
            switch (ch) {
                case 0:
                    return;
                case ' ':
                case '\t':
                case '\f':
                case 0xA0:  // no-break space
                    scan_.next();
                    continue;
                case '?':
                case '.':
                case '!':
                case ',':
                case ';':
                    punctuationRun();
                    continue;
                default:
                    break;
            }
            if (isAsciiLetter(ch)) {
                word();
            } else if (isAsciiDigit(ch)) {
                number();
            } else {
                scan_.next();
                emit(scan_.from(start_), TokenType::Symbol);
            }
        }
    }

private:
    // A run of ? . ! , ; forms one token of the strongest kind met: question over stop over
    // pause.
    void punctuationRun() {
        std::uint16_t kind = 0;
        for (;;) {
            const char32_t c = scan_.next();
            if (c == '?') {
                kind = TokenType::QuestionRun;
            } else if (c == '.' || c == '!') {
                if (kind != TokenType::QuestionRun) kind = TokenType::Stop;
            } else if (c == ',' || c == ';') {
                if (kind == 0) kind = TokenType::Pause;
            } else {
                scan_.back();
                break;
            }
        }
        if (!normalising_) {
            emit(scan_.from(start_), kind);
        } else if (kind == TokenType::QuestionRun) {
            emit(kQuestionText, kind);
        } else {
            emit(kind == TokenType::Stop ? kStopText : kPauseText, kind);
        }
    }

    void word() {
        // Every character that continues a word is one ASCII byte, and every other character
        // (a non-ASCII one included) ends it, so the word is read byte by byte; this is the
        // tokenizer's hottest loop.
        std::size_t apostrophe = std::string_view::npos;
        const std::string_view text = scan_.text();
        std::size_t p = scan_.pos() + 1;  // past the letter the main loop saw
        for (; p < text.size(); ++p) {
            const auto c = static_cast<unsigned char>(text[p]);
            if (isAsciiLetter(text[p]) || c == '-') continue;
            if (c == '\'' && normalising_) {
                apostrophe = p - start_;
                continue;
            }
            break;
        }
        scan_.moveTo(p);
        const std::string_view w = scan_.from(start_);
        if (normalising_) {
            if (expand_) {
                const TokenSeq seq = expandSlang(w);
                if (!seq.empty()) {
                    emitSequence(seq.begin(), seq.end());
                    return;
                }
            }
            if (apostrophe != std::string_view::npos) {
                TokenList parts = splitContraction(apostrophe, w);
                emitSequence(parts.tokens().data(), parts.tokens().data() + parts.size());
                out_.keepTexts(std::move(parts));
                return;
            }
        }
        emit(w, TokenType::Word);
    }

    void number() {
        const std::string_view text = scan_.text();
        std::size_t p = scan_.pos() + 1;
        while (p < text.size() && isAsciiDigit(text[p])) ++p;
        scan_.moveTo(p);
        emit(scan_.from(start_), TokenType::Number);
    }

    // One token through the noise rules: repeat suppression, then punctuation merging.
    void emit(std::string_view text, std::uint16_t type) {
        if (type == lastEmittedType_ && text == lastEmittedText_) {
            if (++repeats_ > kMaxRepeats) return;
        } else {
            lastEmittedType_ = type;
            lastEmittedText_ = text;
            // Decays rather than resets, so that a repetition soon after a burst is cut earlier.
            if (repeats_ > 0) --repeats_;
        }
        if (text.empty()) return;

        constexpr std::uint16_t kPunctuation =
            TokenType::Pause | TokenType::Stop | TokenType::Question;
        if (TokenType::isQuestion(lastType_)) {
            if (type & kPunctuation) return;
        } else if (lastType_ & TokenType::Stop) {
            if (TokenType::isQuestion(type)) return replaceLast(text, TokenType::Question);
            if (type & (TokenType::Pause | TokenType::Stop)) return;
        } else if (lastType_ & TokenType::Pause) {
            if (TokenType::isQuestion(type)) return replaceLast(text, TokenType::Question);
            if (type & TokenType::Stop) return replaceLast(text, TokenType::Stop);
            if (type & TokenType::Pause) return;
        }
        append(text, type);
    }

    void replaceLast(std::string_view text, std::uint16_t type) {
        for (std::size_t i = 0; i < lastPieces_ && count_ > 0; ++i) {
            out_.pop();
            --count_;
        }
        append(text, type);
    }

    void append(std::string_view text, std::uint16_t type) {
        const std::size_t pieces = out_.pushPieces(text, type, normalising_);
        count_ += pieces;
        lastPieces_ = pieces;
        lastType_ = type;
    }

    // A ready-made sequence is appended whole, without the noise rules.
    void emitSequence(const Token* begin, const Token* end) {
        if (begin == end) return;
        for (const Token* t = begin; t != end; ++t) {
            out_.push(t->text(), t->type, normalising_ && t->type == TokenType::Word);
            ++count_;
        }
        lastType_ = (end - 1)->type;
        lastPieces_ = 1;
    }

    Scanner scan_;
    const bool normalising_;
    const bool expand_;
    Output& out_;
    std::size_t count_ = 0;  // tokens in the output
    std::size_t start_ = 0;

    // Repeat suppression: the last token offered and how often it came in a row (decaying).
    std::uint16_t lastEmittedType_ = 0;
    std::string_view lastEmittedText_;
    unsigned repeats_ = 0;

    // The token now at the end of the result: its type and how many records hold it.
    std::uint16_t lastType_ = 0;
    std::size_t lastPieces_ = 0;
};

}  // namespace

TokenList tokenize(std::string_view text, Tokenize mode) {
    ListOutput out;
    Tokenizer<ListOutput>(text, mode, Tokenizer<ListOutput>::Slang::Expand, out).run();
    return out.take();
}

void tokenizeInto(std::string_view text, TokenSink& sink) {
    SinkOutput out(sink);
    Tokenizer<SinkOutput>(text, Tokenize::Normalising, Tokenizer<SinkOutput>::Slang::Expand, out)
        .run();
}

namespace detail {

TokenList tokenizeUnexpanded(std::string_view text) {
    ListOutput out;
    Tokenizer<ListOutput>(text, Tokenize::Normalising, Tokenizer<ListOutput>::Slang::Keep, out)
        .run();
    return out.take();
}

std::size_t appendPieces(TokenList& list, std::string_view text, std::uint16_t type) {
    std::size_t pieces = 0;
    while (!text.empty()) {
        const std::size_t n = std::min(text.size(), kMaxTokenLength);
        Token t;
        t.type = type;
        t.setText(text.substr(0, n));
        list.push_back(t);
        text.remove_prefix(n);
        ++pieces;
    }
    return pieces;
}

}  // namespace detail

}  // namespace vebix
