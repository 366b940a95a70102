#pragma once
// Finding the UDLP bots that link mode can talk to: turning a folder into a bot list entry,
// remembering chosen bots in the settings store ("LinkBotList"), and the search of the likely
// places on the disk. Window-independent: the dialog that shows the list builds on BotFinder.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vebix {

// One bot that link mode can talk to. Its icons are the GUI's business: they come from exePath.
struct BotListEntry {
    std::string name;     // the bot's name
    std::string folder;   // the bot's folder, made absolute (as listed, remembered and started)
    std::string exePath;  // full path of the executable that answers for the bot
};

// The list's order: by name ignoring ASCII case, then by folder ignoring ASCII case.
bool botEntryLess(const BotListEntry& a, const BotListEntry& b);
// Two entries are equal when their names are, ignoring ASCII case.
bool botEntryEqual(const BotListEntry& a, const BotListEntry& b);

// ---- remembered bots -----------------------------------------------------------------------------
// The settings value name under which a bot is remembered: the name (white space trimmed) with
// every byte other than ASCII letters, digits, the blank and "{}()_-!" written as "%XX"
// (uppercase hexadecimal), then "." and eight uppercase hexadecimal digits of a hash of the
// name's length and the folder's bytes (ASCII capitals counted as small letters).
// Ann in C:\Bots\Ann -> "Ann.00000868". A name longer than kMaxRememberedNameBytes counts
// with its first bytes only (up to a whole character).
inline constexpr std::size_t kMaxRememberedNameBytes = 255;
std::string linkBotValueName(std::string_view name, std::string_view folder);
// The escaping part of linkBotValueName.
std::string escapeLinkBotName(std::string_view trimmedName);
// Writes (or overwrites) the value named linkBotValueName in the "LinkBotList" group, with the
// folder as its data.
void rememberLinkBot(const BotListEntry& entry);

// ---- where to search -----------------------------------------------------------------------------
// The likely places of bots. Each place that is nullopt, or does not exist, is skipped.
struct BotSearchPlaces {
    BotSearchPlaces() = default;
    BotSearchPlaces(std::optional<std::string> programFiles, std::optional<std::string> root,
                    std::optional<std::string> desktop,
                    std::optional<std::string> userBots = std::nullopt)
        : programFilesFolder(std::move(programFiles)),
          driveRoot(std::move(root)),
          desktopFolder(std::move(desktop)),
          userBotsFolder(std::move(userBots)) {}

    std::optional<std::string> programFilesFolder;  // its entries are examined
    std::optional<std::string> driveRoot;           // itself and its entries
    std::optional<std::string> desktopFolder;       // itself and its entries
    std::optional<std::string> userBotsFolder;      // every folder in it, whatever its name
};
// /opt, the user's home folder, the desktop folder and the per-user bots folder (botfolder.h).
BotSearchPlaces botSearchPlaces();

// A folder met in the search is examined when its full path contains one of these, ignoring
// ASCII case.
inline constexpr std::string_view kKnownBotFolderNames[] = {"kerro", "lumen", "vebixa", "vebix"};
bool namesKnownBotFolder(std::string_view path);

// ---- validating the dialog's answer --------------------------------------------------------------
inline constexpr std::string_view kNoBotLocationMessage = "You must enter a bot location";
inline constexpr std::string_view kNotUdlpFolderMessage =
    "The entered directory does not contain a UDLP-enabled bot";
// The message that refuses the typed folder text, or nullopt when it may be accepted: empty
// (after trimming white space) -> kNoBotLocationMessage; no "UDLP.NFO" in the folder ->
// kNotUdlpFolderMessage, CR LF CR LF and the trimmed folder text.
std::optional<std::string> botFolderProblem(std::string_view folderText);

// ---- the list ------------------------------------------------------------------------------------
class BotFinder {
public:
    // Called once for every entry added to the list.
    using AddedHook = std::function<void(const BotListEntry&)>;
    // Called to let pending window events run during the search; false stops the search.
    using EventPump = std::function<bool()>;

    BotFinder() = default;
    // ownMindPath: the mind loaded on this side (empty: none), whose bot is never listed.
    explicit BotFinder(std::string ownMindPath, AddedHook added = {})
        : ownMindPath_(std::move(ownMindPath)), added_(std::move(added)) {}

    // Turns a folder into a list entry, or nullopt when it holds no bot or holds the own
    // bot (the folder of ownMindPath, or a "UDLPX.NFO" whose mind= is ownMindPath,
    // ignoring ASCII case). A folder already listed (ignoring ASCII case) gives its entry. The
    // bot comes from "UDLP.NFO" of version 2.0 (its folder joined with the executable's name),
    // overridden by a non-empty botName and exePath of "UDLPX.NFO"; both must end non-empty.
    // A new entry is added to the list; Remember::InSettings also writes it into the settings
    // store.
    // Throws Error when an info file cannot be read (a version line that is not a number).
    enum class Remember { InSettings, ForThisSearch };
    std::optional<BotListEntry> botFromFolder(const std::string& folder, Remember remember);

    // The search when the dialog opens: every remembered folder, then the entries of the
    // program files folder, the drive root and its entries, the desktop folder and its entries;
    // an entry is examined when it is a folder whose path names a known bot folder. Last, every
    // folder in the per-user bots folder. pump runs after every examined bot and after every 20
    // entries listed. A folder whose bot files cannot be read, or that cannot be listed, is
    // passed over, so one broken bot on the disk does not end the search; skipped() says which
    // and why. Returns false when pump stopped it.
    bool search(const BotSearchPlaces& places, const EventPump& pump);

    const std::vector<BotListEntry>& entries() const { return entries_; }

    // A folder the search passed over because it could not be read, and why.
    struct SkippedFolder {
        std::string folder;
        std::string reason;  // the error, with the system's reason where it gave one
    };
    const std::vector<SkippedFolder>& skipped() const { return skipped_; }

    // The entry listed for folder (ignoring ASCII case), or nullptr.
    const BotListEntry* findByFolder(std::string_view folder) const;

private:
    bool examine(const std::string& folder, const EventPump& pump);
    // Examines the folders in folder: all of them, or only those whose path names a known bot.
    enum class Entries { All, NamingKnownBots };
    bool examineEntries(const std::string& folder, const EventPump& pump, Entries which);

    std::string ownMindPath_;
    AddedHook added_;
    std::vector<BotListEntry> entries_;
    std::vector<SkippedFolder> skipped_;
    unsigned listedCount_ = 0;  // folder entries listed over the whole search
};

}  // namespace vebix
