#include "app/irc/ircoptions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "app/irc/ircmessage.h"
#include "engine/base/ascii.h"
#include "engine/base/error.h"
#include "engine/base/lines.h"

namespace vebix::irc {
namespace {

enum class Kind { Text, Path, List, Flag, Number };
struct Key {
    std::string_view name;
    Kind kind;
};
constexpr std::array<Key, 15> kKeys = {{
    {"mind", Kind::Path},
    {"server", Kind::Text},
    {"port", Kind::Number},
    {"tls", Kind::Flag},
    {"insecure", Kind::Flag},
    {"ca-file", Kind::Path},
    {"nick", Kind::Text},
    {"channel", Kind::List},
    {"password-file", Kind::Path},
    {"sasl-user", Kind::Text},
    {"sasl-password-file", Kind::Path},
    {"ignore", Kind::List},
    {"chance", Kind::Number},
    {"no-learn", Kind::Flag},
    {"verbose", Kind::Flag},
}};
constexpr std::size_t kMaxSecretBytes = 4096;

const Key* findKey(std::string_view name) {
    for (const Key& key : kKeys)
        if (key.name == name) return &key;
    return nullptr;
}

std::optional<bool> readFlag(std::string_view value) {
    for (std::string_view yes : {"yes", "true", "on", "1"})
        if (equalsIgnoringAsciiCase(value, yes)) return true;
    for (std::string_view no : {"no", "false", "off", "0"})
        if (equalsIgnoringAsciiCase(value, no)) return false;
    return std::nullopt;
}

std::optional<int> readNumber(std::string_view value, int least, int most) {
    if (value.empty() || value.size() > 6) return std::nullopt;
    int n = 0;
    for (char c : value) {
        if (!isAsciiDigit(c)) return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < least || n > most) return std::nullopt;
    return n;
}

// The items of a list value: separated by commas or blanks.
std::vector<std::string_view> listItems(std::string_view value) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= value.size(); ++i) {
        if (i == value.size() || value[i] == ',' || value[i] == ' ' || value[i] == '\t') {
            if (i > start) items.push_back(value.substr(start, i - start));
            start = i + 1;
        }
    }
    return items;
}

std::string& textField(IrcOptions& o, std::string_view key) {
    if (key == "mind") return o.mind;
    if (key == "server") return o.server;
    if (key == "ca-file") return o.caFile;
    if (key == "nick") return o.nick;
    if (key == "password-file") return o.passwordFile;
    if (key == "sasl-user") return o.saslUser;
    return o.saslPasswordFile;
}

std::string resolvePath(std::string_view value, const std::string& folder,
                        const std::string& home) {
    if (value.starts_with("~/") && !home.empty()) return home + std::string(value.substr(1));
    if (value.starts_with('/') || folder.empty()) return std::string(value);
    return folder + "/" + std::string(value);
}

}  // namespace

bool isOptionKey(std::string_view key) { return findKey(key) != nullptr; }

bool isValidNick(std::string_view nick) {
    if (nick.empty() || nick.size() > 64 || isAsciiDigit(nick.front()) || nick.front() == '-')
        return false;
    for (char c : nick)
        if (!isAsciiAlnum(c) && std::string_view("-_[]{}\\|^`").find(c) == std::string_view::npos)
            return false;
    return true;
}

bool isValidChannel(std::string_view channel) {
    if (channel.size() < 2 || channel.size() > 200 || !isChannelName(channel)) return false;
    for (char c : channel)
        if (asciiByte(c) <= ' ' || c == ',' || c == '\x07' || asciiByte(c) == 0x7F) return false;
    return true;
}

std::optional<std::string> applyOption(IrcOptions& o, std::string_view name,
                                       std::string_view value) {
    const Key* key = findKey(name);
    if (!key) return "unknown key '" + std::string(name) + "'";
    const std::string quoted = std::string("'").append(value).append("'");
    switch (key->kind) {
        case Kind::Text:
        case Kind::Path:
            if (value.empty()) return std::string(name) + " needs a value";
            textField(o, name) = std::string(value);
            return std::nullopt;
        case Kind::Flag: {
            const auto flag = readFlag(value);
            if (!flag) return std::string(name) + " must be yes or no, not " + quoted;
            if (name == "tls")
                o.tls = *flag;
            else if (name == "insecure")
                o.insecure = *flag;
            else if (name == "no-learn")
                o.noLearn = *flag;
            else
                o.verbose = *flag;
            return std::nullopt;
        }
        case Kind::Number:
            if (name == "port") {
                const auto port = readNumber(value, 1, 65535);
                if (!port) return "port must be a number from 1 to 65535, not " + quoted;
                o.port = *port;
            } else {
                const auto chance = readNumber(value, 0, 100);
                if (!chance) return "chance must be a whole number from 0 to 100, not " + quoted;
                o.chance = *chance;
            }
            return std::nullopt;
        case Kind::List: {
            const std::vector<std::string_view> items = listItems(value);
            if (items.empty()) return std::string(name) + " needs a value";
            for (std::string_view item : items) {
                if (name == "channel") {
                    if (!isValidChannel(item))
                        return std::string("'").append(item).append(
                            "' is not a channel name (it starts with '#' and holds no blank "
                            "or comma)");
                    o.channels.emplace_back(item);
                } else {
                    o.ignore.emplace_back(item);
                }
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::string> readConfigText(std::string_view text, const std::string& folder,
                                          const std::string& home, IrcOptions& options) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    LineSplitter lines(text);
    std::string_view line;
    for (int number = 1; lines.next(line); ++number) {
        const std::string at = "line " + std::to_string(number) + ": ";
        line = trimAsciiSpace(line);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line != "[irc]") return at + "unknown section " + std::string(line);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return at + "not a 'key = value' line";
        const std::string_view key = trimAsciiSpace(line.substr(0, eq));
        std::string_view value = trimAsciiSpace(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        const Key* known = findKey(key);
        std::string resolved(value);
        if (known && known->kind == Kind::Path && !value.empty())
            resolved = resolvePath(value, folder, home);
        if (auto problem = applyOption(options, key, resolved)) return at + *problem;
    }
    return std::nullopt;
}

std::string configFilePath(const std::string& name, const std::string& configFolder) {
    if (name.find('/') != std::string::npos || name.ends_with(".conf")) return name;
    return configFolder + "/vebix/irc/" + name + ".conf";
}

std::optional<std::string> checkOptions(const IrcOptions& o) {
    if (o.mind.empty()) return "no mind given";
    if (o.server.empty()) return "no server given (--server HOST)";
    if (o.nick.empty()) return "no nick given (--nick NICK)";
    if (!isValidNick(o.nick))
        return "'" + o.nick + "' is not a nick (letters, digits and -_[]{}\\|^` only)";
    if (o.channels.empty()) return "no channel given (--channel '#room')";
    for (const std::string& nick : o.ignore)
        if (!isValidNick(nick)) return "'" + nick + "' is not a nick to ignore";
    if (o.insecure && !o.tls) return "--insecure is for TLS only (--tls)";
    if (!o.caFile.empty() && !o.tls) return "--ca-file is for TLS only (--tls)";
    if (!o.saslPasswordFile.empty() && o.saslUser.empty())
        return "--sasl-password-file needs --sasl-user";
    return std::nullopt;
}

std::string readSecretFile(const std::string& path) {
    const std::string what = "Unable to read the password file '" + path + "'";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) throw systemError(what, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        throw systemError(what, err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Error(what + ": not a file");
    }
    std::string bytes(kMaxSecretBytes, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            throw systemError(what, err);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    const std::string secret(bytes.substr(0, bytes.find_first_of("\r\n")));
    if (secret.empty()) throw Error(what + ": it is empty");
    return secret;
}

}  // namespace vebix::irc
