#pragma once
// The exit statuses of the program, as its manual page lists them.

namespace vebix {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailure = 1,       // an error, or a check that found something wrong
    kExitUsage = 2,         // the command line cannot be understood
    kExitNoReply = 3,       // `reply`: the mind has no answer
    kExitInterrupted = 130  // ended by Ctrl-C (or SIGTERM) before anything was written
};

}  // namespace vebix
