#pragma once
// Reading the chat logs people already have, for the importer (importer.h):
//   irssi     "12:34 <nick> text", "12:34  * nick does", "12:34 -!- ..." events, and
//             "--- Log opened ..." / "--- Day changed ..." lines that start a conversation
//   weechat   "2024-01-02 12:34:56<TAB>nick<TAB>text"; a prefix of "-->", "<--", "--" or
//             "=!=" is an event, " *" an action; each day a conversation
//   znc       "[12:34:56] <nick> text", "[12:34:56] * nick does", "[12:34:56] *** ..." events;
//             one file per channel and day, as the bouncer writes them
//   telegram  a Telegram Desktop JSON export (result.json) of one chat or of all of them; each
//             chat and each day a conversation; service messages are events
//   whatsapp  a WhatsApp text export ("31/12/2023, 22:15 - Ann: text" or
//             "[31/12/2023, 22:15:30] Ann: text"), a message's further lines continuing it;
//             lines without a sender and media left out are events; each day a conversation
// Nicks lose the channel-mode sign a client shows before them ("@ann", "+bob"). An action is
// kept as text, the nick first ("ann waves"), said by that nick.

#include <optional>
#include <string>
#include <string_view>

#include "app/cli/importer.h"

namespace vebix::cli {

// Where a log's lines go.
class ChatLogSink {
public:
    virtual ~ChatLogSink() = default;
    // speaker said text. Both are views into the input, the speaker before the text, or both
    // into one string given back by keep().
    virtual void said(std::string_view speaker, std::string_view text) = 0;
    // The last message goes on with more (a view into the input after it).
    virtual void continued(std::string_view more) = 0;
    // A line nobody said (a join, a mode, a notice), or one the format does not know.
    virtual void event() = 0;
    virtual void unreadable() = 0;
    // A line longer than kMaxLineBytes, or not UTF-8.
    virtual void tooLong() = 0;
    virtual void invalidUtf8() = 0;
    // What follows is another conversation: a new day, chat or channel.
    virtual void newConversation() = 0;
    // Keeps decoded text for as long as the sink's utterances live.
    virtual std::string_view keep(std::string text) = 0;
};

// The chat log text most likely is, from its first kSampleBytes, or nothing: a Telegram export
// when it is a JSON object with messages; otherwise the log whose line form more than half of
// the non-blank lines have (a third for WhatsApp, whose messages may go on over several lines).
std::optional<InputFormat> detectChatLog(std::string_view text);

// Reads text as a log of format into sink. A reason when it cannot be read as such at all (a
// Telegram export that is not JSON).
std::optional<std::string> readChatLog(InputFormat format, std::string_view text,
                                       ChatLogSink& sink);

}  // namespace vebix::cli
