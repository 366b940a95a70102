#pragma once
// The system calls of a save, made to fail one at a time (or to end the process there, as a
// kill would): a FileOps handed to the code under test in place of the system's own.

#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "app/mind/vebixai.h"
#include "app/platform/safefile.h"

namespace vebix::testing {

class FailingOps : public FileOps {
public:
    enum class Mode {
        Fail,   // the call fails with error, as a full disk or a broken device would
        Crash,  // the process ends at the call (a write half done first), as a kill would
    };

    // The call numbered failAt (from 0, all kinds counted together) fails; -1: none does.
    explicit FailingOps(int failAt = -1, Mode mode = Mode::Fail, int error = EIO)
        : failAt_(failAt), mode_(mode), error_(error) {}

    // The calls made so far, by kind: "write", "sync", "truncate", "rename".
    const std::vector<std::string>& calls() const { return calls_; }

    long writeAt(int fd, const char* data, std::size_t size, off_t offset) const override {
        if (hit("write")) {
            if (mode_ == Mode::Crash) {
                // Half of it reached the file, then the process was gone.
                const long done = FileOps::writeAt(fd, data, size / 2, offset);
                (void)done;
                ::_exit(0);
            }
            errno = error_;
            return -1;
        }
        return FileOps::writeAt(fd, data, size, offset);
    }
    int sync(int fd) const override { return hit("sync") ? failed() : FileOps::sync(fd); }
    int truncate(int fd, off_t length) const override {
        return hit("truncate") ? failed() : FileOps::truncate(fd, length);
    }
    int rename(const std::string& from, const std::string& to, Rename mode) const override {
        return hit("rename") ? failed() : FileOps::rename(from, to, mode);
    }

private:
    bool hit(const char* kind) const {
        calls_.emplace_back(kind);
        return static_cast<int>(calls_.size()) - 1 == failAt_;
    }
    int failed() const {
        if (mode_ == Mode::Crash) ::_exit(0);
        errno = error_;
        return -1;
    }

    int failAt_;
    Mode mode_;
    int error_;
    mutable std::vector<std::string> calls_;
};

// Lets a test hand a mind its own FileOps (VebixAi keeps the system's otherwise).
class MindFileOps {
public:
    static void use(VebixAi& mind, const FileOps& ops) { mind.fileOps_ = &ops; }
};

}  // namespace vebix::testing
