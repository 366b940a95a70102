// The menu bar of the main window and its commands.
#include <atomic>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "app/mind/startup.h"
#include "app/platform/filewrite.h"
#include "app/platform/settings.h"
#include "app/chat/conversation.h"
#include "app/gui/application.h"
#include "app/gui/filedialog.h"
#include "app/gui/prompts.h"
#include "app/gui/newmindform.h"
#include "app/gui/udlpform.h"
#include "app/gui/vebixform.h"
#include "app/platform/qtext.h"
#include "app/platform/version.h"

namespace vebix {
namespace {

// The desktop's keys for key, or fallback where the desktop defines none (Save As is missing
// from some keyboard schemes).
QList<QKeySequence> standardKeys(QKeySequence::StandardKey key, const QKeySequence& fallback) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (keys.isEmpty()) keys.append(fallback);
    return keys;
}

// How often a Link Bots chosen during a reply's delay looks again whether the reply is out.
constexpr int kLinkRetryMs = 20;

constexpr const char* kAboutText =
    QT_TRANSLATE_NOOP("vebix::VebixForm",
                      "Vebix %1\r\n"
                      "A chatbot that learns by remembering.\r\n"
                      "Every line said to it and by it becomes part of its mind.");

}  // namespace

void VebixForm::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("mainMenu"));

    // Link mode keeps the LinkModeMenuItem entries and removes the plain ones.
    auto topLevel = [this, bar](const QString& caption, const char* name) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(name) + QStringLiteral("Menu"));
        auto* item = new LinkModeMenuItem(caption, this);
        item->setObjectName(QString::fromLatin1(name) + QStringLiteral("Item"));
        item->setMenu(menu);
        bar->addAction(item);
        return menu;
    };
    auto plain = [this](QMenu* menu, const QString& caption, const char* name) {
        auto* item = new QAction(caption, this);
        item->setObjectName(QString::fromLatin1(name));
        menu->addAction(item);
        return item;
    };
    auto kept = [this](QMenu* menu, const QString& caption, const char* name) {
        auto* item = new LinkModeMenuItem(caption, this);
        item->setObjectName(QString::fromLatin1(name));
        menu->addAction(item);
        return item;
    };
    auto separator = [](QAction* item) {
        item->setText(QString());  // a separator with text would show it as a section title
        item->setSeparator(true);
        return item;
    };
    auto run = [this](QAction* item, void (VebixForm::*command)()) {
        connect(item, &QAction::triggered, this,
                [this, command] { guarded([this, command] { (this->*command)(); }); });
    };

    // The desktop's own keys. Ctrl+S saves what the window shows, the transcript: the mind
    // saves itself, so a plain Save of it would have nothing to do. Save As is the mind's, as
    // it writes the whole mind to a new file that becomes the mind.
    QMenu* file = topLevel(tr("&File"), "file");
    QAction* item = plain(file, tr("&New Mind..."), "newMindItem");
    item->setShortcuts(standardKeys(QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N)));
    run(item, &VebixForm::newMind);
    item = plain(file, tr("&Load Mind..."), "loadMindItem");
    item->setShortcuts(standardKeys(QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O)));
    run(item, &VebixForm::openMind);
    // Not kept in link mode: the link thread reads the mind meanwhile.
    saveMindAsItem_ = plain(file, tr("Save Mind &As..."), "saveMindAsItem");
    saveMindAsItem_->setShortcuts(
        standardKeys(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)));
    run(saveMindAsItem_, &VebixForm::saveMindAsFromMenu);
    connect(file, &QMenu::aboutToShow, this,
            [this] { saveMindAsItem_->setEnabled(keeper().bot() != nullptr); });
    separator(plain(file, QStringLiteral("-"), "fileSeparator1"));
    item = kept(file, tr("Save &Transcript..."), "saveTranscriptItem");
    item->setShortcuts(standardKeys(QKeySequence::Save, QKeySequence(Qt::CTRL | Qt::Key_S)));
    run(item, &VebixForm::saveTranscript);
    separator(kept(file, QStringLiteral("-"), "fileSeparator2"));
    QAction* exitItem = kept(file, tr("E&xit"), "exitItem");
    exitItem->setShortcuts(standardKeys(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));
    connect(exitItem, &QAction::triggered, this, [this] { close(); });

    QMenu* tools = topLevel(tr("&Tools"), "tools");
    run(plain(tools, tr("Enable &UDLP (bot linking)..."), "enableUdlpItem"),
        &VebixForm::enableUdlp);
    run(plain(tools, tr("&Link Bots (UDLP)..."), "linkBotsItem"), &VebixForm::linkBots);
    separator(plain(tools, QStringLiteral("-"), "toolsSeparator"));
    delayItem_ = kept(tools, tr("&Delay Responses"), "delayResponsesItem");
    delayItem_->setCheckable(true);
    delayItem_->setChecked(delaysResponses());
    // The entry flips its own check mark when chosen; toggleDelay flips it itself.
    connect(delayItem_, &QAction::triggered, this, [this](bool checkedNow) {
        delayItem_->setChecked(!checkedNow);
        guarded([this] { toggleDelay(); });
    });

    QMenu* help = topLevel(tr("&Help"), "help");
    run(kept(help, tr("&About Vebix"), "aboutItem"), &VebixForm::showAbout);
}

void VebixForm::keepOnlyLinkModeMenuItems() {
    auto prune = [](QWidget* owner, auto& self) -> void {
        for (QAction* item : owner->actions()) {
            if (!dynamic_cast<LinkModeMenuItem*>(item)) {
                owner->removeAction(item);
                continue;
            }
            if (QMenu* sub = item->menu()) self(sub, self);
        }
    };
    prune(menuBar(), prune);
}

void VebixForm::newMind() {
    NewMindForm dialog(*prompts_, this, keeper().mindPath());
    if (prompts_->exec(dialog) != QDialog::Accepted) return;
    if (!closeMindOrAsk()) return;
    QString name = dialog.botName();
    name.remove(QLatin1Char('"'));
    openMindFile(fromQPath(dialog.saveAsPath()),
                 {.open = MindKeeper::Open::AlwaysNew,
                  .source = dialog.useTemplate() ? MindKeeper::NewMind::FromTemplate
                                                 : MindKeeper::NewMind::Empty,
                  .botName = name.toStdString()});
}

void VebixForm::openMind() {
    const QString chosen = prompts_->openFile(
        this, FileDialog::forMind(tr("Load Mind"), toQPath(keeper().mindPath())));
    if (chosen.isEmpty()) return;
    if (!closeMindOrAsk()) return;
    openMindFile(fromQPath(chosen), {});
}

void VebixForm::saveMindAsFromMenu() {
    try {
        session_->saveAs();
    } catch (const std::exception& e) {
        // The mind keeps its file; the person may choose another.
        prompts_->error(this, QString::fromUtf8(kMessageCaption), QString::fromUtf8(e.what()));
    }
}

void VebixForm::linkBots() {
    if (!keeper().isBotLoaded()) {
        prompts_->message(this, QString(), tr("Bot not loaded"), QMessageBox::NoIcon);
        return;
    }
    if (conversation().exchangePending()) {
        // A reply is held for its delay. Link mode starts once that exchange is shown and
        // learned: started now, the reply would land in the link conversation, and the window
        // thread would teach the engine while the link thread reads it.
        QTimer::singleShot(kLinkRetryMs, this, [this] { linkBots(); });
        return;
    }
    startLinkMode();
}

void VebixForm::toggleDelay() {
    const bool on = !delayItem_->isChecked();
    // The link thread reads it while it runs.
    session_->setDelayResponses(on);
    delayItem_->setChecked(on);
    Settings settings;
    settings.setDword(Settings::Key::Delay, on ? 1 : 0);
    settings.sync();
}

void VebixForm::showAbout() {
    prompts_->message(this, tr("About Vebix"), tr(kAboutText).arg(fromUtf8(release::kVersion)),
                      QMessageBox::Information);
}

void VebixForm::enableUdlp() {
    UdlpForm dialog(this, &keeper(), *prompts_, programPath_);
    prompts_->exec(dialog);
    if (!dialog.enabled()) return;
    // The info files name the mind's file, and a link program may start the bot at once: a
    // new mind that lives only in memory so far, or lines not yet saved, must be on disk now,
    // not at the next autosave.
    keeper().requestSave();
    try {
        session_->saveNow();
    } catch (const std::exception& e) {
        prompts_->error(this, QString::fromUtf8(kMessageCaption), QString::fromUtf8(e.what()));
    }
}

}  // namespace vebix
