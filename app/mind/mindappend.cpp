#include "app/mind/mindappend.h"

#include <QFileInfo>

#include <unistd.h>

#include <cerrno>
#include <optional>

#include "app/mind/mindfileformat.h"
#include "app/platform/filewrite.h"
#include "app/mind/mindlock.h"
#include "app/mind/mindwrite.h"
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
                              const MindLinesProducer& produce, const FileOps& ops) {
    MindWrite writing(path, {}, ops);
    // Checked under the lock: a window that opened the mind meanwhile would later save its own
    // lines over the import.
    if (mindOpenElsewhere(path, {}))
        throw Error("the mind '" + path +
                    "' is open in another Vebix (a window or a chat); close it there first");

    // Read under the lock, after a torn append was cut back: what another writer saved before
    // this one took the lock is kept.
    const MindFileState now = writing.current();
    std::string old;
    if (now.exists) {
        const std::string failure = "Unable to read mind file '" + path + "'";
        std::optional<MindToRead> mind = openMindToRead(path, failure);
        if (mind) {
            old.resize(mind->state.size);
            std::size_t done = 0;
            while (done < old.size()) {
                const ssize_t got = ::pread(mind->file.fd.get(), old.data() + done,
                                            old.size() - done, static_cast<off_t>(done));
                if (got < 0 && errno == EINTR) continue;
                if (got < 0) throw systemError(failure, errno);
                if (got == 0) break;
                done += static_cast<std::size_t>(got);
            }
            old.resize(done);
        }
    }

    MindAppendResult result;
    std::string_view separator;  // what goes between the old bytes and the new lines
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
        if (old.back() != '\n' && old.back() != '\r') separator = mindfile::kLineEnd;
        // The empty line a version 1.2 header lacks: without it the new lines would be read as
        // key=value lines, and the mind would never learn them.
        static const std::string kTwoLineEnds =
            std::string(mindfile::kLineEnd) + std::string(mindfile::kLineEnd);
        if (mindHeaderLacksEnd(old, path))
            separator = separator.empty() ? mindfile::kLineEnd : std::string_view(kTwoLineEnds);
    }

    const std::string_view existing = result.created ? std::string_view() : std::string_view(old);
    const ByteProducer whole = [&](const ByteSink& sink) {
        sink(old);
        sink(separator);
        produce(existing, sink);
    };
    if (now.exists) {
        writing.replace(whole);
    } else if (!writing.create(whole)) {
        throw Error("Unable to save mind file '" + path +
                    "': another program made it meanwhile; nothing was written, try again");
    }
    return result;
}

}  // namespace vebix
