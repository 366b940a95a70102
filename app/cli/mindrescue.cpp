#include "app/cli/mindrescue.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <exception>
#include <ostream>

#include "app/platform/console.h"
#include "app/cli/lineinput.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/mindlock.h"
#include "app/mind/startup.h"
#include "app/platform/filewrite.h"

namespace vebix::cli {
namespace {

QString rescueName(const std::string& mindPath, const QDateTime& when) {
    QString name = QFileInfo(toQPath(mindPath)).fileName();
    if (name.endsWith(QStringLiteral(".mdd"), Qt::CaseInsensitive)) name.chop(4);
    if (name.isEmpty()) name = QStringLiteral("mind");
    return name + QStringLiteral(".rescued-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral(".mdd");
}

std::string linesText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " line" : " lines");
}

// Writes the whole mind beside its file, else in the data folder. Returns 1 either way: the
// mind did not go where it belongs.
int rescue(MindKeeper& keeper, Console& console, const std::string& command) {
    const std::size_t unsaved = keeper.unsavedLineCount();
    const QDateTime now = QDateTime::currentDateTime();
    std::string reason;
    for (const std::string& path : {rescuePathBeside(keeper.mindPath(), now),
                                    rescuePathInDataFolder(keeper.mindPath(), now)}) {
        try {
            QDir().mkpath(QFileInfo(toQPath(path)).absolutePath());
            keeper.saveAs(path);
            keeper.discardMind();
            console.err << "vebix " << command << ": the whole mind, with the "
                        << linesText(unsaved) << " not saved, was written to " << path << std::endl;
            return 1;
        } catch (const std::exception& e) {
            reason = e.what();
        }
    }
    console.err << "vebix " << command << ": no rescue file could be written either (" << reason
                << "); " << linesText(unsaved) << " lost" << std::endl;
    keeper.discardMind();
    return 1;
}

// Asks for another file and writes the whole mind there. False when no file was given or it
// is another front end's mind.
bool saveAs(MindKeeper& keeper, Console& console, const std::string& command,
            const std::string& userName) {
    console.out << "Save the mind as: " << std::flush;
    std::string path;
    if (!LineInput::readPlainLine(console.inFd, path) || path.empty()) return false;
    path = fullPath(path);
    if (mindOpenElsewhere(path, keeper.mindPath())) {
        console.err << "vebix " << command << ": " << path
                    << " is open in another Vebix (a window or a chat); choose another file"
                    << std::endl;
        return false;
    }
    keeper.saveAs(path);
    // The next start opens the mind where it now lives.
    saveSettings(keeper.mindPath(), userName);
    return true;
}

}  // namespace

std::string rescuePathBeside(const std::string& mindPath, const QDateTime& when) {
    const QString folder = QFileInfo(toQPath(mindPath)).absolutePath();
    return fromQPath(QDir(folder).filePath(rescueName(mindPath, when)));
}

std::string rescuePathInDataFolder(const std::string& mindPath, const QDateTime& when) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return fromQPath(QDir(data + QStringLiteral("/vebix")).filePath(rescueName(mindPath, when)));
}

int closeMindOrRescue(MindKeeper& keeper, Console& console, const std::string& command,
                      const std::string& userName) {
    std::string reason;
    try {
        keeper.closeBot();
        return 0;
    } catch (const std::exception& e) {
        reason = e.what();
    }
    bool failed = true;
    for (;;) {
        const std::size_t unsaved = keeper.unsavedLineCount();
        if (failed)
            console.err << "vebix " << command << ": the mind could not be saved: " << reason
                        << std::endl;
        failed = true;
        if (!console.inIsTerminal) return rescue(keeper, console, command);
        console.out << (unsaved == 0 ? std::string("No lines would be lost.")
                                     : linesText(unsaved) + " of this conversation would be lost.")
                    << "\nTry again (after freeing space or fixing the permissions), save As "
                       "another file, or Discard? [t/a/d] "
                    << std::flush;
        std::string answer;
        if (!LineInput::readPlainLine(console.inFd, answer)) {
            console.out << '\n' << std::flush;
            return rescue(keeper, console, command);
        }
        const char choice = answer.empty() ? 't' : static_cast<char>(answer.front() | 0x20);
        try {
            switch (choice) {
                case 't':
                    keeper.closeBot();
                    return 0;
                case 'a':
                    if (!saveAs(keeper, console, command, userName)) {
                        failed = false;
                        continue;
                    }
                    keeper.closeBot();
                    return 0;
                case 'd':
                    keeper.discardMind();
                    return 0;
                default:
                    console.out << "Please answer t (try again), a (save as) or d (discard).\n";
                    failed = false;
                    continue;
            }
        } catch (const std::exception& e) {
            reason = e.what();
        }
    }
}

}  // namespace vebix::cli
