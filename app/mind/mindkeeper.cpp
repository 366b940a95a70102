#include "app/mind/mindkeeper.h"

#include <QFileInfo>

#include "engine/base/clock.h"
#include "app/platform/filewrite.h"
#include "app/mind/startup.h"
#include "app/mind/templatemind.h"

namespace vebix {

MindKeeper::MindKeeper(Use use) : use_(use) {}

MindKeeper::Loaded MindKeeper::loadMind(const std::string& path, const LoadOptions& options) {
    const bool isNew = options.open == Open::AlwaysNew;
    const std::string& newBotName = options.botName;

    preparer_.reset();
    bot_.reset();
    mindPath_ = fullPath(path);
    // Two keepers appending to one mind would interleave their lines out of time order. A mind
    // opened anyway stays held by the other keeper alone.
    if (use_ == Use::Converse && !isNew &&
        mindLock_.hold(mindPath_) == MindLock::Outcome::HeldElsewhere && !options.openHeldMind) {
        discardMind();
        return Loaded::HeldElsewhere;
    }

    bot_ = std::make_shared<VebixAi>();
    exchangeCount_ = 0;
    lastLineTime_ = clock().nowSeconds();
    lastSaveTime_ = 0;
    savedCount_ = 0;

    bool loaded = false;
    try {
        if (!isNew && QFileInfo::exists(toQPath(mindPath_))) {
            loaded = true;
            lastSaveTime_ = lastLineTime_;
            bot_->loadFile(mindPath_);
            savedCount_ = static_cast<std::uint32_t>(bot_->lines().size());
        } else {
            if (options.source == NewMind::FromTemplate) {
                bot_->loadText(mindPath_, templateMindText(), TextLines::Viewed);
            } else {
                bot_->setBotName(newBotName);
                bot_->loadText(mindPath_, {}, TextLines::Viewed);
            }
            if (!newBotName.empty()) bot_->setBotName(newBotName);
            if (isNew) {
                bot_->saveAll();
                savedCount_ = static_cast<std::uint32_t>(bot_->lines().size());
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

    bot_->calcFillWords();
    bot_->setName(bot_->botName());
    if (prepareReplies_) preparer_ = std::make_unique<ReplyPreparer>(bot_);
    return loaded ? Loaded::Existing : Loaded::New;
}

void MindKeeper::closeBot() {
    if (!bot_) return;
    if (!writes()) {
        discardMind();
        return;
    }
    if (saveRequested_ || (exchangeCount_ != 0 && hasUnsavedLines())) {
        bot_->saveFrom(savedCount_);
        saveRequested_ = false;
        preparer_.reset();
        bot_.reset();
        mindLock_.release();
    }
}

void MindKeeper::saveLearned() {
    if (!bot_ || !writes() || !hasUnsavedLines()) return;
    saveNewLines();
    lastSaveTime_ = clock().nowSeconds();
}

void MindKeeper::autosaveTick() {
    if (!bot_ || !writes()) return;
    const std::uint32_t now = clock().nowSeconds();
    if (!saveRequested_) {
        if (exchangeCount_ == 0) return;
        if (!hasUnsavedLines()) {
            lastSaveTime_ = now;
            return;
        }
    }
    const std::int64_t sinceSave = static_cast<std::int64_t>(now) - lastSaveTime_;
    const std::int64_t sinceLine = static_cast<std::int64_t>(now) - lastLineTime_;
    if (sinceSave + sinceLine / 3 < kAutosaveScore) return;
    saveNewLines();
    lastSaveTime_ = now;
}

void MindKeeper::saveNow() {
    if (!bot_ || !writes()) return;
    saveNewLines();
    lastSaveTime_ = clock().nowSeconds();
}

void MindKeeper::saveAs(const std::string& path) {
    if (!bot_ || !writes()) return;
    const std::string full = fullPath(path);
    const std::string previous = bot_->fileName();
    bot_->setFileName(full);
    try {
        bot_->saveAll();
    } catch (...) {
        bot_->setFileName(previous);
        throw;
    }
    mindPath_ = full;
    saveRequested_ = false;
    savedCount_ = static_cast<std::uint32_t>(bot_->lines().size());
    lastSaveTime_ = clock().nowSeconds();
    // The mind now lives in the new file: that is the one held open.
    keepHolding();
}

bool MindKeeper::writeRescue(const std::string& path) {
    if (!bot_) return false;
    const bool whole = !bot_->loadedLinesLost();
    bot_->writeCopy(fullPath(path), whole ? 0 : savedCount_);
    return whole;
}

void MindKeeper::discardMind() {
    preparer_.reset();
    bot_.reset();
    mindLock_.release();
    saveRequested_ = false;
    savedCount_ = 0;
    exchangeCount_ = 0;
}

void MindKeeper::saveNewLines() {
    bot_->saveFrom(savedCount_);
    saveRequested_ = false;
    savedCount_ = static_cast<std::uint32_t>(bot_->lines().size());
    keepHolding();
}

void MindKeeper::keepHolding() {
    if (use_ == Use::Converse && bot_) mindLock_.hold(bot_->fileName());
}

bool MindKeeper::isBotLoaded() const { return bot_ && !bot_->botName().empty(); }

bool MindKeeper::hasUnsavedLines() const { return bot_ && savedCount_ != bot_->lines().size(); }

std::size_t MindKeeper::unsavedLineCount() const {
    return bot_ && bot_->lines().size() > savedCount_ ? bot_->lines().size() - savedCount_ : 0;
}

}  // namespace vebix
