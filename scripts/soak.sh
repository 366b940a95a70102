#!/usr/bin/env bash
# The long soak: 10,000 bot-mode exchanges (or the count given) against one mind with learning
# on, each a run of the built program; the mind must grow by exactly two lines per exchange and
# still load. With --leaks the sanitizer build (build-asan/) is used, so that every run is also
# checked for leaks by LeakSanitizer; use a smaller count there, such as 500.
#   scripts/soak.sh [COUNT] [--leaks]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
count=${1:-10000}
build=$here/build
[ "${2:-}" = "--leaks" ] && build=$here/build-asan
[ -x "$build/tests/vebix_e2e_tests" ] || { echo "build $build first (scripts/vebix-dev test)" >&2; exit 2; }
VEBIX_SOAK_EXCHANGES=$count exec "$build/tests/vebix_e2e_tests" --gtest_filter='Soak.*'
