#pragma once
// The terminal commands' exit statuses are the program's (app/platform/exitstatus.h).

#include "app/platform/exitstatus.h"

namespace vebix::cli {
using vebix::ExitStatus;
using enum vebix::ExitStatus;
}  // namespace vebix::cli
