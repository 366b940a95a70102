#pragma once
// Keeping the one loaded mind: loading or creating it, saving it now and then, closing it.
// Independent of any window, so that bot mode uses it with no display; the main window holds
// one and observes it (is it on screen, show that it is loading, greet the user after a load,
// disable its Say button, what to do about a mind held elsewhere).

#include <cstdint>
#include <memory>
#include <string>

#include "app/mind/mindlock.h"
#include "app/mind/replypreparer.h"
#include "app/mind/vebixai.h"

namespace vebix {

class MindKeeper {
public:
    // What a window showing the mind is told, and asked, while the keeper works. Bot mode's
    // keeper has none.
    class Observer {
    public:
        virtual ~Observer() = default;
        // Whether the window exists on screen. Only then are the hooks below called, except
        // resolveHeldMind.
        virtual bool isOnScreen() const { return false; }
        // The window shows that a mind is loading.
        virtual void showLoading() {}
        // The window greets the user for the mind just loaded (existingLoaded: an existing
        // file, not a new mind). Returns false when the program must end.
        virtual bool greetAfterLoad(bool existingLoaded) {
            (void)existingLoaded;
            return true;
        }
        // The window's Say button is disabled while the mind is closed.
        virtual void disableSay() {}
        // The mind file at path is held open by another keeper. Returns path to open it
        // anyway, another mind's path to load that instead, or empty to load none.
        virtual std::string resolveHeldMind(const std::string& path) { return path; }
    };

    // Whether this keeper holds its mind open (mindlock.h) and asks before loading a mind
    // another keeper holds. Bot mode, which answers for a mind open in a window, does not.
    enum class Holding { HoldOpen, DoNotHold };

    // How loadMind treats the path.
    enum class Open {
        ExistingOrNew,  // load the file there; a new mind only when no file exists
        AlwaysNew,      // a new mind, written to the file at once (replacing what is there)
    };
    // What a new mind starts from.
    enum class NewMind { FromTemplate, Empty };
    struct LoadOptions {
        Open open = Open::ExistingOrNew;
        NewMind source = NewMind::FromTemplate;
        std::string botName;  // names a new mind; empty keeps the template's name
    };

    explicit MindKeeper(Observer* observer = nullptr, Holding holding = Holding::HoldOpen);
    virtual ~MindKeeper() = default;
    MindKeeper(const MindKeeper&) = delete;
    MindKeeper& operator=(const MindKeeper&) = delete;

    // Interval of the window's autosave timer, and the score at which a tick saves.
    static constexpr int kAutosaveIntervalMs = 10000;
    static constexpr std::int64_t kAutosaveScore = 180;

    // Loads the mind at path (made absolute first; from then on mindPath()) into a new bot,
    // or, with Open::AlwaysNew or when no file exists there, makes a new mind from
    // options.source, named options.botName when that is not empty. A new mind opened
    // AlwaysNew is written to its file at once. Returns true when an existing file was loaded;
    // false also when the observer's greetAfterLoad says the program must end.
    // Errors of loading propagate; the keeper then holds no bot (nothing is ever written to a
    // file that did not load as a mind).
    // With Holding::HoldOpen, an existing file that another keeper holds open goes to the
    // observer's resolveHeldMind first (no observer: open it anyway); when that gives no path,
    // no mind is loaded (bot() is empty) and the result is false. The loaded mind's file is
    // held open until another is loaded or the mind is released, and again after each save
    // (a whole write replaces the file).
    bool loadMind(const std::string& path, const LoadOptions& options);
    // An existing mind at path, or a new one from the template when no file is there.
    bool loadMind(const std::string& path) { return loadMind(path, LoadOptions{}); }

    // Saves the new lines when the user spoke to the mind (or a save was requested) and then
    // releases it; otherwise writes nothing and keeps it.
    void closeBot();

    // The handler of the autosave timer: saves the new lines once enough time has passed.
    // A failed save propagates and is tried again on the next tick.
    void autosaveTick();

    // Saves the new lines now (a requested save: the whole file when it is missing or empty).
    // Errors of saving propagate; the lines then stay unsaved.
    void saveNow();
    // Writes the whole mind to the file at path (made absolute first), which from then on is
    // the mind's file and mindPath(). When that fails the error propagates and the mind keeps
    // its file.
    void saveAs(const std::string& path);
    // Writes the mind to a new file at path (made absolute first; it must not exist yet) for
    // safe keeping, when it cannot be saved to its own file: the whole mind, or, when the lines
    // read from its file are lost (another program cut that file shorter while it was loaded),
    // the header and the lines not saved. The mind keeps its own file. Returns true when the
    // whole mind went there. Errors of writing propagate.
    bool writeRescue(const std::string& path);
    // Releases the mind without saving: its unsaved lines are lost.
    void discardMind();
    // Makes the next save (autosave or closing) write even when nobody spoke.
    void requestSave() { saveRequested_ = true; }

    // The loaded mind, or none.
    const std::shared_ptr<VebixAi>& bot() const { return bot_; }

    // Whether each mind loaded from then on has its replies prepared in the background (see
    // ReplyPreparer): for a keeper that answers many lines, not for a single answer.
    void setPrepareReplies(bool on) { prepareReplies_ = on; }
    // The preparation of the loaded mind, or null.
    ReplyPreparer* preparer() { return preparer_.get(); }
    // The current mind's file, absolute: the path last given to loadMind (or the one chosen
    // instead of a mind held elsewhere) or saveAs; empty before the first load.
    const std::string& mindPath() const { return mindPath_; }

    bool isBotLoaded() const;
    bool hasUnsavedLines() const;
    // How many of the mind's lines the file does not hold; 0 with no mind.
    std::size_t unsavedLineCount() const;
    // How many of the mind's lines the file holds.
    std::uint32_t savedCount() const { return savedCount_; }
    bool saveRequested() const { return saveRequested_; }
    // When the file last held every line; 0 for a new mind.
    std::uint32_t lastSaveTime() const { return lastSaveTime_; }

    // Time of the last user line (set at load too); autosave waits longer after a recent one.
    std::uint32_t lastLineTime() const { return lastLineTime_; }
    void noteUserLine(std::uint32_t time) { lastLineTime_ = time; }
    // User lines since the load: 0, then 1 to 10, restarting at 1 (the conversation counts).
    // Closing saves only when it is not 0.
    std::int32_t exchangeCount() const { return exchangeCount_; }
    void setExchangeCount(std::int32_t count) { exchangeCount_ = count; }

private:
    void saveNewLines();
    // Holds the loaded mind's file open, when this keeper does so.
    void keepHolding();

    Observer* observer_;
    const bool holdMindOpen_;
    // Holds a reference to the mind of its own; dropped whenever bot_ is replaced or released.
    std::unique_ptr<ReplyPreparer> preparer_;
    bool prepareReplies_ = false;
    std::shared_ptr<VebixAi> bot_;
    std::uint32_t lastLineTime_ = 0;
    std::uint32_t lastSaveTime_ = 0;
    std::uint32_t savedCount_ = 0;
    std::int32_t exchangeCount_ = 0;
    bool saveRequested_ = false;
    MindLock mindLock_;
    std::string mindPath_;
};

}  // namespace vebix
