#!/usr/bin/env bash
# Checks that every tracked C++ source is laid out as .clang-format says:
#   scripts/check-format.sh [FILE...]        names each file that differs and exits 1, or exits 0
#   scripts/check-format.sh --fix [FILE...]  rewrites those files in place
# With no FILE, all tracked .cpp and .h files outside tests/data. Generated or embedded tables
# (.inc) are not sources and are left as they are. Different clang-format versions lay out a few
# constructs differently; the layout is the one clang-format 14 gives.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

fix=0
if [ "${1:-}" = --fix ]; then
    fix=1
    shift
fi

if command -v clang-format-14 >/dev/null; then
    format=clang-format-14
elif command -v clang-format >/dev/null; then
    format=clang-format
    if ! clang-format --version | grep -q 'version 14\.'; then
        echo "check-format: $(clang-format --version) is not version 14;" \
             "it may lay out some lines differently" >&2
    fi
else
    echo "check-format: clang-format is not installed (apt-get install clang-format-14)" >&2
    exit 2
fi

if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h' ':!:tests/data/*')
fi
[ ${#files[@]} -gt 0 ] || exit 0

# One run over all the files: --dry-run reports each unformatted place as
# "file:line:col: error: code should be clang-formatted"; a file is named once.
set +e
report=$("$format" --dry-run --Werror --ferror-limit=1 "${files[@]}" 2>&1)
status=$?
set -e
pattern='^(.*):[0-9]+:[0-9]+: error: code should be clang-formatted.*'
mapfile -t differ < <(sed -nE "s/$pattern/\\1/p" <<<"$report" | sort -u)
if [ $status -ne 0 ] && [ ${#differ[@]} -eq 0 ]; then
    # Not a layout difference: a bad .clang-format, a missing file...
    echo "$report" >&2
    exit 2
fi
[ ${#differ[@]} -eq 0 ] && exit 0

if [ $fix = 1 ]; then
    "$format" -i "${differ[@]}"
    printf 'reformatted %s\n' "${differ[@]}"
    exit 0
fi
printf '%s\n' "${differ[@]}"
echo "check-format: ${#differ[@]} file(s) differ from .clang-format;" \
     "scripts/check-format.sh --fix rewrites them" >&2
exit 1
