#pragma once
// The "Find UDLP Bot" dialog: lists the UDLP bots found without help (remembered ones and those
// in the likely places, see BotFinder) and lets the user pick one, type its folder or browse to
// its "UDLP.NFO". Every bot picked or typed is remembered for the next time.
//
// Link mode shows it modally, owned by the main window, and reads it after it closes:
//   FindUdlpBotForm form(mainWindow);
//   if (prompts.exec(form) == QDialog::Accepted) { auto bot = form.chosenBot(); ... }
// Accepted with no chosen bot happens (the current bot's own folder, a "UDLP.NFO" of another
// version): the caller reports that itself.
//
// The search runs once, starting right after the dialog is first shown (or when
// runInitialSearch is called); OK stays disabled and "Searching..." is shown until it ends.

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QListWidgetItem>
#include <QStyledItemDelegate>
#include <QTimer>

#include <optional>
#include <string>

#include "app/udlp/botfinder.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vebix {

class Prompts;

// A row of the known-bots list: its text is the bot's name; it sorts by botEntryLess.
class BotListItem : public QListWidgetItem {
public:
    BotListItem(const BotListEntry& entry, const QIcon& icon);
    const BotListEntry& entry() const { return entry_; }
    bool operator<(const QListWidgetItem& other) const override;

    // The role under which the row keeps the bot's folder, for drawing.
    static constexpr int kFolderRole = Qt::UserRole + 1;

private:
    BotListEntry entry_;
};

// Draws a row: a selected row's background mixed from the list's background and the highlight,
// the 16 x 16 icon, the name in bold cut at the end, the folder in a muted shade cut in the middle.
class BotRowDelegate : public QStyledItemDelegate {
public:
    BotRowDelegate(const QFont& boldFont, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int kRowHeight = 20;
    // The selected row's background: each channel (background * 224 + highlight * 31) / 255.
    static QColor selectedBackground(const QColor& background, const QColor& highlight);
    // The folder's muted text colour for a list painted with palette; it reads on the
    // palette's Base in light and dark themes alike.
    static QColor folderColour(const QPalette& palette);

private:
    QFont boldFont_;
};

class FindUdlpBotForm : public QDialog {
    Q_OBJECT
public:
    // Waits for typing to pause, then shows which bot the typed folder stands for. One-shot;
    // at most one is pending at a time.
    class BottomUpdateTimer : public QTimer {
    public:
        explicit BottomUpdateTimer(FindUdlpBotForm& form);
        // What the timer's timeout does: stops it, drops it from the dialog (it is deleted
        // later) and runs the bottom update. Tests call it instead of waiting.
        void tick();

    private:
        FindUdlpBotForm& form_;
    };

    static constexpr int kUpdateIntervalMs = 500;

    // ownMindPath: the mind loaded in the window, whose bot is never offered; places: where the
    // search of known bots looks.
    explicit FindUdlpBotForm(Prompts& prompts, QWidget* owner = nullptr,
                             const std::string& ownMindPath = {},
                             BotSearchPlaces places = botSearchPlaces());
    ~FindUdlpBotForm() override;

    // The bot the dialog answers with, or nullopt.
    const std::optional<BotListEntry>& chosenBot() const { return chosenBot_; }

    // The bot's icon: its executable's, else the theme's application icon.
    static QIcon botIcon(const BotListEntry& bot);

    // Runs the search of known bots, once; later calls do nothing.
    void runInitialSearch();
    bool searchFinished() const { return searchFinished_; }

    // The update timer waiting for typing to pause, or null.
    BottomUpdateTimer* pendingUpdateTimer() const { return pendingTimer_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void addRow(const BotListEntry& entry);

    Prompts* prompts_;
    void folderTextChanged();
    void dropPendingTimer();
    // Settles the chosen bot from the typed folder (remembering it); AndShow also shows it.
    enum class Settle { Quietly, AndShow };
    void settleChosenBot(Settle settle);
    void selectionChanged();
    void rowDoubleClicked();
    void browse();
    void okPressed();
    QString folderText() const;

    QLabel* label1_ = nullptr;
    QListWidget* knownBotsList_ = nullptr;
    QLabel* searchLabel_ = nullptr;
    QLabel* label2_ = nullptr;
    QLineEdit* botFolderBox_ = nullptr;
    QPushButton* browseBotBtn_ = nullptr;
    QLabel* curBotPic_ = nullptr;
    QLabel* curBotName_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;

    BotFinder finder_;
    BotSearchPlaces places_;
    QString programFilesFolder_;
    QFont boldFont_;
    std::optional<BotListEntry> chosenBot_;
    BottomUpdateTimer* pendingTimer_ = nullptr;
    bool searchStarted_ = false;
    bool searchFinished_ = false;
    bool closed_ = false;
};

}  // namespace vebix
