#include "app/cli/typedtext.h"

#include "engine/enparse/unicode.h"

namespace vebix::cli::typedtext {

std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

wchar_t decodeOne(std::string_view bytes, std::size_t& used) {
    const auto lead = static_cast<unsigned char>(bytes.front());
    used = 1;
    if (lead < 0x80) return static_cast<wchar_t>(lead);
    const char32_t cp = unicode::decode(bytes, 0, used);
    if (cp == unicode::kInvalid) {
        used = 1;
        return static_cast<wchar_t>(kByteBase + lead);
    }
    return static_cast<wchar_t>(cp);
}

std::wstring toWide(std::string_view bytes) {
    std::wstring wide;
    wide.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t used = 1;
        wide += decodeOne(bytes.substr(i), used);
        i += used;
    }
    return wide;
}

std::string toBytes(const wchar_t* text, std::size_t length) {
    std::string bytes;
    bytes.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<char32_t>(text[i]);
        if (c >= kByteBase + 0x80 && c <= kByteBase + 0xFF) {
            bytes += static_cast<char>(c - kByteBase);
        } else if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF)) {
            unicode::encode(c, bytes);
        }
        // Anything else cannot have been typed (it has no bytes) and is left out.
    }
    return bytes;
}

std::string escapeHistoryLine(std::string_view bytes) {
    std::string line;
    line.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\\') {
            line += "\\\\";
        } else if (b > 0x20 && b < 0x7F) {
            line += ch;
        } else {
            line += '\\';
            line += static_cast<char>('0' + ((b >> 6) & 7));
            line += static_cast<char>('0' + ((b >> 3) & 7));
            line += static_cast<char>('0' + (b & 7));
        }
    }
    return line;
}

std::string unescapeHistoryLine(std::string_view line) {
    auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string bytes;
    bytes.reserve(line.size());
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] != '\\' || i + 1 >= line.size()) {
            bytes += line[i++];
            continue;
        }
        const std::string_view rest = line.substr(i + 1);
        if (rest.size() >= 3 && isOctal(rest[0]) && isOctal(rest[1]) && isOctal(rest[2])) {
            bytes += static_cast<char>(((rest[0] - '0') << 6) | ((rest[1] - '0') << 3) |
                                       (rest[2] - '0'));
            i += 4;
            continue;
        }
        unsigned meta = 0;
        std::size_t at = 0;
        if (rest.size() >= 3 && rest[0] == 'M' && (rest[1] == '-' || rest[1] == '^')) {
            meta = 0x80;
            at = rest[1] == '-' ? 2 : 1;  // "\M^x" is a meta control character
        }
        if (at == 1 || (at == 0 && rest.size() >= 2 && rest[0] == '^')) {
            const std::size_t pos = at == 1 ? 2 : 1;
            if (pos < rest.size()) {
                const char c = rest[pos];
                const unsigned value = c == '?' ? 0x7F : (static_cast<unsigned char>(c) & 0x1F);
                bytes += static_cast<char>(meta | value);
                i += 1 + pos + 1;
                continue;
            }
        }
        if (at == 2) {
            bytes += static_cast<char>(meta | static_cast<unsigned char>(rest[2]));
            i += 4;
            continue;
        }
        // "\\" and any other escaped character stand for themselves; "\s" for a blank.
        bytes += rest[0] == 's' ? ' ' : rest[0];
        i += 2;
    }
    return bytes;
}

}  // namespace vebix::cli::typedtext
