// Loading any bytes as a mind file, header and lines, from memory and from a file: no crash,
// only the two refusals of a mind file or a clean load, the same lines either way, and a mind
// that loaded comes back unchanged when written whole and read again.
#include <sys/mman.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/error.h"
#include "app/mind/vebixai.h"

namespace {

struct Loaded {
    bool ok = false;
    std::string error;
    std::string botName;
    std::vector<std::string> headerLines;
    std::vector<std::string> lines;
};

Loaded capture(vebix::VebixAi& ai, bool ok, std::string error) {
    Loaded l;
    l.ok = ok;
    l.error = std::move(error);
    l.botName = ai.botName();
    l.headerLines = ai.headerLines();
    l.lines.assign(ai.lines().begin(), ai.lines().end());
    return l;
}

template <typename F>
Loaded load(F&& f) {
    vebix::VebixAi ai;
    try {
        f(ai);
    } catch (const vebix::Error& e) {
        const std::string m = e.what();
        if (m != "Not a valid Vebix mind file" && m != "Incompatible mind file") std::abort();
        return capture(ai, false, m);
    }
    return capture(ai, true, {});
}

const QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const Loaded fromText =
        load([&](vebix::VebixAi& ai) { ai.loadText("fuzz.mdd", text, vebix::TextLines::Copied); });

    const int fd = ::memfd_create("mind", 0);
    if (fd < 0) std::abort();
    if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
    const std::string fdPath = "/proc/self/fd/" + std::to_string(fd);
    const Loaded fromFile = load([&](vebix::VebixAi& ai) { ai.loadFile(fdPath); });
    ::close(fd);

    // A NUL byte ends a line in a file; elsewhere both readers agree.
    if (text.find('\0') == std::string::npos) {
        if (fromText.ok != fromFile.ok || fromText.error != fromFile.error ||
            fromText.botName != fromFile.botName || fromText.lines != fromFile.lines ||
            fromText.headerLines != fromFile.headerLines)
            std::abort();
    }

    // Written whole and read back: the same name, header lines and mind lines. A line that
    // still starts with a byte-order mark after reading loses that one too when read again (a
    // header line of nothing but the mark then even ends the header), so such minds are left
    // out; so is a name with a double quote, which the header line cannot hold.
    auto bomFree = [](const std::vector<std::string>& v) {
        for (const std::string& l : v)
            if (std::string_view(l).starts_with("\xEF\xBB\xBF")) return false;
        return true;
    };
    if (fromFile.ok && fromFile.botName.find('"') == std::string::npos && bomFree(fromFile.lines) &&
        bomFree(fromFile.headerLines)) {
        const std::string path = QDir(folder().path()).filePath("m.mdd").toStdString();
        {
            vebix::VebixAi ai;
            ai.setFileName(path);
            ai.setBotName(fromFile.botName);
            ai.setHeaderLines(fromFile.headerLines);
            for (const std::string& l : fromFile.lines) ai.appendLine(l);
            ai.saveAll();
        }
        const Loaded back = load([&](vebix::VebixAi& ai) { ai.loadFile(path); });
        ::unlink(path.c_str());
        if (!back.ok || back.botName != fromFile.botName || back.lines != fromFile.lines ||
            back.headerLines != fromFile.headerLines)
            std::abort();
    }
    return 0;
}
