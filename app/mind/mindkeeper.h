#pragma once
// Keeping the one loaded mind: loading or creating it, saving it now and then, closing it.
// Independent of any window, so that bot mode uses it with no display; the main window builds
// on it and supplies the hooks (is it on screen, show that it is loading, greet the user after
// a load, disable its Say button).

#include <cstdint>
#include <memory>
#include <string>

#include "app/mind/mindlock.h"
#include "app/mind/vebixai.h"

namespace vebix {

class MindKeeper {
public:
    MindKeeper() = default;
    virtual ~MindKeeper() = default;
    MindKeeper(const MindKeeper&) = delete;
    MindKeeper& operator=(const MindKeeper&) = delete;

    // Interval of the window's autosave timer, and the score at which a tick saves.
    static constexpr int kAutosaveIntervalMs = 10000;
    static constexpr std::int64_t kAutosaveScore = 180;

    std::shared_ptr<VebixAi> bot;      // the loaded mind, or none
    std::uint32_t lastLineTime = 0;    // time of the last user line; set at load
    std::uint32_t lastSaveTime = 0;    // when the file last held every line; 0 for a new mind
    std::uint32_t savedCount = 0;      // how many of the mind's lines the file holds
    std::int32_t exchangeCount = 0;    // user lines since the load: 0, then 1 to 10, restarting
    bool saveRequested = false;        // forces the next save
    // Whether this keeper holds its mind open (mindlock.h) and asks before loading a mind
    // another keeper holds. Bot mode, which answers for a mind open in a window, turns it off.
    bool holdMindOpen = true;

    // The current mind's file, absolute: the path last given to loadMind (or the one chosen
    // instead of a mind held elsewhere) or saveAs; empty before the first load.
    const std::string& mindPath() const { return mindPath_; }

    // Loads the mind at path (made absolute first; from then on mindPath()) into a new bot, or, when
    // isNew is set or no file exists there, makes a new mind: from the template mind with
    // useTemplate, otherwise empty and named newBotName; a non-empty newBotName names it either
    // way. With isNew the new mind is written to its file at once. Returns true when an
    // existing file was loaded; false also when greetAfterLoad says the program must end.
    // Errors of loading propagate; the keeper then holds no bot (nothing is ever written to a
    // file that did not load as a mind).
    // With holdMindOpen, an existing file that another keeper holds open goes to
    // resolveHeldMind first; when that gives no path, no mind is loaded (bot is empty) and the
    // result is false. The loaded mind's file is held open until another is loaded or the
    // mind is released, and again after each save (a whole write replaces the file).
    virtual bool loadMind(const std::string& path, const std::string& newBotName,
                          bool useTemplate, bool isNew);

    // Saves the new lines when the user spoke to the mind (or a save was requested) and then
    // releases it; otherwise writes nothing and keeps it.
    virtual void closeBot();

    // The handler of the autosave timer: saves the new lines once enough time has passed.
    // A failed save propagates and is tried again on the next tick.
    void autosaveTick();

    // Saves the new lines now (a requested save: the whole file when it is missing or empty).
    // Errors of saving propagate; the lines then stay unsaved.
    void saveNow();
    // Writes the whole mind to the file at path (made absolute first), which from then on is
    // the mind's file and mindPath(). When that fails the error propagates and
    // the mind keeps its file.
    void saveAs(const std::string& path);
    // Releases the mind without saving: its unsaved lines are lost.
    void discardMind();

    bool isBotLoaded() const;
    bool hasUnsavedLines() const;
    // How many of the mind's lines the file does not hold; 0 with no mind.
    std::size_t unsavedLineCount() const;

protected:
    // ---- hooks for the window ------------------------------------------------------------------
    // Whether the window exists on screen. Only then are the other hooks called.
    virtual bool isOnScreen() const { return false; }
    // The window shows that a mind is loading.
    virtual void showLoading() {}
    // The window greets the user for the mind just loaded (existingLoaded: an existing file,
    // not a new mind). Returns false when the program must end.
    virtual bool greetAfterLoad(bool existingLoaded) {
        (void)existingLoaded;
        return true;
    }
    // The window's Say button is disabled while the mind is closed.
    virtual void disableSay() {}
    // The mind file at path is held open by another keeper. Returns path to open it anyway,
    // another mind's path to load that instead, or empty to load none. By default: anyway.
    virtual std::string resolveHeldMind(const std::string& path) { return path; }

private:
    void saveNewLines();
    // Holds the loaded mind's file open, when this keeper does so (see holdMindOpen).
    void keepHolding();

    MindLock mindLock_;
    std::string mindPath_;
};

}  // namespace vebix
