// A stand-in for the window's autosave, for the kill tests: keeps the mind at the path given as
// the first argument the way the main window does (MindKeeper), learning exchanges and letting
// the autosave tick save them, until it is killed; the optional second argument is how many
// exchanges each save holds (1 by default; many make a save of many pages). After every save
// it writes the number of the last exchange just saved, one per line, to standard output, so
// that the test knows which saves completed. The clock is a fake one moved on by 200 seconds
// per save, so that every tick saves.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "support/fakeclock.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/startup.h"

namespace {

constexpr std::string_view kUser = "Sam!T";
constexpr std::string_view kPrefix = "autosave check ";

// The number of the last exchange in the mind, or -1.
long lastExchange(const vebix::VebixAi& bot) {
    for (std::size_t i = bot.lines().size(); i-- > 0;) {
        std::string_view line = bot.lines()[i];
        std::size_t at = line.rfind(kPrefix);
        if (at != std::string_view::npos && line.find("<ai>") == std::string_view::npos)
            return std::stol(std::string(line.substr(at + kPrefix.size())));
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s MIND [EXCHANGES_PER_SAVE]\n", argv[0]);
        return 2;
    }
    const long perSave = argc == 3 ? std::max(1L, std::stol(argv[2])) : 1;
    try {
        vebix::FakeClock fake;
        vebix::ScopedClock scoped(fake);
        vebix::MindKeeper keeper;
        keeper.loadMind(argv[1]);
        for (long n = lastExchange(*keeper.bot()) + 1;; ++n) {
            const std::string stamp = std::to_string(fake.nowSeconds());
            for (long last = n + perSave - 1;; ++n) {
                keeper.bot()->addLine(kUser, stamp, kUser,
                                      std::string(kPrefix) + std::to_string(n));
                keeper.bot()->addAiLine(kUser, stamp, "reply to " + std::to_string(n));
                if (n == last) break;
            }
            keeper.setExchangeCount(1);
            keeper.noteUserLine(fake.nowSeconds());
            fake.advanceSeconds(200);
            keeper.autosaveTick();
            if (keeper.hasUnsavedLines()) {
                std::fprintf(stderr, "the tick did not save\n");
                return 1;
            }
            const std::string report = std::to_string(n) + "\n";
            if (::write(STDOUT_FILENO, report.data(), report.size()) !=
                static_cast<ssize_t>(report.size()))
                return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
