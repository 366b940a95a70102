// What a line typed at the terminal becomes: bytes through the line editor and its history
// file, chat's own commands, and the JSON the commands print.
#include <gtest/gtest.h>

#include <string>

#include "app/cli/jsontext.h"
#include "app/cli/terminalchat.h"
#include "app/cli/typedtext.h"

namespace vebix::cli {
namespace {

TEST(TypedText, BytesSurviveTheEditorAndTheHistoryFile) {
    const std::string cases[] = {
        "plain words",
        "caf\xe9 ol\xe9",                  // Latin-1
        "caf\xc3\xa9",                     // UTF-8
        "\xe2\x82",                        // a sequence cut short
        "\xc0\xaf and \xed\xa0\x80",       // overlong and surrogate forms
        "\xf0\x9f\x98\x80 \xff\xfe",       // four bytes, then bytes no UTF-8 holds
        std::string("tab\tnul\0end", 11),  // controls
        "back\\slash \\040 \\M-x",         // what looks like an escape already
        "",
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes);
        const std::wstring wide = typedtext::toWide(bytes);
        EXPECT_EQ(typedtext::toBytes(wide), bytes);
        const std::string stored = typedtext::escapeHistoryLine(bytes);
        EXPECT_EQ(stored.find_first_of(std::string(" \n\r\0", 4)), std::string::npos) << stored;
        EXPECT_EQ(typedtext::unescapeHistoryLine(stored), bytes);
    }
    // Valid UTF-8 is the editor's own characters; other bytes stand apart from any of them.
    EXPECT_EQ(typedtext::toWide("caf\xc3\xa9"), std::wstring(L"caf\u00e9"));
    EXPECT_EQ(typedtext::toWide("caf\xe9"),
              std::wstring(L"caf") + static_cast<wchar_t>(typedtext::kByteBase + 0xE9));
}

TEST(TypedText, HistoryFilesOfTheOlderFormReadBack) {
    const struct {
        const char* stored;
        std::string bytes;
    } cases[] = {
        {"hello\\040world", "hello world"},
        {"\\M-i", "\xe9"},
        {"\\^A\\^?", "\x01\x7f"},
        {"\\M^A", "\x81"},
        {"a\\\\b", "a\\b"},
        {"trailing\\", "trailing\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(typedtext::unescapeHistoryLine(c.stored), c.bytes) << c.stored;
}

TEST(ChatInput, CommandsAndEscapedSlashes) {
    using Kind = ChatInput::Kind;
    const struct {
        const char* line;
        Kind kind;
        const char* text;
    } cases[] = {
        {"hello", Kind::Say, "hello"},
        {"/help", Kind::Help, ""},
        {"  /SAVE  ", Kind::Save, ""},
        {"/quit", Kind::Quit, ""},
        {"/discard", Kind::Discard, ""},
        {"/info", Kind::Info, ""},
        {"/name  Ann Lee ", Kind::Name, "Ann Lee"},
        {"/name", Kind::Missing, ""},
        {"/nmae x", Kind::Unknown, "/nmae"},
        {"//help", Kind::Say, "/help"},
        {"// two slashes stay one", Kind::Say, "/ two slashes stay one"},
        {"a/b", Kind::Say, "a/b"},
    };
    for (const auto& c : cases) {
        const ChatInput input = readChatInput(c.line);
        EXPECT_EQ(input.kind, c.kind) << c.line;
        EXPECT_EQ(input.text, c.text) << c.line;
    }
}

TEST(JsonText, EscapesWhatJsonMustAndKeepsUtf8) {
    const struct {
        std::string text;
        const char* json;
    } cases[] = {
        {"plain", "\"plain\""},
        {"say \"hi\" \\ bye", "\"say \\\"hi\\\" \\\\ bye\""},
        {"a\tb\nc\rd\x01", "\"a\\tb\\nc\\rd\\u0001\""},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
        {"caf\xe9", "\"caf\\u00e9\""},
        {"", "\"\""},
    };
    for (const auto& c : cases) EXPECT_EQ(jsonString(c.text), c.json) << c.text;
}

}  // namespace
}  // namespace vebix::cli
