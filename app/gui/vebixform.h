#pragma once
// The main window: one loaded mind, a coloured conversation display, an input line, the Say
// button, a status line and the menu bar, laid out by Qt layouts in the desktop's font and
// palette. It runs a chat session (app/chat/chatsession.h), which loads, greets, autosaves and
// closes the mind, and is the session's front end over its display and dialogs: the loading
// display, the greeting (where the mind lives, the name prompt, the bot's opening line), the
// save notice, and the questions about a mind another window holds and a failed save.
//
// Link mode reuses the display operations, the hidden linkBot* controls and the menu entries
// built as LinkModeMenuItem; linkBots() hands over to startLinkMode() once a bot is loaded.

#include <QMainWindow>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "app/chat/chatsession.h"
#include "app/gui/chatcolours.h"
#include "app/mind/startup.h"
#include "app/platform/qtext.h"

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

class VebixForm : public QMainWindow, private ChatSession::FrontEnd {
    Q_OBJECT
public:
    // A menu entry that stays in the menu bar in link mode. No behaviour of its own.
    class LinkModeMenuItem : public QAction {
    public:
        using QAction::QAction;
    };
    // Link mode's worker thread (botlinkthread.h).
    class BotLinkThread;

    // The window's default size below the menu bar (status bar included) and its least size;
    // both grow when the desktop's font needs more room.
    static constexpr int kClientWidth = 450;
    static constexpr int kClientHeight = 350;
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
    Conversation& conversation() { return session_->conversation(); }
    // The user's name; empty until the first name prompt of the process.
    QString userName() const { return fromUtf8(session_->userName()); }
    // userName, "!", the local tag: the user as the engine knows them.
    std::string speakerId() const { return session_->speakerId(); }

    // Whether replies are held for the response delay (Tools > Delay Responses).
    bool delaysResponses() const { return session_->delayResponses().load(); }

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

    // The mind the window shows.
    MindKeeper& keeper() { return session_->keeper(); }
    const MindKeeper& keeper() const { return session_->keeper(); }

    // ---- keeping the mind's lines (mindsaving.cpp) ---------------------------------------------
    // Closes the mind, saving its new lines. When that save fails the window stays (or comes
    // back) on screen and asks, with the reason: "Try Again", "Save As..." (the whole mind to a
    // new file, which becomes the mind), "Discard N lines", or Cancel. True when the mind was
    // closed (saved, or discarded by choice); false when the person kept it open.
    bool closeMindOrAsk();

private:
    // ---- the session's front end (the greeting in vebixform.cpp, saving in mindsaving.cpp) ----
    void showLoading() override;
    // Says that another window holds the mind open and asks: Yes opens it anyway, No lets the
    // user choose another mind file (none chosen: no mind is loaded).
    std::string askAboutHeldMind(const std::string& path) override;
    void showMindLoaded(const std::string& path) override;
    // The name prompt, filled with the name so far (or the one used last); cancelling it keeps
    // that name, and with none ends the program.
    std::optional<std::string> askName(const ChatSession::NameQuestion& question) override;
    void showGreeting(const std::string& name, const std::string& opening) override;
    void showClosing() override;
    ChatSession::AfterFailedSave askAfterFailedSave(
        const ChatSession::SaveFailure& failure) override;
    std::string askSaveAsPath(const std::string& currentPath) override;
    void showSaveFailing(const std::string& reason) override;
    void showSaveFailingOver() override;
    void showSaveAsRefused(const std::string& path) override;

protected:
    // ---- window events -------------------------------------------------------------------------
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
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
    // Opens the mind at path through the session; a mind that fails to load is reported in a
    // box, and the window then has none.
    void openMindFile(const std::string& path, const MindKeeper::LoadOptions& options);
    // Nobody gave a name: the window closes for good without saving, and the program ends.
    void dispose();
    // The window with no mind: Say and the input line disabled, the status asking for a mind.
    void showNoMind();
    // The save notice's buttons.
    void retrySaveFromNotice();
    void saveAsFromNotice();
    void showSaveNotice(const QString& reason);
    void hideSaveNotice();
    QString botName() const;

    Prompts* prompts_;

    // Controls.
    QLineEdit* input_;
    QPushButton* sayBtn_;
    ChatDisplay* disp_;
    QLabel* status_;
    QLabel* linkBotPic1_;
    QLabel* linkBotName1_;
    QLabel* linkBotPic2_;
    QLabel* linkBotName2_;
    QWidget* client_;
    SaveNotice* saveNotice_;

    // Menu entries the commands look at.
    QAction* delayItem_ = nullptr;
    QAction* saveMindAsItem_ = nullptr;

    ChatSession* session_;
    const std::string startMindPath_;
    const std::string documentsFolder_;
    const std::string programPath_;

    BotLinkThread* linkThread_ = nullptr;
    bool loadStarted_ = false;
    bool disposed_ = false;  // closed for good without saving (name prompt cancelled)
};

}  // namespace vebix
