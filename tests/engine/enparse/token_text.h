#pragma once
// Test helpers: token lists as plain values that compare and print well.

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/enparse/token.h"
#include "engine/enparse/tokenizer.h"

namespace vebix::testing {

struct Tok {
    std::uint16_t type;
    std::string text;
    bool operator==(const Tok&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Tok& t) {
    os << t.type << ":\"";
    for (unsigned char c : t.text) {
        if (c >= 0x20 && c < 0x7F) {
            os << c;
        } else {
            static const char* hex = "0123456789ABCDEF";
            os << "\\x" << hex[c >> 4] << hex[c & 15];
        }
    }
    return os << '"';
}

inline std::vector<Tok> toks(const TokenList& list) {
    std::vector<Tok> out;
    for (const Token& t : list) out.push_back({t.type, std::string(t.text())});
    return out;
}

// The tokens tokenizeInto pushes, less the ones it takes back: what a list would hold.
inline std::vector<Tok> sunkToks(std::string_view text) {
    struct Recorder final : TokenSink {
        std::vector<Tok> out;
        void push(std::uint16_t type, std::string_view t) override {
            out.push_back({type, std::string(t)});
        }
        void pop() override {
            // Only a token that was pushed can be taken back.
            if (out.empty()) throw std::logic_error("pop without a token");
            out.pop_back();
        }
    } recorder;
    tokenizeInto(text, recorder);
    return recorder.out;
}

// Shorthands for expected tokens.
inline Tok W(std::string s) { return {TokenType::Word, std::move(s)}; }
inline Tok N(std::string s) { return {TokenType::Number, std::move(s)}; }
inline Tok S(std::string s) { return {TokenType::Symbol, std::move(s)}; }
inline Tok P(std::string s) { return {TokenType::Pause, std::move(s)}; }
inline Tok D(std::string s) { return {TokenType::Stop, std::move(s)}; }
inline Tok Q(std::string s) { return {TokenType::Question, std::move(s)}; }
inline Tok QR(std::string s) { return {TokenType::QuestionRun, std::move(s)}; }

}  // namespace vebix::testing
