#pragma once
// Advisory locks on a mind file, so that two front ends do not both keep one mind open and no
// two writes to it run at the same time. Open-file-description locks on two single bytes of the
// mind file itself, far beyond its contents:
//  - the "held open" byte, held by a front end (the window) for as long as it keeps the mind
//    loaded; taken without waiting, so that a second front end finds it taken and can ask;
//  - the "writing" byte, held only while one write to the file runs (an append, or a whole
//    write through a temporary file and a rename); taken waiting for another writer to finish.
// Bot mode never looks at the held lock (it answers for a mind open in a window) but writes
// under the writing lock like everyone else. Such locks belong to one open file, not to the
// process: two holders in one process conflict as two processes do. They are advisory: a
// program that does not ask is not stopped.

#include <functional>
#include <string>

namespace vebix {

class MindLock {
public:
    enum class Outcome {
        Held,           // this object now holds the mind open
        HeldElsewhere,  // another holder has it; this object holds nothing
        NoFile          // no file to lock at that path (or it cannot be opened); nothing held
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

// Held while one write to the mind file at path runs: the constructor waits until no other
// writer holds the file and takes it; the destructor releases it. When no file exists at path
// nothing is locked (a file written whole appears through a rename). Should the file be
// replaced while waiting, the new file is locked instead. onWait, when given, is called (on the
// waiting thread) when the lock is found taken, just before waiting.
class MindWriteLock {
public:
    explicit MindWriteLock(const std::string& path, const std::function<void()>& onWait = {});
    ~MindWriteLock();
    MindWriteLock(const MindWriteLock&) = delete;
    MindWriteLock& operator=(const MindWriteLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace vebix
