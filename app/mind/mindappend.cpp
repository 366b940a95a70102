#include "app/mind/mindappend.h"

#include <QFile>
#include <QFileInfo>

#include "app/mind/mindfileformat.h"
#include "app/mind/mindlock.h"
#include "app/mind/templatemind.h"
#include "app/mind/vebixai.h"
#include "engine/base/error.h"

namespace vebix {
namespace {

// The first line of bytes, without a leading byte-order mark.
std::string_view firstLine(std::string_view bytes) {
    if (bytes.starts_with(mindfile::kByteOrderMark))
        bytes.remove_prefix(mindfile::kByteOrderMark.size());
    return bytes.substr(0, bytes.find_first_of("\r\n"));
}

}  // namespace

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

MindAppendResult appendToMind(const std::string& path, NewMindStart start,
                              const MindLinesProducer& produce) {
    const std::string failure = "Unable to save mind file '" + path + "'";
    MindWriteLock writing(path);
    // Checked under the lock: a window that opened the mind meanwhile would later save its own
    // lines over the import.
    if (mindOpenElsewhere(path, {}))
        throw Error("the mind '" + path +
                    "' is open in another Vebix (a window or a chat); close it there first");

    QFile file(toQPath(path));
    std::string old;
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            throw Error("Unable to read mind file '" + path +
                        "': " + file.errorString().toStdString());
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw Error("Unable to read mind file '" + path +
                        "': " + file.errorString().toStdString());
        old.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        file.close();
    }

    MindAppendResult result;
    if (old.empty()) {
        result.created = true;
        old = start == NewMindStart::Template ? std::string(templateMindText())
                                              : emptyMindText(botNameForPath(path));
    } else {
        // Appending to anything else (a letter given by mistake) would damage it.
        try {
            VebixAi probe;
            probe.parseHeaderLine(firstLine(old));
        } catch (const Error& e) {
            throw Error("'" + path + "': " + e.what());
        }
    }

    const std::string_view existing = result.created ? std::string_view() : std::string_view(old);
    writeWholeFile(
        toQPath(path),
        [&](const ByteSink& sink) {
            sink(old);
            if (!old.empty() && old.back() != '\n' && old.back() != '\r') sink(mindfile::kLineEnd);
            produce(existing, sink);
        },
        failure);
    return result;
}

}  // namespace vebix
