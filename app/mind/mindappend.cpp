#include "app/mind/mindappend.h"

#include <QFileInfo>

#include <optional>

#include "app/mind/mindfileformat.h"
#include "app/platform/filewrite.h"
#include "app/mind/mindlock.h"
#include "app/mind/mindwrite.h"
#include "app/mind/templatemind.h"
#include "app/mind/vebixai.h"
#include "engine/base/error.h"
#include "engine/base/linestream.h"

namespace vebix {

std::string emptyMindText(const std::string& botName) {
    VebixAi mind;
    mind.setBotName(botName);
    std::string text;
    mind.writeHeader([&text](std::string_view bytes) { text += bytes; });
    return text;
}

std::string botNameForPath(const std::string& path) {
    QString name = QFileInfo(toQPath(path)).completeBaseName();
    name.remove(QLatin1Char(mindfile::kNameQuote));
    name = name.trimmed();
    return name.isEmpty() ? std::string("Vebix") : name.toStdString();
}

void ExistingMind::forEachLine(const std::function<void(std::string_view)>& take) const {
    if (fd_ < 0) return;
    LineStream stream(fd_, size_, path_);
    LineStream::Line line;
    while (stream.next(line)) take(line.text);
}

void ExistingMind::forEachRun(const std::function<void(std::string_view, std::uint64_t)>& lines,
                              const std::function<void(std::string_view)>& line) const {
    if (fd_ < 0) return;
    LineStream stream(fd_, size_, path_);
    std::string_view run;
    std::uint64_t offset = 0;
    LineStream::Line cut;
    while (stream.nextLines(run, offset, cut)) {
        if (cut.cut)
            line(cut.text);
        else
            lines(run, offset);
    }
}

void forEachMindLine(const std::string& path, const std::function<void(std::string_view)>& take) {
    std::optional<MindToRead> mind =
        openMindToRead(path, "Unable to read mind file '" + path + "'");
    if (!mind) return;
    ExistingMind(mind->file.fd.get(), mind->state.size, path).forEachLine(take);
}

MindAppendResult appendToMind(const std::string& path, NewMindStart start,
                              const MindLinesProducer& produce, const FileOps& ops) {
    MindWrite writing(path, {}, ops);
    // Checked under the lock: a window that opened the mind meanwhile would later save its own
    // lines over the import.
    if (mindOpenElsewhere(path, {}))
        throw Error("the mind '" + path +
                    "' is open in another Vebix (a window or a chat); close it there first");

    // Looked at under the lock, after a torn append was cut back: what another writer saved
    // before this one took the lock is kept.
    const MindFileState now = writing.current();
    if (now.exists && now.size > 0) {
        std::optional<MindToRead> mind =
            openMindToRead(path, "Unable to read mind file '" + path + "'");
        if (mind && mind->state.size > 0) {
            const ExistingMind existing(mind->file.fd.get(), mind->state.size, path);
            // A file that is no mind (a letter given by mistake) is refused before produce.
            writing.append([&](const ByteSink& sink) { produce(existing, sink); });
            return {};
        }
    }

    const std::string text = start == NewMindStart::Template ? std::string(templateMindText())
                                                             : emptyMindText(botNameForPath(path));
    const ByteProducer whole = [&](const ByteSink& sink) {
        sink(text);
        produce(ExistingMind(), sink);
    };
    if (now.exists) {
        writing.replace(whole);
    } else if (!writing.create(whole)) {
        throw Error("Unable to save mind file '" + path +
                    "': another program made it meanwhile; nothing was written, try again");
    }
    MindAppendResult result;
    result.created = true;
    return result;
}

}  // namespace vebix
