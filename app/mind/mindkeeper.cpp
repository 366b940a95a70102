#include "app/mind/mindkeeper.h"

#include <QFileInfo>

#include "engine/base/clock.h"
#include "app/platform/filewrite.h"
#include "app/mind/program.h"
#include "app/mind/templatemind.h"

namespace vebix {

bool MindKeeper::loadMind(const std::string& path, const std::string& newBotName,
                          bool useTemplate, bool isNew) {
    const bool onScreen = isOnScreen();
    if (onScreen) showLoading();

    mindPath_ = fullPath(path);
    // Two keepers appending to one mind would interleave their lines out of time order.
    while (holdMindOpen && !isNew &&
           mindLock_.hold(mindPath_) == MindLock::Outcome::HeldElsewhere) {
        const std::string chosen = resolveHeldMind(mindPath_);
        if (chosen.empty()) {
            bot.reset();
            return false;
        }
        if (chosen == mindPath_) break;
        mindPath_ = fullPath(chosen);
    }

    bot = std::make_shared<VebixAi>();
    exchangeCount = 0;
    lastLineTime = clock().nowSeconds();
    lastSaveTime = 0;
    savedCount = 0;

    bool loaded = false;
    try {
        if (!isNew && QFileInfo::exists(toQPath(mindPath_))) {
            loaded = true;
            lastSaveTime = lastLineTime;
            bot->loadFile(mindPath_);
            savedCount = static_cast<std::uint32_t>(bot->lines.size());
        } else {
            if (useTemplate) {
                bot->loadText(mindPath_, templateMindText(), false);
            } else {
                bot->botName = newBotName;
                bot->loadText(mindPath_, {}, false);
            }
            if (!newBotName.empty()) bot->botName = newBotName;
            if (isNew) {
                bot->saveAll();
                savedCount = static_cast<std::uint32_t>(bot->lines.size());
                keepHolding();
            }
        }
    } catch (...) {
        // A file that was refused may be anything of the user's (a letter, a picture): a bot
        // kept from it would be saved back into it, or offered for linking under whatever
        // name its first line gave.
        discardMind();
        throw;
    }

    bot->calcFillWords();
    bot->name = bot->botName;

    if (onScreen && !greetAfterLoad(loaded)) return false;
    return loaded;
}

void MindKeeper::closeBot() {
    if (isOnScreen()) disableSay();
    if (!bot) return;
    if (saveRequested || (exchangeCount != 0 && hasUnsavedLines())) {
        bot->saveFrom(savedCount);
        saveRequested = false;
        bot.reset();
        mindLock_.release();
    }
}

void MindKeeper::autosaveTick() {
    if (!bot) return;
    const std::uint32_t now = clock().nowSeconds();
    if (!saveRequested) {
        if (exchangeCount == 0) return;
        if (!hasUnsavedLines()) {
            lastSaveTime = now;
            return;
        }
    }
    const std::int64_t sinceSave = static_cast<std::int64_t>(now) - lastSaveTime;
    const std::int64_t sinceLine = static_cast<std::int64_t>(now) - lastLineTime;
    if (sinceSave + sinceLine / 3 < kAutosaveScore) return;
    saveNewLines();
    lastSaveTime = now;
}

void MindKeeper::saveNow() {
    if (!bot) return;
    saveNewLines();
    lastSaveTime = clock().nowSeconds();
}

void MindKeeper::saveAs(const std::string& path) {
    if (!bot) return;
    const std::string full = fullPath(path);
    const std::string previous = bot->fileName;
    bot->fileName = full;
    try {
        bot->saveAll();
    } catch (...) {
        bot->fileName = previous;
        throw;
    }
    mindPath_ = full;
    saveRequested = false;
    savedCount = static_cast<std::uint32_t>(bot->lines.size());
    lastSaveTime = clock().nowSeconds();
    // The mind now lives in the new file: that is the one held open.
    keepHolding();
}

void MindKeeper::discardMind() {
    bot.reset();
    mindLock_.release();
    saveRequested = false;
    savedCount = 0;
    exchangeCount = 0;
}

void MindKeeper::saveNewLines() {
    bot->saveFrom(savedCount);
    saveRequested = false;
    savedCount = static_cast<std::uint32_t>(bot->lines.size());
    keepHolding();
}

void MindKeeper::keepHolding() {
    if (holdMindOpen && bot) mindLock_.hold(bot->fileName);
}

bool MindKeeper::isBotLoaded() const { return bot && !bot->botName.empty(); }

bool MindKeeper::hasUnsavedLines() const {
    return bot && savedCount != bot->lines.size();
}

std::size_t MindKeeper::unsavedLineCount() const {
    return bot && bot->lines.size() > savedCount ? bot->lines.size() - savedCount : 0;
}

}  // namespace vebix
