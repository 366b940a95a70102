#pragma once
// The main window: one loaded mind, a coloured conversation display, an input line, the Say
// button, a status line and the menu bar, laid out by Qt layouts in the desktop's font and
// palette. It holds the mind keeper (loading, closing,
// autosaving the mind) and observes it: the loading display, the greeting after a load (where
// the mind lives, the user's name, the bot's opening line), the Say button and the question
// about a mind another window holds.
//
// Link mode reuses the display operations, the hidden linkBot* controls and the menu entries
// built as LinkModeMenuItem; linkBots() hands over to startLinkMode() once a bot is loaded.

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/gui/chatcolours.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/program.h"

class QAction;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace vebix {

class ChatDisplay;
class Conversation;
class Prompts;
class SaveNotice;

inline constexpr const char* kAppTitle = "Vebix 1.2.02";

class VebixForm : public QMainWindow, private MindKeeper::Observer {
    Q_OBJECT
public:
    // A menu entry that stays in the menu bar in link mode. No behaviour of its own.
    class LinkModeMenuItem : public QAction {
    public:
        using QAction::QAction;
    };
    // Link mode's worker thread (botlinkthread.h).
    class BotLinkThread;

    // The window's size below the menu bar (status bar included) on a first start, before it
    // has a size of the person's to come back to, and its least size; both grow when the
    // desktop's font needs more room.
    static constexpr int kClientWidth = 640;
    static constexpr int kClientHeight = 480;
    static constexpr int kMinWidth = 350;
    static constexpr int kMinHeight = 250;

    // prompts asks the person everything the window and its dialogs need to ask; it must
    // outlive the window. start: the mind loaded once the window is up (none when its path is
    // empty), the documents folder the display names, the local tag and the response delay.
    explicit VebixForm(Prompts& prompts, const StartupChoice& start = {},
                       QWidget* parent = nullptr);
    ~VebixForm() override;

    Prompts& prompts() const { return *prompts_; }

    // ---- the display ---------------------------------------------------------------------------
    // Appends text at the end of disp in the colour of role (chatcolours.h).
    void appendText(const QString& text, ChatRole role);
    void appendText(const std::string& text, ChatRole role);
    // "<" and "> " as Info around name as role.
    void appendNameTag(const QString& name, ChatRole role);
    void showBotTag();
    void showUserTag();
    void showPartnerTag(const QString& name);
    // The status line's text.
    void setStatusText(const QString& text);
    QString statusText() const;

    // The mind path as the display shows it: below the documents folder, the folder's display
    // name and the rest of the path; elsewhere the full path.
    QString displayPath() const;
    static QString displayPath(const std::string& path, const std::string& documentsFolder);
    // The documents folder's own name; "My Documents" when there is none.
    static QString documentsDisplayName(const std::string& documentsFolder);

    // ---- the conversation ----------------------------------------------------------------------
    // Says the line in input (the Say button): the conversation takes it from there.
    void say();
    // The conversation with the loaded mind, which the window shows.
    Conversation& conversation() { return *conversation_; }
    // The user's name; empty until the first name prompt of the process.
    const QString& userName() const { return userName_; }
    // userName, "!", the local tag: the user as the engine knows them.
    std::string speakerId() const;

    // Whether replies are held for the response delay (Tools > Delay Responses).
    bool delaysResponses() const { return delayResponses_.load(); }

    // ---- menu commands -------------------------------------------------------------------------
    void newMind();
    void openMind();
    // File > Save Mind As...: saveMindAs, its failure shown in a message box.
    void saveMindAsFromMenu();
    virtual void saveTranscript();
    void linkBots();
    void toggleDelay();
    void showAbout();
    void enableUdlp();
    // The transcript: disp's text, CR LF line ends, UTF-8 without a byte-order mark.
    QByteArray transcriptBytes() const;
    // Removes every menu entry that is not a LinkModeMenuItem, through the whole menu bar and
    // the menus of the entries kept.
    void keepOnlyLinkModeMenuItems();
    // Puts the entries keepOnlyLinkModeMenuItems removed back where they were.
    void restoreMenuItems();
    // Link mode's Exit: ends the link, keeps what it taught the bot, and brings the window back
    // to chatting with its own mind. Nothing when link mode is off.
    void leaveLinkMode();

    // The mind the window shows.
    MindKeeper& keeper() { return keeper_; }
    const MindKeeper& keeper() const { return keeper_; }

    // ---- keeping the mind's lines (mindsaving.cpp) ---------------------------------------------
    // Closes the mind, saving its new lines. When that save fails the window stays (or comes
    // back) on screen and asks, with the reason: "Try Again", "Save As..." (the whole mind to a
    // new file, which becomes the mind), "Discard N lines", or Cancel. True when the mind was
    // closed (saved, or discarded by choice); false when the person kept it open.
    bool closeMindOrAsk();
    // Asks for a new file and writes the whole mind there; it then becomes the mind, also for
    // the next start. False when cancelled; errors of writing propagate (the mind keeps its
    // file).
    bool saveMindAs();

private:
    // ---- observing the mind keeper -------------------------------------------------------------
    bool isOnScreen() const override;
    void showLoading() override;
    bool greetAfterLoad(bool existingLoaded) override;
    void disableSay() override;
    // Says that another window holds the mind open and asks: Yes opens it anyway, No lets the
    // user choose another mind file (none chosen: no mind is loaded).
    std::string resolveHeldMind(const std::string& path) override;

protected:
    // ---- window events -------------------------------------------------------------------------
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

    // ---- seams ---------------------------------------------------------------------------------
    // Starts link mode with the loaded bot: checks its UDLP info, lets the user pick the other
    // bot, turns the window into link mode and starts the link thread.
    virtual void startLinkMode();
    // Ends link mode's thread: asks it to stop and waits until it has ended (a reply of the
    // engine, and the other bot's turn in flight, are bounded), while the window keeps running
    // what the thread hands over. Nothing when link mode is off.
    void stopLinkMode();

public:
    // The running link thread, or none.
    BotLinkThread* linkThread() const { return linkThread_; }

protected:
    // Tells the application to end (the name prompt was cancelled while no name is known).
    virtual void endProgram();

private:
    void buildMenus();
    void buildLayout();
    // The least size: the fixed least one, or more when the layout needs it for the font.
    void updateMinimumSize();
    // Shows what the conversation says.
    void connectConversation();
    void onLoad();
    // The window with no mind: Say and the input line disabled, the status asking for a mind.
    void showNoMind();
    // The autosave timer's handler: a failed save shows the save notice instead of a box.
    void autosaveQuietly();
    // Runs save; when it fails the notice shows why, and the result is false.
    bool savedOrNoticed(const std::function<void()>& save);
    // The save notice's buttons.
    void retrySaveFromNotice();
    void saveAsFromNotice();
    void showSaveNotice(const QString& reason);
    void hideSaveNotice();
    std::string stamp() const;
    QString botName() const;
    // The title names the bot, and the mind's file or link mode's other bot.
    void updateTitle();
    // Why the file at path would not load as a mind, tried without touching the mind in use;
    // none when it loads or is not there (a new mind is made there).
    static std::optional<QString> refusalOfMind(const std::string& path);
    // Why the mind at path could not be saved, when its file (or the folder of a new one) is
    // not writable; none when it is.
    static std::optional<QString> unwritableReason(const std::string& path);
    // Shows the save notice at once for a loaded mind that cannot be saved.
    void announceIfUnwritable();
    // Shows, while the input holds more than one line's worth, how Say will treat it.
    void updateInputNote();
    // Say's caption, tool tip and the names a screen reader gives it.
    void setSayButtonDescription();

    Prompts* prompts_;

    // Controls.
    QLineEdit* input_;
    QLabel* inputNote_;
    QPushButton* sayBtn_;
    ChatDisplay* disp_;
    QLabel* status_;
    QLabel* linkBotPic1_;
    QLabel* linkBotName1_;
    QLabel* linkBotPic2_;
    QLabel* linkBotName2_;
    QWidget* client_;
    QTimer* autosaveTimer_;
    SaveNotice* saveNotice_;
    Conversation* conversation_;

    // Menu entries the commands look at.
    QAction* delayItem_ = nullptr;
    QAction* saveMindAsItem_ = nullptr;

    MindKeeper keeper_{this};
    const std::string startMindPath_;
    const std::string documentsFolder_;
    const std::string localTag_;
    const std::string programPath_;
    const std::optional<std::string> loginName_;
    // Read by link mode's thread while it runs.
    std::atomic<bool> delayResponses_;

    QString userName_;
    QString linkPartner_;
    QString keptForNextLine_;  // the part of a long line Say leaves in the input  // link mode's other bot; empty when chatting
    struct RemovedMenuItem {
        QPointer<QWidget> owner;
        QAction* item;
        QAction* before;  // the entry it came before; null: it was the last
    };
    std::vector<RemovedMenuItem> removedMenuItems_;
    BotLinkThread* linkThread_ = nullptr;
    bool loadStarted_ = false;
    bool placeRestored_ = false;  // the window opens where it was left, not centred
    bool disposed_ = false;  // closed for good without saving (name prompt cancelled)
};

}  // namespace vebix
