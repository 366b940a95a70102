#pragma once
// The advisory lock that keeps two front ends from both keeping one mind open: an
// open-file-description lock on one byte of the mind file itself, far beyond its contents, held
// by a front end (the window) for as long as it keeps the mind loaded; taken without waiting, so
// that a second front end finds it taken and can ask. Bot mode never looks at it (it answers
// for a mind open in a window). Writes to the mind take a lock of their own, one write at a
// time (mindwrite.h). Such locks belong to one open file, not to the process: two holders in
// one process conflict as two processes do. They are advisory: a program that does not ask is
// not stopped.

#include <string>

namespace vebix {

class MindLock {
public:
    enum class Outcome {
        Held,           // this object now holds the mind open
        HeldElsewhere,  // another holder has it; this object holds nothing
        NoFile  // no regular file to lock at that path (or it cannot be opened); nothing held
    };

    MindLock() = default;
    ~MindLock();
    MindLock(const MindLock&) = delete;
    MindLock& operator=(const MindLock&) = delete;

    // Holds the file at path open, without waiting. When this object already holds that very
    // file (the same file, not only the same name) it stays held; otherwise what it held
    // before is released first.
    Outcome hold(const std::string& path);
    // Releases what is held, if anything.
    void release();
    bool holds() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Whether another front end holds the mind file at path open (a file about to be replaced by a
// new mind or a Save As). ownMind names the mind this front end holds itself, which never
// counts; empty when it holds none. False when no file is at path.
bool mindOpenElsewhere(const std::string& path, const std::string& ownMind);

}  // namespace vebix
