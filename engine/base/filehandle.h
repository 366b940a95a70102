#pragma once
// Owners that close a C stream or a file descriptor when they go, so that every early return
// and every exception path closes what was opened. Where the result of closing matters (a file
// just written), release() and close it by hand to see the error.

#include <cstdio>
#include <memory>

#include <unistd.h>

namespace vebix {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A file descriptor closed on destruction; -1 holds nothing.
class FdHandle {
public:
    FdHandle() = default;
    explicit FdHandle(int fd) : fd_(fd) {}
    ~FdHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdHandle(const FdHandle&) = delete;
    FdHandle& operator=(const FdHandle&) = delete;
    FdHandle(FdHandle&& other) noexcept : fd_(other.release()) {}
    FdHandle& operator=(FdHandle&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

}  // namespace vebix
