#pragma once
// A chat session: one mind in conversation with whoever a front end brings to it, run the same
// way for every front end. In order: a mind another front end holds is asked about, the mind
// is loaded (or made new), the person is asked their name and greeted (where the mind lives,
// and half the time, or always for a new mind, an opening line), the conversation goes on
// while the mind is saved now and then (a failure is told once and tried again), and closing
// saves it, or after a failed save asks what to do, down to a rescue file when nobody can be
// asked. The session owns the mind's keeper and the conversations; the front end shows and
// asks, through FrontEnd, and nothing else.
//
// The window implements FrontEnd over its dialogs and display, the terminal over its console.
// Every question has an answer that needs nobody (UnattendedFrontEnd gives them), for a front
// end with no person present.
//
// A front end with many conversations at once (a chat room: one per channel and one per private
// partner) opens the mind with unattended answers and says each line through conversation()
// as a Conversation::Turn naming its speaker (the nick) and its key (the channel); the engine
// then learns and answers each channel as a conversation of its own. Autosave and closing stay
// the session's, for the one mind they all share.
//
// Lives on the thread that owns the mind (the window thread): everything here learns or saves.

#include <QObject>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/mind/mindkeeper.h"

class QTimer;

namespace vebix {

class Conversation;

class ChatSession : public QObject {
    Q_OBJECT
public:
    // What the session knows when it asks for the person's name.
    struct NameQuestion {
        std::string current;                   // the name in this session so far, or empty
        std::string lastUsed;                  // the name used last time (settings), or empty
        std::optional<std::string> loginName;  // the login name, when known
        // The name to go on with when nobody is asked: the current one, the one used last, the
        // login name, or "user".
        std::string fallback() const;
    };
    // Closing could not save the mind.
    struct SaveFailure {
        std::string reason;        // the save's error, with the system's reason
        std::size_t unsavedLines;  // what would be lost
        bool newFailure;           // false when asked again after a Save As that wrote nothing
    };
    enum class AfterFailedSave {
        TryAgain,  // close again (after space was freed or permissions fixed)
        SaveAs,    // the whole mind to another file, which becomes the mind; then close
        Discard,   // drop the unsaved lines
        KeepOpen,  // close nothing: the conversation goes on
        Rescue,    // the whole mind to a rescue file beside it (else in the data folder)
    };

    // What a session asks of the person and shows them. Questions are asked only when the
    // session needs an answer; the showing calls do nothing unless a front end shows that.
    class FrontEnd {
    public:
        virtual ~FrontEnd() = default;

        // ---- questions --------------------------------------------------------------------
        // The mind at path is open in another front end. Returns path to open it anyway,
        // another mind's path to load that instead, or empty to load none.
        virtual std::string askAboutHeldMind(const std::string& path) = 0;
        // Who is chatting: a name, or none when nobody is there to chat (the session then
        // ends without saving anything).
        virtual std::optional<std::string> askName(const NameQuestion& question) = 0;
        // What to do about a mind that could not be saved on closing.
        virtual AfterFailedSave askAfterFailedSave(const SaveFailure& failure) = 0;
        // The file to write the whole mind to, from currentPath; empty for none.
        virtual std::string askSaveAsPath(const std::string& currentPath) = 0;

        // ---- what to show -----------------------------------------------------------------
        // A mind is about to load; what was shown of the one before can go.
        virtual void showLoading() {}
        // The mind at path (absolute) is loaded; its greeting follows once the name is known.
        virtual void showMindLoaded(const std::string& path) { (void)path; }
        // The person is greeted by name; opening is the mind's first line (learned already),
        // or empty when the person starts.
        virtual void showGreeting(const std::string& name, const std::string& opening) {
            (void)name;
            (void)opening;
        }
        // The mind is being closed: nothing more may be said to it.
        virtual void showClosing() {}
        // Saving fails (autosave, or a save asked for): said once until saving works again.
        virtual void showSaveFailing(const std::string& reason) { (void)reason; }
        // Saving works again, or nothing is left unsaved: what showSaveFailing showed can go.
        virtual void showSaveFailingOver() {}
        // A Save As was refused: the file at path is a mind another front end holds open.
        virtual void showSaveAsRefused(const std::string& path) { (void)path; }
        // The mind, with unsavedLines not saved to its file, was written to path: the whole
        // mind, or (whole false) only the unsaved lines, when those read from its file were lost
        // (another program cut that file shorter).
        virtual void showRescued(const std::string& path, std::size_t unsavedLines, bool whole) {
            (void)path;
            (void)unsavedLines;
            (void)whole;
        }
        // No rescue file could be written either: unsavedLines are lost.
        virtual void showRescueFailed(const std::string& reason, std::size_t unsavedLines) {
            (void)reason;
            (void)unsavedLines;
        }
    };

    // The answers when nobody is there to ask (bot mode, a chat room): a mind held elsewhere
    // is not opened, the name is the fallback, a mind that cannot be saved goes to a rescue
    // file, and nothing is saved elsewhere by choice.
    class UnattendedFrontEnd : public FrontEnd {
    public:
        std::string askAboutHeldMind(const std::string& path) override;
        std::optional<std::string> askName(const NameQuestion& question) override;
        AfterFailedSave askAfterFailedSave(const SaveFailure& failure) override;
        std::string askSaveAsPath(const std::string& currentPath) override;
    };

    struct Options {
        std::string localTag;                  // the person's speaker id is name!localTag
        std::optional<std::string> loginName;  // offered when the name is asked
        bool delayResponses = true;            // hold each reply until a second has passed
        // Work out every line's part in replies right after loading, so that the first reply
        // is as quick as the later ones (for front ends that answer line after line).
        bool prepareReplies =
            true;  // Whether one person chats with the mind (the window, the terminal): then open() asks
        // their name, greets them and records the mind and the name for the next start. A chat
        // room has many speakers, each named in its turn, and changes nothing a person chose.
        bool withPerson = true;
    };

    // frontEnd must outlive the session.
    ChatSession(FrontEnd& frontEnd, Options options, QObject* parent = nullptr);
    ~ChatSession() override;

    // ---- opening --------------------------------------------------------------------------
    enum class Opened {
        Greeted,  // the mind is loaded and the person greeted (if any): the conversation may begin
        NoMind,   // the person chose no mind instead of one held elsewhere: none is loaded
        Ended,    // nobody gave a name: the mind was dropped unsaved, and the session is over
    };
    // Loads the mind at path (made absolute) as options say, after asking about a mind another
    // front end holds; asks the name; greets; records the mind and the name for the next start;
    // and from then on saves now and then. Whatever mind was loaded before must be closed
    // first (close()). Errors of loading propagate, with no mind loaded.
    Opened open(const std::string& path, const MindKeeper::LoadOptions& options = {});

    // ---- the conversation ---------------------------------------------------------------
    // The conversation with the loaded mind, whichever is loaded.
    Conversation& conversation() { return *conversation_; }
    // Says the person's line in their conversation (Conversation::say).
    bool say(const std::string& typed);
    // The person's name: empty until the first open() named them; kept over later ones.
    const std::string& userName() const { return userName_; }
    // Goes on as name (not empty): the person's next lines are said as them, and the name is
    // offered at the next start.
    void setUserName(const std::string& name);
    // userName!localTag: the person as the mind knows them.
    std::string speakerId() const;
    // Whether replies are held for the response delay; read afresh at every exchange, also
    // by threads of the front end (link mode's pauses).
    const std::atomic<bool>& delayResponses() const { return delayResponses_; }
    void setDelayResponses(bool on) { delayResponses_.store(on); }

    // ---- saving ---------------------------------------------------------------------------
    // Saves the new lines now (a requested save: the whole file when it is missing or empty).
    // Errors propagate. Once saving works again after failing, the front end is told.
    void saveNow();
    // Asks for a file and writes the whole mind there; it then becomes the mind, also for the
    // next start. A mind another front end holds open is refused (the front end is told).
    // False when no file was given or it was refused; errors of writing propagate, and the
    // mind keeps its file.
    bool saveAs();
    // Whether saving is failing now (told with showSaveFailing, not yet over).
    bool saveFailing() const { return saveFailing_; }

    // ---- closing --------------------------------------------------------------------------
    enum class Closed {
        Saved,      // saved (or with nothing to save); the mind was released if it was saved
        Discarded,  // the unsaved lines were dropped by choice
        KeptOpen,   // the person chose to go on: the mind stays as it was
        Rescued,    // saved only to a rescue file
        Lost,       // not even a rescue file could be written
    };
    // Closes the mind, saving its new lines; a failed save is asked about until it is settled.
    Closed close();

    // The mind's keeper, for the front end to read (and for the window's link mode, which
    // reads the engine on a thread of its own).
    MindKeeper& keeper() { return keeper_; }
    const MindKeeper& keeper() const { return keeper_; }

private:
    void startAutosave();
    void autosave();
    void savingWorks();

    FrontEnd& frontEnd_;
    const Options options_;
    std::atomic<bool> delayResponses_;
    MindKeeper keeper_{MindKeeper::Use::Converse};
    std::string userName_;
    // A child of the session, deleted before the keeper goes.
    Conversation* conversation_;
    QTimer* autosaveTimer_;
    bool saveFailing_ = false;
};

// The one rule for a mind whose lines could not be saved, for a session's closing and for the
// commands that only append what they learned (vebix reply --learn): runs save, and when that
// fails asks frontEnd what to do (try again, Save As, discard, keep open, rescue) until it is
// settled; a rescue writes the mind to a rescue file (rescuePathBeside, else
// rescuePathInDataFolder) and releases it. userName is recorded with a mind saved elsewhere.
ChatSession::Closed saveOrAsk(MindKeeper& keeper, ChatSession::FrontEnd& frontEnd,
                              const std::function<void()>& save, const std::string& userName);
// Asks frontEnd for a file and writes the whole of keeper's mind there; it then becomes the
// mind, also for the next start (recorded with userName). A mind another front end holds open
// is refused (frontEnd is told). False when no file was given or it was refused; errors of
// writing propagate, and the mind keeps its file.
bool saveMindAs(MindKeeper& keeper, ChatSession::FrontEnd& frontEnd, const std::string& userName);

// Where a mind that cannot be saved to mindPath goes: beside it, "<name>.rescued-<time>.mdd"
// (the ".mdd" of the name dropped first), the time in local time as yyyyMMdd-HHmmss.
std::string rescuePathBeside(const std::string& mindPath, std::int64_t secondsSince1970);
// The same name in the user's data folder (XDG_DATA_HOME/vebix) when the mind's own folder
// cannot take it.
std::string rescuePathInDataFolder(const std::string& mindPath, std::int64_t secondsSince1970);

}  // namespace vebix
