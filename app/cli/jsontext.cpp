#include "app/cli/jsontext.h"

#include "engine/enparse/unicode.h"

namespace vebix::cli {

std::string jsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string json = "\"";
    json.reserve(text.size() + 2);
    auto escapeCode = [&](unsigned value) {
        json += "\\u00";
        json += kHex[(value >> 4) & 15];
        json += kHex[value & 15];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '"' || b == '\\') {
            json += '\\';
            json += static_cast<char>(b);
            ++i;
        } else if (b < 0x20) {
            switch (b) {
                case '\n':
                    json += "\\n";
                    break;
                case '\r':
                    json += "\\r";
                    break;
                case '\t':
                    json += "\\t";
                    break;
                default:
                    escapeCode(b);
            }
            ++i;
        } else if (b < 0x80) {
            json += static_cast<char>(b);
            ++i;
        } else {
            std::size_t length = 1;
            if (unicode::decode(text, i, length) == unicode::kInvalid) {
                escapeCode(b);
                ++i;
            } else {
                json.append(text.substr(i, length));
                i += length;
            }
        }
    }
    json += '"';
    return json;
}

}  // namespace vebix::cli
