#include "app/gui/findudlpbotform.h"

#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "engine/base/ascii.h"
#include "app/platform/filewrite.h"
#include "app/platform/qtext.h"
#include "app/gui/application.h"
#include "app/gui/chatcolours.h"
#include "app/gui/dialogplacement.h"
#include "app/gui/dialogsize.h"
#include "app/gui/filedialog.h"
#include "app/gui/prompts.h"

namespace vebix {
namespace {

constexpr const char* kTitle = QT_TRANSLATE_NOOP("vebix::FindUdlpBotForm", "Find UDLP Bot");

}  // namespace

// ---- BotListItem -----------------------------------------------------------------------------------

BotListItem::BotListItem(const BotListEntry& entry, const QIcon& icon)
    : QListWidgetItem(icon, fromUtf8(entry.name), nullptr, QListWidgetItem::UserType),
      entry_(entry) {
    setData(kFolderRole, toQPath(entry.folder));
}

bool BotListItem::operator<(const QListWidgetItem& other) const {
    if (other.type() == QListWidgetItem::UserType)
        return botEntryLess(entry_, static_cast<const BotListItem&>(other).entry_);
    return QListWidgetItem::operator<(other);
}

// ---- BotRowDelegate --------------------------------------------------------------------------------

BotRowDelegate::BotRowDelegate(const QFont& boldFont, QObject* parent)
    : QStyledItemDelegate(parent), boldFont_(boldFont) {}

QColor BotRowDelegate::selectedBackground(const QColor& background, const QColor& highlight) {
    auto mix = [](int b, int h) { return (b * 224 + h * 31) / 255; };
    return QColor(mix(background.red(), highlight.red()),
                  mix(background.green(), highlight.green()),
                  mix(background.blue(), highlight.blue()));
}

QColor BotRowDelegate::folderColour(const QPalette& palette) {
    // The conversation's muted shade is the one already made to read on any ground.
    return chatColours(palette).info;
}

QSize BotRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), kRowHeight);
}

void BotRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const QRect r = option.rect;
    const QColor background = option.palette.color(QPalette::Base);
    painter->save();
    painter->fillRect(
        r, (option.state & QStyle::State_Selected)
               ? selectedBackground(background, option.palette.color(QPalette::Highlight))
               : background);

    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull()) icon.paint(painter, QRect(r.x() + 2, r.y() + 2, 16, 16));

    constexpr int kFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    const QRect nameBox(r.x() + 24, r.y(), 65, r.height());
    painter->setFont(boldFont_);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(nameBox, kFlags,
                      QFontMetrics(boldFont_).elidedText(index.data(Qt::DisplayRole).toString(),
                                                         Qt::ElideRight, nameBox.width()));

    const QRect folderBox(QPoint(r.x() + 96, r.y()), r.bottomRight());
    painter->setFont(option.font);
    painter->setPen(folderColour(option.palette));
    painter->drawText(folderBox, kFlags,
                      QFontMetrics(option.font)
                          .elidedText(index.data(BotListItem::kFolderRole).toString(),
                                      Qt::ElideMiddle, folderBox.width()));

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = r;
        focus.backgroundColor = background;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

// ---- FindUdlpBotForm -------------------------------------------------------------------------------

FindUdlpBotForm::BottomUpdateTimer::BottomUpdateTimer(FindUdlpBotForm& form)
    : QTimer(&form), form_(form) {
    setSingleShot(true);
    setInterval(kUpdateIntervalMs);
    connect(this, &QTimer::timeout, this, [this] { tick(); });
}

void FindUdlpBotForm::BottomUpdateTimer::tick() {
    FindUdlpBotForm& form = form_;
    // Dropping deletes this timer (later), so nothing of it is used after this line.
    if (form.pendingTimer_ == this) form.dropPendingTimer();
    guarded([&form] { form.settleChosenBot(Settle::AndShow); });
}

FindUdlpBotForm::FindUdlpBotForm(Prompts& prompts, QWidget* owner, const std::string& ownMindPath,
                                 BotSearchPlaces places)
    : QDialog(owner),
      prompts_(&prompts),
      finder_(ownMindPath, [this](const BotListEntry& entry) { addRow(entry); }),
      places_(std::move(places)) {
    setObjectName(QStringLiteral("FindUdlpBotForm"));
    setWindowTitle(tr(kTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    programFilesFolder_ = toQPath(places_.programFilesFolder.value_or("/opt"));

    label1_ = new QLabel(tr("Please choose or find a bot to link with:"), this);
    label1_->setObjectName(QStringLiteral("label1"));
    label1_->setWordWrap(true);

    knownBotsList_ = new QListWidget(this);
    knownBotsList_->setObjectName(QStringLiteral("knownBotsList"));
    knownBotsList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    knownBotsList_->setUniformItemSizes(true);
    knownBotsList_->setSortingEnabled(true);
    boldFont_ = knownBotsList_->font();
    boldFont_.setBold(true);
    knownBotsList_->setItemDelegate(new BotRowDelegate(boldFont_, knownBotsList_));

    searchLabel_ = new QLabel(tr("Searching..."), this);
    searchLabel_->setObjectName(QStringLiteral("searchLabel"));
    // It lies over the list, so it wears the list's ground and text colours, whatever the theme.
    searchLabel_->setAutoFillBackground(true);
    searchLabel_->setBackgroundRole(QPalette::Base);
    searchLabel_->setForegroundRole(QPalette::Text);

    label2_ = new QLabel(tr("Bot &folder:"), this);
    label2_->setObjectName(QStringLiteral("label2"));

    botFolderBox_ = new QLineEdit(this);
    botFolderBox_->setObjectName(QStringLiteral("botFolderBox"));
    label2_->setBuddy(botFolderBox_);

    browseBotBtn_ = new QPushButton(tr("&Browse..."), this);
    browseBotBtn_->setObjectName(QStringLiteral("browseBotBtn"));
    browseBotBtn_->setAutoDefault(false);

    curBotPic_ = new QLabel(this);
    curBotPic_->setObjectName(QStringLiteral("curBotPic"));
    curBotPic_->setFixedSize(32, 32);

    curBotName_ = new QLabel(this);
    curBotName_->setObjectName(QStringLiteral("curBotName"));
    curBotName_->setFont(boldFont_);
    curBotName_->setTextFormat(Qt::PlainText);
    curBotName_->setWordWrap(true);

    okBtn_ = new QPushButton(tr("OK"), this);
    okBtn_->setObjectName(QStringLiteral("okBtn"));
    okBtn_->setDefault(true);
    okBtn_->setEnabled(false);

    cancelBtn_ = new QPushButton(tr("Cancel"), this);
    cancelBtn_->setObjectName(QStringLiteral("cancelBtn"));
    cancelBtn_->setAutoDefault(false);

    // "Searching..." lies over the list's lower right corner, clear of its scroll bar and frame:
    // the list fills both rows and columns of this grid, the label the first cell.
    auto* listArea = new QGridLayout;
    listArea->setSpacing(0);
    listArea->addWidget(knownBotsList_, 0, 0, 2, 2);
    listArea->addWidget(searchLabel_, 0, 0, Qt::AlignRight | Qt::AlignBottom);
    const int frame = knownBotsList_->frameWidth();
    listArea->setColumnMinimumWidth(
        1, style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, knownBotsList_) + frame + 4);
    listArea->setRowMinimumHeight(1, frame + 4);
    listArea->setColumnStretch(0, 1);
    listArea->setRowStretch(0, 1);
    searchLabel_->raise();

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(label2_);
    folderRow->addWidget(botFolderBox_, 1);
    folderRow->addWidget(browseBotBtn_);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addSpacing(8);
    bottomRow->addWidget(curBotPic_);
    bottomRow->addSpacing(8);
    bottomRow->addWidget(curBotName_, 1);
    bottomRow->addWidget(okBtn_);
    bottomRow->addWidget(cancelBtn_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1_);
    layout->addLayout(listArea, 1);
    layout->addLayout(folderRow);
    layout->addLayout(bottomRow);
    sizeDialog(*this, QSize(394, 216));
    centreOverParentWhenShown(*this);

    connect(botFolderBox_, &QLineEdit::textChanged, this, [this] { folderTextChanged(); });
    connect(knownBotsList_, &QListWidget::itemSelectionChanged, this,
            [this] { selectionChanged(); });
    connect(knownBotsList_, &QListWidget::itemDoubleClicked, this, [this] { rowDoubleClicked(); });
    connect(browseBotBtn_, &QPushButton::clicked, this, [this] { guarded([this] { browse(); }); });
    connect(okBtn_, &QPushButton::clicked, this, [this] { guarded([this] { okPressed(); }); });
    // Cancel, like Escape, closes without OK.
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
}

FindUdlpBotForm::~FindUdlpBotForm() = default;

QIcon FindUdlpBotForm::botIcon(const BotListEntry& bot) {
    QIcon icon = QFileIconProvider().icon(QFileInfo(toQPath(bot.exePath)));
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"),
                                QApplication::style()->standardIcon(QStyle::SP_DesktopIcon));
    return icon;
}

void FindUdlpBotForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The search starts once the dialog is on screen, so that "Searching..." can be seen.
    if (!searchStarted_) QTimer::singleShot(0, this, [this] { runInitialSearch(); });
}

void FindUdlpBotForm::done(int result) {
    closed_ = true;
    dropPendingTimer();
    QDialog::done(result);
}

void FindUdlpBotForm::runInitialSearch() {
    if (searchStarted_) return;
    searchStarted_ = true;
    okBtn_->setEnabled(false);
    searchLabel_->show();
    guarded([this] {
        // Pending events run while searching; a dialog closed meanwhile ends the search.
        finder_.search(places_, [this] {
            QCoreApplication::processEvents();
            return !closed_;
        });
    });
    searchFinished_ = true;
    okBtn_->setEnabled(true);
    searchLabel_->hide();
}

void FindUdlpBotForm::addRow(const BotListEntry& entry) {
    knownBotsList_->addItem(new BotListItem(entry, botIcon(entry)));
}

QString FindUdlpBotForm::folderText() const { return botFolderBox_->text(); }

void FindUdlpBotForm::dropPendingTimer() {
    if (!pendingTimer_) return;
    pendingTimer_->stop();
    pendingTimer_->deleteLater();
    pendingTimer_ = nullptr;
}

void FindUdlpBotForm::folderTextChanged() {
    dropPendingTimer();
    curBotName_->clear();
    curBotPic_->clear();
    if (closed_) return;
    pendingTimer_ = new BottomUpdateTimer(*this);
    pendingTimer_->start();
}

void FindUdlpBotForm::settleChosenBot(Settle settle) {
    const std::string folder(trimAsciiSpace(fromQPath(folderText())));
    if (folder.empty()) {
        chosenBot_.reset();
        return;
    }
    chosenBot_ = finder_.botFromFolder(folder, BotFinder::Remember::InSettings);
    if (settle == Settle::AndShow && chosenBot_) {
        curBotName_->setText(fromUtf8(chosenBot_->name));
        curBotPic_->setPixmap(botIcon(*chosenBot_).pixmap(32, 32));
    }
}

void FindUdlpBotForm::selectionChanged() {
    const QList<QListWidgetItem*> selected = knownBotsList_->selectedItems();
    if (selected.isEmpty()) return;
    botFolderBox_->setText(selected.first()->data(BotListItem::kFolderRole).toString());
    botFolderBox_->setFocus();
}

void FindUdlpBotForm::rowDoubleClicked() {
    const QList<QListWidgetItem*> selected = knownBotsList_->selectedItems();
    if (selected.isEmpty()) return;
    botFolderBox_->setText(selected.first()->data(BotListItem::kFolderRole).toString());
    okBtn_->click();
}

void FindUdlpBotForm::browse() {
    FileDialog::Request request;
    request.caption = tr(kTitle);
    request.initialFile = QDir(programFilesFolder_).filePath(QStringLiteral("UDLP.NFO"));
    request.filter = tr("UDLP (UDLP.NFO)");
    request.confirmOverwrite = false;
    const QString chosen = prompts_->openFile(this, request);
    if (chosen.isEmpty()) return;
    botFolderBox_->setText(QFileInfo(chosen).absolutePath());
}

void FindUdlpBotForm::okPressed() {
    if (std::optional<std::string> problem = botFolderProblem(fromQPath(folderText()))) {
        prompts_->message(this, windowTitle(), toQPath(*problem), QMessageBox::Warning);
        botFolderBox_->setFocus();
        return;
    }
    if (pendingTimer_) {
        // OK before typing paused: settle the bot now; the display below the list can stay.
        dropPendingTimer();
        settleChosenBot(Settle::Quietly);
    }
    accept();
}

}  // namespace vebix
