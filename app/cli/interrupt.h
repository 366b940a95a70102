#pragma once
// The terminal commands' interrupt watch is the program's (app/platform/interrupt.h).

#include "app/platform/interrupt.h"

namespace vebix::cli {
using vebix::InterruptWatch;
}  // namespace vebix::cli
