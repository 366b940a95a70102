#pragma once
// Reading one input of `vebix learn` whole: a file, or standard input for "-". Reads in big
// blocks, reports progress after each, and stops early when asked to.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "app/cli/inputbytes.h"

namespace vebix::cli {

struct ReadProgress {
    std::uint64_t bytes = 0;  // read so far
    std::uint64_t total = 0;  // the input's size, or 0 when not known (a pipe)
    std::uint64_t lines = 0;  // line feeds read so far
};

struct InputRead {
    InputBytes bytes;
    std::string error;         // the system's reason when the input could not be read
    bool interrupted = false;  // stop turned true before the end
};

// Reads the input called name ("-": the descriptor stdinFd) to its end. progress, when given,
// is called after each block. stop is looked at between blocks and while waiting for input.
InputRead readInput(const std::string& name, int stdinFd, const std::atomic<bool>& stop,
                    const std::function<void(const ReadProgress&)>& progress);

}  // namespace vebix::cli
