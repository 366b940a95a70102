#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ai/ai.h"
#include "base/error.h"
#include "myfile/readline.h"

namespace vebix {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string_view dropBom(std::string_view line) {
    if (line.starts_with(kBom)) line.remove_prefix(kBom.size());
    return line;
}

// Sets flag for the lifetime of the guard (also when an error passes).
class FlagGuard {
public:
    FlagGuard(bool& flag, bool value) : flag_(flag), old_(flag) { flag_ = value; }
    ~FlagGuard() { flag_ = old_; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
    bool old_;
};

// The mode a new file gets from open(): 0666 less the umask.
mode_t defaultFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::size_t Ai::loadFile(const std::string& name) {
    lines.clear();
    fileName = name;
    std::error_code ec;
    if (!std::filesystem::exists(name, ec)) return 0;

    FilePtr file(std::fopen(name.c_str(), "rb"));
    if (!file) throw Error("Unable to load AI file '" + name + "'");

    FlagGuard copying(keepViews_, false);
    std::string line;
    while (readLine(line, file.get())) {
        // A line ends at a NUL byte as well: what follows it on the same line is dropped.
        std::string_view view = line;
        if (std::size_t nul = view.find('\0'); nul != std::string_view::npos)
            view = view.substr(0, nul);
        acceptLoadedLine(dropBom(view));
    }
    if (std::ferror(file.get())) throw Error("Read error while loading AI file '" + name + "'");
    finishLoading();
    return lines.size();
}

std::size_t Ai::loadText(const std::string& name, std::string_view text, bool copyLines) {
    lines.clear();
    fileName = name;
    FlagGuard views(keepViews_, !copyLines);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        std::string_view line;
        if (end == std::string_view::npos) {
            line = text.substr(pos);
            pos = text.size();
        } else {
            line = text.substr(pos, end - pos);
            pos = end + 1;
            if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
        }
        acceptLoadedLine(dropBom(line));
    }
    finishLoading();
    return lines.size();
}

void Ai::saveFile(const std::string& name, bool clearModified) {
    // Written beside the target and renamed over it only when complete and on disk, so that a
    // failure or a crash half-way leaves the old file as it was.
    std::string tempName = name + ".XXXXXX";
    int fd = ::mkstemp(tempName.data());
    if (fd < 0) throw Error("Unable to create AI file '" + name + "'");

    struct stat st {};
    mode_t mode = ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 07777)
                                                                          : defaultFileMode();
    ::fchmod(fd, mode);

    FilePtr file(::fdopen(fd, "wb"));
    if (!file) {
        ::close(fd);
        ::unlink(tempName.c_str());
        throw Error("Unable to create AI file '" + name + "'");
    }
    auto fail = [&] {
        file.reset();
        ::unlink(tempName.c_str());
        throw Error("Unable to finish saving AI file '" + name + "'");
    };
    for (std::string_view line : lines) {
        if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) fail();
        if (std::fwrite("\r\n", 1, 2, file.get()) != 2) fail();
    }
    if (std::fflush(file.get()) != 0 || ::fsync(::fileno(file.get())) != 0) fail();
    if (std::fclose(file.release()) != 0) {
        ::unlink(tempName.c_str());
        throw Error("Unable to finish saving AI file '" + name + "'");
    }
    if (std::rename(tempName.c_str(), name.c_str()) != 0) {
        ::unlink(tempName.c_str());
        throw Error("Unable to finish saving AI file '" + name + "'");
    }
    // Make the rename itself durable.
    std::string folder = std::filesystem::path(name).parent_path().string();
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    if (clearModified) modified = false;
}

}  // namespace vebix
