#pragma once
// Where enabling UDLP puts the loaded bot's info files. Beside the program's executable when
// that folder can be written, as for a copy unpacked in a folder of the user's; otherwise (a
// copy installed in a system folder) in a folder of the bot's own under the user's data folder,
// which holds both info files and a symbolic link to the executable, so that a link program
// starts the bot there as it starts any other bot in its folder.

#include <cstddef>
#include <string>
#include <string_view>

namespace vebix {

// The folder that holds the per-user bot folders: "vebix/bots" in the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share). Empty when the system names no data folder.
std::string userBotsFolder();

// A single folder name for the bot, never a path: the name with blanks trimmed at both ends,
// every control character, DEL and '/' written as '_', a '.' that starts the name or stands next
// to another '.' written as '_' (no hidden folder, no "..", no "."), cut to at most
// kMaxBotFolderName bytes without splitting a UTF-8 character; "Bot" when nothing is left.
inline constexpr std::size_t kMaxBotFolderName = 64;
std::string botFolderName(std::string_view botName);

// The bot's per-user folder: userBotsFolder()/botFolderName(botName); empty when there is no
// data folder.
std::string userBotFolder(std::string_view botName);

// Whether a new file can be made in folder, found by creating (and removing) one: permissions,
// a read-only file system, a folder whose place a file has taken and a folder that does not
// exist all answer false, whoever runs the program.
bool folderWritable(const std::string& folder);

// The folder enabling UDLP uses for the bot: the folder of the executable at programPath when
// folderWritable, else userBotFolder(botName). Creates nothing.
std::string udlpFolderFor(std::string_view botName, const std::string& programPath);

// Readies folder for the bot's info files and returns the executable they are to name. For the
// executable's own folder that is the executable. Any other folder is created when missing and
// given a symbolic link named as the executable and pointing at its absolute path (an earlier
// link of that name is replaced); the link is returned. Throws Error when the folder or the link
// cannot be made, or when something other than a symbolic link has the link's name.
std::string prepareBotFolder(const std::string& folder, const std::string& programPath);

}  // namespace vebix
