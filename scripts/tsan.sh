#!/usr/bin/env bash
# The threaded tests under ThreadSanitizer, in build-tsan/: the process-wide random generator
# drawn from two threads, the process starter waiting with a time-out, the link turn exchange
# and link mode's loop on a thread of its own handing window work over, and the window's link
# mode (BotLinkThread) against a second copy of the program, including Link Bots chosen while a
# reply waits out its delay (LinkModeTest.LinkBotsChosenWhileAReplyWaitsStartsAfterIt), and the
# mind's write lock waited for from another thread, and a mind's replies prepared on a thread of
# its own while the mind learns (MindKeeperTest.PreparedReplies...) and the lock that takes turns. Any data race fails the run. Qt itself is not built with ThreadSanitizer, so what it orders with its own locks is invisible
# here (scripts/tsan.supp leaves accesses inside Qt out); the hand-over to the window thread and
# the end of the link thread also pass through locks of our own, which the checker sees.
#   scripts/tsan.sh [ctest arguments]     (VEBIX_TSAN_TESTS=REGEX picks other tests)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$here/build-tsan
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEBIX_TSAN=ON \
      -DVEBIX_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" >/dev/null
targets=(vebix_base_tests vebix_myfile_tests vebix_app_tests vebix_gui_tests vebix)
cmake --build "$build" -j"${VEBIX_JOBS:-$(nproc)}" --target "${targets[@]}"
cd "$build"
# Only the programs built here; halt on the first race so that it is reported as a failure.
tests=${VEBIX_TSAN_TESTS:-'^(Random|Clock|ProcessTest|LinkExchange|LinkLoop|LinkModeTest|MindLock|FairMutex|MindKeeperTest.Prepared)'}
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$here/scripts/tsan.supp} \
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -R "$tests" "$@"
