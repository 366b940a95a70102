#include "app/chat/chatsession.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <exception>

#include "app/chat/conversation.h"
#include "app/mind/mindlock.h"
#include "app/mind/startup.h"
#include "app/platform/filewrite.h"
#include "app/platform/settings.h"
#include "engine/ai/mindline.h"
#include "engine/base/clock.h"
#include "engine/base/random.h"

namespace vebix {
namespace {

QString rescueName(const std::string& mindPath, std::int64_t secondsSince1970) {
    QString name = QFileInfo(toQPath(mindPath)).fileName();
    if (name.endsWith(QStringLiteral(".mdd"), Qt::CaseInsensitive)) name.chop(4);
    if (name.isEmpty()) name = QStringLiteral("mind");
    const QDateTime when = QDateTime::fromSecsSinceEpoch(secondsSince1970);
    return name + QStringLiteral(".rescued-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral(".mdd");
}

}  // namespace

std::string rescuePathBeside(const std::string& mindPath, std::int64_t secondsSince1970) {
    const QString folder = QFileInfo(toQPath(mindPath)).absolutePath();
    return fromQPath(QDir(folder).filePath(rescueName(mindPath, secondsSince1970)));
}

std::string rescuePathInDataFolder(const std::string& mindPath, std::int64_t secondsSince1970) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return fromQPath(
        QDir(data + QStringLiteral("/vebix")).filePath(rescueName(mindPath, secondsSince1970)));
}

// ---- questions answered with nobody there ------------------------------------------------------

std::string ChatSession::NameQuestion::fallback() const {
    if (!current.empty()) return current;
    if (!lastUsed.empty()) return lastUsed;
    if (loginName && !loginName->empty()) return *loginName;
    return "user";
}

// A mind another front end keeps is that front end's: opening it too would mix the lines of
// two conversations out of order, and there is nobody to say it is wanted.
std::string ChatSession::UnattendedFrontEnd::askAboutHeldMind(const std::string&) { return {}; }

std::optional<std::string> ChatSession::UnattendedFrontEnd::askName(const NameQuestion& question) {
    return question.fallback();
}

ChatSession::AfterFailedSave ChatSession::UnattendedFrontEnd::askAfterFailedSave(
    const SaveFailure&) {
    return AfterFailedSave::Rescue;
}

std::string ChatSession::UnattendedFrontEnd::askSaveAsPath(const std::string&) { return {}; }

// ---- the session -------------------------------------------------------------------------------

ChatSession::ChatSession(FrontEnd& frontEnd, Options options, QObject* parent)
    : QObject(parent),
      frontEnd_(frontEnd),
      options_(std::move(options)),
      delayResponses_(options_.delayResponses),
      conversation_(new Conversation(keeper_, delayResponses_, this)) {
    setObjectName(QStringLiteral("chatSession"));
    keeper_.setPrepareReplies(options_.prepareReplies);
    autosaveTimer_ = new QTimer(this);
    autosaveTimer_->setObjectName(QStringLiteral("autosaveTimer"));
    autosaveTimer_->setInterval(MindKeeper::kAutosaveIntervalMs);
    connect(autosaveTimer_, &QTimer::timeout, this, &ChatSession::autosave);
}

ChatSession::~ChatSession() {
    // A held reply must not outlive the keeper it would be learned into.
    delete conversation_;
}

std::string ChatSession::speakerId() const {
    return vebix::speakerId(userName_, options_.localTag);
}

void ChatSession::setUserName(const std::string& name) {
    userName_ = name;
    if (keeper_.bot()) saveSettings(keeper_.mindPath(), userName_);
}

bool ChatSession::say(const std::string& typed) { return conversation().say(speakerId(), typed); }

ChatSession::Opened ChatSession::open(const std::string& path,
                                      const MindKeeper::LoadOptions& options) {
    frontEnd_.showLoading();
    // Whatever was shown about saving belonged to the mind before.
    if (saveFailing_) {
        saveFailing_ = false;
        frontEnd_.showSaveFailingOver();
    }

    MindKeeper::LoadOptions load = options;
    std::string chosen = path;
    MindKeeper::Loaded loaded;
    while ((loaded = keeper_.loadMind(chosen, load)) == MindKeeper::Loaded::HeldElsewhere) {
        const std::string held = keeper_.mindPath();
        chosen = frontEnd_.askAboutHeldMind(held);
        if (chosen.empty()) return Opened::NoMind;
        load.openHeldMind = fullPath(chosen) == held;
    }
    frontEnd_.showMindLoaded(keeper_.mindPath());
    if (!options_.withPerson) {
        startAutosave();
        return Opened::Greeted;
    }

    NameQuestion question;
    question.current = userName_;
    question.lastUsed = Settings().findString(Settings::Key::LastUserName).value_or(std::string());
    question.loginName = options_.loginName;
    const std::optional<std::string> name = frontEnd_.askName(question);
    if (!name) {
        // Nobody to talk to: the session ends without writing anything.
        keeper_.discardMind();
        autosaveTimer_->stop();
        return Opened::Ended;
    }
    userName_ = *name;

    // A new mind always opens the conversation; a loaded one half of the time.
    VebixAi& mind = *keeper_.bot();
    std::string opening;
    if (loaded == MindKeeper::Loaded::New || (rng::next() & 1u) != 0)
        opening = mind.openingLine(userName_);
    if (!opening.empty())
        mind.addAiLine(speakerId(), std::to_string(keeper_.lastLineTime()), opening);
    frontEnd_.showGreeting(userName_, opening);
    saveSettings(keeper_.mindPath(), userName_);
    startAutosave();
    return Opened::Greeted;
}

// ---- saving ------------------------------------------------------------------------------------

void ChatSession::startAutosave() {
    if (!autosaveTimer_->isActive()) autosaveTimer_->start();
}

void ChatSession::autosave() {
    try {
        keeper_.autosaveTick();
    } catch (const std::exception& e) {
        // Once, not at every tick; the next ticks try again.
        if (!saveFailing_) {
            saveFailing_ = true;
            frontEnd_.showSaveFailing(e.what());
        }
        return;
    }
    // A tick may pass without saving: the failure is over only once nothing is left unsaved.
    if (!keeper_.hasUnsavedLines() && !keeper_.saveRequested()) savingWorks();
}

void ChatSession::savingWorks() {
    if (!saveFailing_) return;
    saveFailing_ = false;
    frontEnd_.showSaveFailingOver();
}

void ChatSession::saveNow() {
    keeper_.saveNow();
    savingWorks();
}

bool ChatSession::saveAs() {
    if (!saveMindAs(keeper_, frontEnd_, userName_)) return false;
    savingWorks();
    return true;
}

bool saveMindAs(MindKeeper& keeper, ChatSession::FrontEnd& frontEnd, const std::string& userName) {
    if (!keeper.bot()) return false;
    const std::string chosen = frontEnd.askSaveAsPath(keeper.mindPath());
    if (chosen.empty()) return false;
    const std::string full = fullPath(chosen);
    // Written over a mind another front end keeps open, the file would lose that front end's
    // lines at its next whole write, and its hold on the file.
    if (mindOpenElsewhere(full, keeper.mindPath())) {
        frontEnd.showSaveAsRefused(full);
        return false;
    }
    keeper.saveAs(full);
    // The next start opens the mind where it now lives.
    saveSettings(keeper.mindPath(), userName);
    return true;
}

// ---- closing -----------------------------------------------------------------------------------

ChatSession::Closed ChatSession::close() {
    frontEnd_.showClosing();
    const Closed closed = saveOrAsk(
        keeper_, frontEnd_, [this] { keeper_.closeBot(); }, userName_);
    if (closed != Closed::KeptOpen) savingWorks();
    return closed;
}

namespace {

// Writes keeper's mind to a rescue file beside it, else in the data folder, and releases it.
ChatSession::Closed rescue(MindKeeper& keeper, ChatSession::FrontEnd& frontEnd) {
    const std::size_t unsaved = keeper.unsavedLineCount();
    const std::int64_t now = clock().nowSeconds();
    std::string reason;
    for (const std::string& path : {rescuePathBeside(keeper.mindPath(), now),
                                    rescuePathInDataFolder(keeper.mindPath(), now)}) {
        try {
            QDir().mkpath(QFileInfo(toQPath(path)).absolutePath());
            const bool whole = keeper.writeRescue(path);
            keeper.discardMind();
            frontEnd.showRescued(path, unsaved, whole);
            return ChatSession::Closed::Rescued;
        } catch (const std::exception& e) {
            reason = e.what();
        }
    }
    keeper.discardMind();
    frontEnd.showRescueFailed(reason, unsaved);
    return ChatSession::Closed::Lost;
}

}  // namespace

ChatSession::Closed saveOrAsk(MindKeeper& keeper, ChatSession::FrontEnd& frontEnd,
                              const std::function<void()>& save, const std::string& userName) {
    using Closed = ChatSession::Closed;
    using AfterFailedSave = ChatSession::AfterFailedSave;
    std::string reason;
    try {
        save();
        return Closed::Saved;
    } catch (const std::exception& e) {
        reason = e.what();
    }
    // The save failed and the mind still holds every line: they are not dropped without the
    // person's word.
    bool newFailure = true;
    for (;;) {
        const AfterFailedSave answer =
            frontEnd.askAfterFailedSave({reason, keeper.unsavedLineCount(), newFailure});
        newFailure = true;
        try {
            switch (answer) {
                case AfterFailedSave::TryAgain:
                    save();
                    return Closed::Saved;
                case AfterFailedSave::SaveAs:
                    if (!saveMindAs(keeper, frontEnd, userName)) {
                        newFailure = false;
                        continue;
                    }
                    save();
                    return Closed::Saved;
                case AfterFailedSave::Discard:
                    keeper.discardMind();
                    return Closed::Discarded;
                case AfterFailedSave::KeepOpen:
                    return Closed::KeptOpen;
                case AfterFailedSave::Rescue:
                    return rescue(keeper, frontEnd);
            }
        } catch (const std::exception& e) {
            reason = e.what();
        }
    }
}

}  // namespace vebix
