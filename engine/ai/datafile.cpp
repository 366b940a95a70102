#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/ai/ai.h"
#include "engine/base/error.h"
#include "engine/base/filehandle.h"
#include "engine/base/lines.h"

namespace vebix {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

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
    lines_.clear();
    fileName_ = name;
    std::error_code ec;
    if (!std::filesystem::exists(name, ec)) return 0;

    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Error("Unable to load AI file '" + name + "'");
    const FdHandle closer(fd);

    // The whole file in one block that the line list keeps: the lines are views into it, so a
    // big mind is read at the speed of the disk and costs no copy. The file may still grow while
    // it is read; whatever is there when the end is met is loaded.
    struct stat st {};
    std::size_t capacity = ::fstat(fd, &st) == 0 && st.st_size > 0
                               ? static_cast<std::size_t>(st.st_size) + 1
                               : std::size_t{1} << 16;
    auto block = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t size = 0;
    for (;;) {
        if (size == capacity) {
            auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
            std::memcpy(bigger.get(), block.get(), size);
            block = std::move(bigger);
            capacity *= 2;
        }
        const ssize_t got = ::read(fd, block.get() + size, capacity - size);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw Error("Read error while loading AI file '" + name + "'");
        }
        size += static_cast<std::size_t>(got);
    }
    const std::string_view text(block.get(), size);
    lines_.adopt(std::move(block));
    lines_.reserve(size / 64 + 16);  // about the lines of a mind; the list grows if need be
    // NUL bytes are rare: only when the file holds one is each line searched for it.
    const bool hasNul = std::memchr(text.data(), '\0', size) != nullptr;

    // Lines end at CR, LF or CR LF, as the line reader has them; a line also ends at a NUL
    // byte (what follows it on the same line is dropped).
    FlagGuard views(keepViews_, true);
    forEachLine(text, [&](std::string_view line) {
        if (hasNul)
            if (std::size_t nul = line.find('\0'); nul != std::string_view::npos)
                line = line.substr(0, nul);
        acceptLoadedLine(dropBom(line));
    });
    finishLoading();
    return lines_.size();
}

std::size_t Ai::loadText(const std::string& name, std::string_view text, TextLines keep) {
    lines_.clear();
    fileName_ = name;
    FlagGuard views(keepViews_, keep == TextLines::Viewed);
    forEachLine(text, [&](std::string_view line) { acceptLoadedLine(dropBom(line)); });
    finishLoading();
    return lines_.size();
}

void Ai::saveFile(const std::string& name, AfterSave after) {
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
    for (std::string_view line : lines_) {
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
    if (after == AfterSave::ClearModified) modified_ = false;
}

}  // namespace vebix
