#pragma once
// Starting another program, as link mode starts another bot: no shell is involved, the program
// gets its arguments as they are given. The child runs in a working folder of its own; this
// process's working folder never changes.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vebix {

class ChildProcess {
public:
    enum class StartResult {
        Started,
        NotFound,  // the program, or the working folder, or a folder on the way does not exist
        Failed,    // any other reason (see error())
    };
    enum class WaitResult {
        Exited,     // exitCode() holds the status
        Signalled,  // signal() holds the signal that ended it
        TimedOut,   // still running
    };

    ChildProcess() = default;
    // A child still running when this object goes is left running; it is reaped later so that it
    // leaves no zombie behind.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program args[0] with the arguments args, with workingFolder as the child's
    // working folder (empty: this process's). A program path that names a folder is used
    // exactly as given, whatever characters it holds. Standard input is /dev/null; output goes
    // where this process's goes unless discardOutput is set. No program (args empty, or an
    // empty args[0]) is a caller error and gives Failed.
    StartResult start(std::vector<std::string> args, const std::string& workingFolder);

    // Waits for the child to end, at most timeoutMs milliseconds of the clock in force
    // (engine/base/clock.h). With ownGroup, what is left of its process group is ended the
    // moment the child is seen to have ended.
    WaitResult wait(std::uint32_t timeoutMs);
    // Ends a child still running (SIGKILL) and waits for it; nothing when it has ended already.
    // With ownGroup, the whole of its process group is ended.
    void kill();

    // Send the child's standard output and error to /dev/null (set before start).
    bool discardOutput = false;
    // When false, a program named without a folder is not looked up on PATH: it names a file
    // in the working folder, like any other relative path (set before start).
    bool searchPath = true;
    // The child leads a process group of its own, and the programs it starts belong to it
    // unless they leave it (a program that makes a session of its own is its own business).
    // Whatever is left of the group is ended together with the child: when it is seen to end
    // (wait) and when it is killed. Set before start.
    bool ownGroup = false;

    int exitCode() const { return exitCode_; }
    int signal() const { return signal_; }
    int error() const { return error_; }  // errno of a failed start
    pid_t pid() const { return pid_; }

private:
    // Whether the child has ended, seen without reaping it.
    bool ended();
    // Reaps the ended child (ending its group first) and takes its status.
    WaitResult reap();
    // Ends what is left of the child's group, while the child is not yet reaped.
    void endGroup();

    pid_t pid_ = -1;
    bool reaped_ = false;
    int exitCode_ = 0;
    int signal_ = 0;
    int error_ = 0;
};

}  // namespace vebix
