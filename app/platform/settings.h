#pragma once
// The program's settings store: per-user values, organised like a registry key with subkeys.
//
// Backed by QSettings in native format, user scope, organisation "Vebix" (on Linux the file
// ~/.config/Vebix.conf). The top-level values live at the root; a subkey ("UserNames",
// "LinkBotList") is a group. Value and group names may hold any character, "/", "\" and "%"
// included, and come back exactly as written. A DWORD value that does not read as a decimal
// number from 0 to 4294967295 counts as missing.
//
// Each Settings object opens the store for one operation; writes reach the file when the object
// is synced or destroyed.

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QSettings;

namespace vebix {

class Settings {
public:
    enum class Kind { String, Dword };

    // The values the program knows by name.
    enum class Key { LastMindFile, LastUserName, Delay };
    struct KeyInfo {
        Key key;
        std::string_view group;  // empty: the top level
        std::string_view name;
        Kind kind;
        std::string_view defaultString;  // used when a String value is missing
        std::uint32_t defaultDword;      // used when a Dword value is missing
    };
    static const KeyInfo& info(Key key);

    // Subkeys of the program's settings.
    static constexpr std::string_view kUserNamesGroup = "UserNames";
    static constexpr std::string_view kLinkBotListGroup = "LinkBotList";

    // The user's settings: "Vebix.conf" in the user's configuration folder (XDG_CONFIG_HOME,
    // or the folder set with QSettings::setPath for the native format and user scope).
    Settings();
    // A settings file of its own, in the same format.
    explicit Settings(const QString& filePath);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // ---- the named values --------------------------------------------------------------------
    // The stored value, or nullopt when it is missing or not of the key's kind.
    std::optional<std::string> findString(Key key) const;
    std::optional<std::uint32_t> findDword(Key key) const;
    // The stored value, or the key's default.
    std::string getString(Key key) const;
    std::uint32_t getDword(Key key) const;
    void setString(Key key, std::string_view value);
    void setDword(Key key, std::uint32_t value);

    // ---- any value ---------------------------------------------------------------------------
    // Names and values are written no longer than kMaxStoredBytes (a longer one is cut before
    // a character that would not fit): names and texts that come from other bots must not make
    // the file, which every start reads, grow without end. Longer names are cut on reading too,
    // so that they find what was written. No path of the system is longer.
    static constexpr std::size_t kMaxStoredBytes = 4096;
    static std::string_view capped(std::string_view text);
    std::optional<std::string> readString(std::string_view group, std::string_view name) const;
    std::optional<std::uint32_t> readDword(std::string_view group, std::string_view name) const;
    void writeString(std::string_view group, std::string_view name, std::string_view value);
    void writeDword(std::string_view group, std::string_view name, std::uint32_t value);
    void removeValue(std::string_view group, std::string_view name);
    // The names of the values in a group, as written.
    std::vector<std::string> valueNames(std::string_view group) const;

    // Writes pending changes to the file. Throws Error("Unable to save the settings") when the
    // file cannot be written.
    void sync();

    // The file behind this object.
    QString filePath() const;

    // The escaping that keeps names whole: "%" -> "%25", "/" -> "%2F", "\" -> "%5C"; the empty
    // name is "%".
    static QString encodeName(std::string_view name);
    static std::string decodeName(const QString& stored);

private:
    QString keyPath(std::string_view group, std::string_view name) const;
    std::unique_ptr<QSettings> store_;
};

}  // namespace vebix
