#pragma once
// What `vebix irc` is told: from its command line, from a config file with the same keys, or
// both (the command line wins). The file is INI: "key = value" lines, an optional "[irc]"
// section, comments on lines of their own starting with '#' or ';'. Keys that name a list
// (channel, ignore) take several values, on one line separated by commas or blanks or on
// several lines. Passwords are never options: they come from files or the environment, so
// that no listing of processes shows them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vebix::irc {

inline constexpr const char* kPasswordVariable = "VEBIX_IRC_PASSWORD";
inline constexpr const char* kSaslPasswordVariable = "VEBIX_IRC_SASL_PASSWORD";

struct IrcOptions {
    std::string mind;
    std::string server;
    int port = 0;  // 0: 6667, or 6697 with TLS
    bool tls = false;
    bool insecure = false;  // TLS without checking the certificate
    std::string caFile;     // trusted besides the system's authorities
    std::string nick;
    std::vector<std::string> channels;
    std::string passwordFile;
    std::string saslUser;
    std::string saslPasswordFile;
    std::vector<std::string> ignore;
    int chance = 0;  // percent of unaddressed lines answered
    bool noLearn = false;
    bool verbose = false;

    int effectivePort() const { return port != 0 ? port : (tls ? 6697 : 6667); }
};

// The keys of the file, which are the long options' names: mind server port tls insecure
// ca-file nick channel password-file sasl-user sasl-password-file ignore chance no-learn
// verbose.
bool isOptionKey(std::string_view key);

// Sets key to value in options, as the option --key value (or --key for the yes/no keys,
// value "yes") would. A problem is returned as text ("chance must be a whole number from 0 to
// 100"). Lists are added to.
std::optional<std::string> applyOption(IrcOptions& options, std::string_view key,
                                       std::string_view value);

// Reads a config file's text into options. Paths in it are taken from folder (the file's own)
// when relative, and from home when they start with "~/". A problem is returned with its line
// number ("line 4: unknown key 'chanel'").
std::optional<std::string> readConfigText(std::string_view text, const std::string& folder,
                                          const std::string& home, IrcOptions& options);

// Where --config NAME looks: NAME itself when it holds a '/' or ends in ".conf", otherwise
// configFolder/vebix/irc/NAME.conf (configFolder: XDG_CONFIG_HOME, else ~/.config).
std::string configFilePath(const std::string& name, const std::string& configFolder);

// What is missing or does not fit together, or nothing when the bot can start.
std::optional<std::string> checkOptions(const IrcOptions& options);

// A nick and a channel name as a server takes them.
bool isValidNick(std::string_view nick);
bool isValidChannel(std::string_view channel);

// A password from the first line of the file at path (at most 4 KiB read, the line end
// dropped). Throws Error with the system's reason when it cannot be read, or when it is empty.
std::string readSecretFile(const std::string& path);

}  // namespace vebix::irc
