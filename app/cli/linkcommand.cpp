// Stub until the command is built: it refuses to run.
#include <ostream>

#include "app/cli/commands.h"
#include "app/cli/console.h"
#include "app/cli/exitstatus.h"

namespace vebix::cli {

int runLinkCommand(const QStringList& arguments, Console& console) {
    (void)arguments;
    console.err << "vebix link: not available yet" << std::endl;
    return kExitFailure;
}

}  // namespace vebix::cli
