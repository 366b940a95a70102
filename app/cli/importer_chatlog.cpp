#include "app/cli/importer_chatlog.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "engine/base/ascii.h"
#include "engine/base/lines.h"

namespace vebix::cli {
namespace {

constexpr std::string_view kLeftToRightMark = "\xE2\x80\x8E";
constexpr std::string_view kNarrowNoBreakSpace = "\xE2\x80\xAF";
constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

// How many ASCII digits start s at pos, when that is from least to most; else 0.
std::size_t digitRun(std::string_view s, std::size_t pos, std::size_t least, std::size_t most) {
    std::size_t n = 0;
    while (pos + n < s.size() && n <= most && isAsciiDigit(s[pos + n])) ++n;
    return n >= least && n <= most ? n : 0;
}

// "H:MM", "HH:MM" or "HH:MM:SS" at pos: the position after it, or nothing.
std::optional<std::size_t> clockTime(std::string_view s, std::size_t pos) {
    const std::size_t h = digitRun(s, pos, 1, 2);
    if (h == 0 || pos + h >= s.size() || s[pos + h] != ':') return std::nullopt;
    pos += h + 1;
    if (digitRun(s, pos, 2, 2) == 0) return std::nullopt;
    pos += 2;
    if (pos + 2 < s.size() && s[pos] == ':' && digitRun(s, pos + 1, 2, 2) != 0) pos += 3;
    return pos;
}

bool skip(std::string_view s, std::size_t& pos, std::string_view what) {
    if (s.substr(pos).starts_with(what)) {
        pos += what.size();
        return true;
    }
    return false;
}

// A nick without the channel-mode sign a client shows before it.
std::string_view bareNick(std::string_view nick) {
    while (!nick.empty() &&
           std::string_view("@+%&~! ").find(nick.front()) != std::string_view::npos)
        nick.remove_prefix(1);
    return nick;
}

// An action "nick does something": the whole text, and its first word as the speaker.
void action(std::string_view text, ChatLogSink& sink) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    const std::string_view nick = text.substr(0, text.find(' '));
    if (nick.empty()) {
        sink.unreadable();
        return;
    }
    sink.said(nick, text);
}

// "<nick> text" (the nick possibly with a mode sign or a blank first): said, or false.
bool tagged(std::string_view rest, ChatLogSink& sink) {
    if (rest.size() < 3 || rest.front() != '<') return false;
    const std::size_t close = rest.find('>');
    if (close == std::string_view::npos) return false;
    const std::string_view nick = bareNick(rest.substr(1, close - 1));
    if (nick.empty()) return false;
    std::string_view text = rest.substr(close + 1);
    if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    sink.said(nick, text);
    return true;
}

// ---- irssi ----------------------------------------------------------------------------------

std::optional<std::size_t> irssiTime(std::string_view line) {
    const auto end = clockTime(line, 0);
    if (!end || *end >= line.size() || line[*end] != ' ') return std::nullopt;
    return *end + 1;
}

bool isIrssiLine(std::string_view line) {
    if (line.starts_with("--- Log opened") || line.starts_with("--- Log closed") ||
        line.starts_with("--- Day changed"))
        return true;
    const auto at = irssiTime(line);
    if (!at) return false;
    const std::string_view rest = line.substr(*at);
    return rest.starts_with("<") || rest.starts_with("-!- ") || rest.starts_with(" * ");
}

void readIrssiLine(std::string_view line, ChatLogSink& sink) {
    if (line.starts_with("--- Log opened") || line.starts_with("--- Day changed")) {
        sink.newConversation();
        return;
    }
    if (line.starts_with("--- ")) {
        sink.event();
        return;
    }
    const auto at = irssiTime(line);
    if (!at) {
        sink.unreadable();
        return;
    }
    const std::string_view rest = line.substr(*at);
    if (tagged(rest, sink)) return;
    if (rest.starts_with(" * ") || rest.starts_with("* ")) {
        action(rest.substr(rest.find('*') + 1), sink);
        return;
    }
    // "-!- ann has joined", notices "-ann(a@h)- text", and the rest of what clients log.
    sink.event();
}

// ---- WeeChat ----------------------------------------------------------------------------------

// "YYYY-MM-DD HH:MM:SS<TAB>": the date, or nothing.
std::optional<std::string_view> weechatDate(std::string_view line) {
    if (line.size() < 20 || digitRun(line, 0, 4, 4) == 0 || line[4] != '-' ||
        digitRun(line, 5, 2, 2) == 0 || line[7] != '-' || digitRun(line, 8, 2, 2) == 0 ||
        line[10] != ' ')
        return std::nullopt;
    const auto end = clockTime(line, 11);
    if (!end || *end != 19 || line[19] != '\t') return std::nullopt;
    return line.substr(0, 10);
}

void readWeechatLine(std::string_view line, std::string& day, ChatLogSink& sink) {
    const auto date = weechatDate(line);
    const std::size_t tab = date ? line.find('\t', 20) : std::string_view::npos;
    if (tab == std::string_view::npos) {
        sink.unreadable();
        return;
    }
    if (*date != day) {
        day = std::string(*date);
        sink.newConversation();
    }
    const std::string_view prefix = line.substr(20, tab - 20);
    const std::string_view text = line.substr(tab + 1);
    if (prefix == " *" || prefix == "*") {
        action(text, sink);
        return;
    }
    const std::string_view nick = bareNick(prefix);
    // "-->" joins, "<--" parts and quits, "--" the network's notes, "=!=" errors.
    if (nick.empty() || nick == "-->" || nick == "<--" || nick == "--" || nick == "=!=") {
        sink.event();
        return;
    }
    sink.said(nick, text);
}

// ---- ZNC ----------------------------------------------------------------------------------

std::optional<std::size_t> zncTime(std::string_view line) {
    if (line.empty() || line.front() != '[') return std::nullopt;
    const auto end = clockTime(line, 1);
    if (!end || line.substr(*end).substr(0, 2) != "] ") return std::nullopt;
    return *end + 2;
}

void readZncLine(std::string_view line, ChatLogSink& sink) {
    const auto at = zncTime(line);
    if (!at) {
        sink.unreadable();
        return;
    }
    const std::string_view rest = line.substr(*at);
    if (tagged(rest, sink)) return;
    if (rest.starts_with("* ")) {
        action(rest.substr(2), sink);
        return;
    }
    // "*** Joins: ...", "*** Parts: ...", "*** ann sets mode: ...", notices "-ann- text".
    sink.event();
}

// ---- WhatsApp ----------------------------------------------------------------------------

struct WhatsappHeader {
    std::string_view date;
    std::size_t rest;  // where "Name: text" starts
};

// "31/12/2023, 22:15 - " or "[31.12.23, 10:15:30 PM] ", as exports of different systems and
// languages write them.
std::optional<WhatsappHeader> whatsappHeader(std::string_view line) {
    std::size_t pos = 0;
    skip(line, pos, kLeftToRightMark);
    const bool bracket = skip(line, pos, "[");
    const std::size_t dateStart = pos;
    const std::size_t a = digitRun(line, pos, 1, 4);
    if (a == 0 || pos + a >= line.size()) return std::nullopt;
    const char sep = line[pos + a];
    if (sep != '/' && sep != '.' && sep != '-') return std::nullopt;
    pos += a + 1;
    const std::size_t b = digitRun(line, pos, 1, 2);
    if (b == 0 || pos + b >= line.size() || line[pos + b] != sep) return std::nullopt;
    pos += b + 1;
    const std::size_t c = digitRun(line, pos, 2, 4);
    if (c == 0) return std::nullopt;
    pos += c;
    const std::string_view date = line.substr(dateStart, pos - dateStart);
    skip(line, pos, ",");
    if (!skip(line, pos, " ")) return std::nullopt;
    const auto time = clockTime(line, pos);
    if (!time) return std::nullopt;
    pos = *time;
    // "10:15 PM", "10:15\u202Fpm", "10:15 a. m."
    std::size_t meridiem = pos;
    if (skip(line, meridiem, " ") || skip(line, meridiem, kNarrowNoBreakSpace) ||
        skip(line, meridiem, kNoBreakSpace)) {
        if (meridiem < line.size() &&
            std::string_view("AaPp").find(line[meridiem]) != std::string_view::npos) {
            ++meridiem;
            skip(line, meridiem, ".");
            skip(line, meridiem, " ");
            if (meridiem < line.size() && (line[meridiem] | 0x20) == 'm') {
                ++meridiem;
                skip(line, meridiem, ".");
                pos = meridiem;
            }
        }
    }
    if (bracket ? !skip(line, pos, "] ") : !skip(line, pos, " - ")) return std::nullopt;
    return WhatsappHeader{date, pos};
}

// Whether text stands for something left out of the export (a picture, a deleted message) or
// is a note of the app's own, which some exports mark with a left-to-right mark.
bool leftOut(std::string_view text) {
    return text == "<Media omitted>" || text == "This message was deleted" ||
           text == "You deleted this message" || text.starts_with(kLeftToRightMark);
}

void readWhatsapp(std::string_view text, ChatLogSink& sink) {
    LineSplitter lines(text);
    std::string_view line;
    std::string day;
    bool inMessage = false;  // further lines go on with the last message
    while (lines.next(line)) {
        const auto header = whatsappHeader(line);
        if (!header) {
            if (inMessage && !trimAsciiSpace(line).empty()) sink.continued(line);
            continue;
        }
        if (header->date != day) {
            day = std::string(header->date);
            sink.newConversation();
        }
        const std::string_view rest = line.substr(header->rest);
        const std::size_t colon = rest.find(": ");
        inMessage = false;
        if (colon == std::string_view::npos) {
            sink.event();  // "Ann joined using this group's invite link", the encryption note
            continue;
        }
        std::string_view speaker = rest.substr(0, colon);
        std::size_t from = 0;
        while (skip(speaker, from, kLeftToRightMark) || skip(speaker, from, "~") ||
               skip(speaker, from, kNarrowNoBreakSpace) || skip(speaker, from, " ")) {
        }
        speaker.remove_prefix(from);
        const std::string_view said = rest.substr(colon + 2);
        if (speaker.empty()) {
            sink.unreadable();
        } else if (leftOut(trimAsciiSpace(said))) {
            sink.event();
        } else {
            sink.said(speaker, said);
            inMessage = true;
        }
    }
}

// ---- Telegram ----------------------------------------------------------------------------

QString messageText(const QJsonValue& text) {
    if (text.isString()) return text.toString();
    QString joined;
    // Formatted text is a list of plain strings and pieces such as {"type": "bold", "text": ..}.
    for (const QJsonValue& part : text.toArray())
        joined += part.isString() ? part.toString()
                                  : part.toObject().value(QStringLiteral("text")).toString();
    return joined;
}

void readTelegramChat(const QJsonObject& chat, ChatLogSink& sink) {
    sink.newConversation();
    QString day;
    for (const QJsonValue& value : chat.value(QStringLiteral("messages")).toArray()) {
        const QJsonObject message = value.toObject();
        if (message.value(QStringLiteral("type")).toString() != QLatin1String("message")) {
            sink.event();  // someone joined, the title changed, a call
            continue;
        }
        const QString date = message.value(QStringLiteral("date")).toString().left(10);
        if (date != day) {
            day = date;
            sink.newConversation();
        }
        const QString from = message.value(QStringLiteral("from")).toString();
        if (from.trimmed().isEmpty()) {
            sink.unreadable();  // a deleted account
            continue;
        }
        const std::string speaker = from.toStdString();
        std::string both =
            speaker + ' ' + messageText(message.value(QStringLiteral("text"))).toStdString();
        const std::string_view kept = sink.keep(std::move(both));
        sink.said(kept.substr(0, speaker.size()), kept.substr(speaker.size() + 1));
    }
}

std::optional<std::string> readTelegram(std::string_view text, ChatLogSink& sink) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())), &error);
    if (error.error != QJsonParseError::NoError)
        return "not a Telegram export (" + error.errorString().toStdString() + " at offset " +
               std::to_string(error.offset) + ")";
    const QJsonObject root = doc.object();
    // An export of all chats lists them; an export of one chat is that chat.
    if (root.contains(QStringLiteral("chats"))) {
        for (const QString& list : {QStringLiteral("chats"), QStringLiteral("left_chats")})
            for (const QJsonValue& chat :
                 root.value(list).toObject().value(QStringLiteral("list")).toArray())
                readTelegramChat(chat.toObject(), sink);
        return std::nullopt;
    }
    if (!root.value(QStringLiteral("messages")).isArray())
        return "not a Telegram export (no messages in it)";
    readTelegramChat(root, sink);
    return std::nullopt;
}

template <typename ReadLine>
void readLines(std::string_view text, ReadLine readLine) {
    LineSplitter lines(text);
    std::string_view line;
    while (lines.next(line))
        if (!trimAsciiSpace(line).empty()) readLine(line);
}

}  // namespace

std::optional<InputFormat> detectChatLog(std::string_view text) {
    text = text.substr(0, kSampleBytes);
    const std::string_view start = trimAsciiSpaceLeft(text);
    if (start.starts_with("{") && text.find("\"messages\"") != std::string_view::npos)
        return InputFormat::Telegram;
    std::size_t lines = 0, irssi = 0, weechat = 0, znc = 0, whatsapp = 0;
    readLines(text, [&](std::string_view line) {
        ++lines;
        irssi += isIrssiLine(line);
        weechat += weechatDate(line).has_value();
        znc += zncTime(line).has_value();
        whatsapp += whatsappHeader(line).has_value();
    });
    if (weechat * 2 > lines) return InputFormat::Weechat;
    if (znc * 2 > lines) return InputFormat::Znc;
    if (irssi * 2 > lines) return InputFormat::Irssi;
    if (whatsapp * 3 > lines) return InputFormat::Whatsapp;
    return std::nullopt;
}

std::optional<std::string> readChatLog(InputFormat format, std::string_view text,
                                       ChatLogSink& sink) {
    switch (format) {
        case InputFormat::Irssi:
            readLines(text, [&](std::string_view line) { readIrssiLine(line, sink); });
            break;
        case InputFormat::Weechat: {
            std::string day;
            readLines(text, [&](std::string_view line) { readWeechatLine(line, day, sink); });
            break;
        }
        case InputFormat::Znc:
            readLines(text, [&](std::string_view line) { readZncLine(line, sink); });
            break;
        case InputFormat::Whatsapp:
            readWhatsapp(text, sink);
            break;
        case InputFormat::Telegram:
            return readTelegram(text, sink);
        default:
            break;
    }
    return std::nullopt;
}

}  // namespace vebix::cli
