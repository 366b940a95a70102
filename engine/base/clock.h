#pragma once
// The one clock of the program: wall time in whole seconds since 1970 (stamps of learned lines,
// recency, autosave) and a millisecond tick count (response delays, time-outs).
//
// It is process-wide on purpose: every learned line is stamped deep inside the engine, and time
// must be steerable in tests without threading a clock through every engine call. Nothing in the
// program reads the system clock any other way, and nothing waits with a time limit except
// through sleepMs and waitReadable, so a replaced clock governs all of it.

#include <cstdint>

namespace vebix {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since 1970-01-01 00:00 UTC.
    virtual std::uint32_t nowSeconds() = 0;
    // A monotonic millisecond count with an arbitrary origin.
    virtual std::uint64_t tickMs() = 0;
    // Lets at least ms milliseconds pass.
    virtual void sleepMs(std::uint32_t ms) = 0;
    // Waits until the descriptor fd is readable (a pid descriptor of a child that ended, a
    // pipe with data), at most ms milliseconds of this clock. True when it is readable.
    virtual bool waitReadable(int fd, std::uint32_t ms) = 0;
};

// The clock in force (the system clock unless replaced). Outside namespace vebix write
// vebix::clock(), since the C library has a clock() of its own.
Clock& clock();

// Puts replacement in force (null: the system clock again) and returns the clock that was. The
// caller keeps replacement alive while it is in force.
Clock* replaceClock(Clock* replacement);

}  // namespace vebix
