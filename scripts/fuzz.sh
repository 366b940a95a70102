#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (AddressSanitizer and UndefinedBehaviorSanitizer
# on) in build-fuzz/ and runs each for a while, one after the other, at low priority.
#   scripts/fuzz.sh [SECONDS] [TARGET...]    default: 300 seconds each, every target
# Targets: tokenize likeness mindfile udlpinfo chatmsg reply chatlog ircline.
# Each target's corpus lives in build-fuzz/corpus/<target>, seeded on the first run from the
# conversation corpus of the tests (tests/data/corpus), the template mind, the test fixtures and
# the kept regression inputs in tests/data/fuzz/<target>: a clone holds all of it. A crash or hang is written to
# build-fuzz/artifacts/<target>/; keep it in tests/data/fuzz/<target>/ once fixed, where
# the test suite replays it.
# Needs clang, libclang-rt-dev (the fuzzer runtime) and qt6-base-dev.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-300}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(tokenize likeness mindfile udlpinfo chatmsg reply chatlog ircline)
build=${VEBIX_FUZZ_BUILD:-$here/build-fuzz}

cxx=$(command -v clang++-14 || command -v clang++)
cc=$(command -v clang-14 || command -v clang)
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_C_COMPILER="$cc" -DVEBIX_FUZZ=ON -DVEBIX_BUILD_TESTS=OFF \
      -DVEBIX_BUILD_BENCH=OFF >/dev/null
jobs=${VEBIX_JOBS:-2}
for t in "${targets[@]}"; do
    nice -n 10 cmake --build "$build" -j"$jobs" --target "fuzz_$t"
done

seed() {
    local t=$1 dir=$build/corpus/$1
    [ -d "$dir" ] && return 0
    mkdir -p "$dir"
    if [ -d "$here/tests/data/fuzz/$t" ]; then
        find "$here/tests/data/fuzz/$t" -type f -exec cp {} "$dir/" \;
    fi
    python3 - "$t" "$dir" "$here" <<'PY'
import glob, os, sys
t, out, here = sys.argv[1:4]
lines = []
for f in sorted(glob.glob(os.path.join(here, "tests", "data", "corpus", "*.txt"))):
    with open(f, "rb") as fh:
        for i, l in enumerate(fh):
            if i >= 400: break
            l = l.rstrip(b"\r\n")
            if l: lines.append(l)
tmpl = open(os.path.join(here, "app/resources/template_mind.mdd"), "rb").read()
def put(name, data):
    with open(os.path.join(out, name), "wb") as fh: fh.write(data)
if t in ("tokenize", "likeness"):
    for i, l in enumerate(lines[:300]):
        if t == "likeness":
            words = l.split()
            if len(words) >= 2:
                a, b = words[0], words[-1]
                l = bytes([len(a) + 1]) + a + b
        put("line%03d" % i, l)
elif t == "mindfile":
    put("template", tmpl)
    put("v11", b"1.1 1.1 Sam\nk 1 a hi\nk 2 <ai> hello\n")
    put("cr", tmpl.replace(b"\r\n", b"\r"))
    fixture = os.path.join(here, "tests/data/ai/mind_1000.dat")
    if os.path.exists(fixture):
        put("fixture", b'1.2 1.2 "Fix"\r\n\r\n' + open(fixture, "rb").read()[:3000])
elif t == "udlpinfo":
    put("full", b"2\r\n0\r\nvebix\r\nAnn\r\nmind=/m/Ann.mdd\r\nexepath=/opt/vebix/vebix\r\n"
                b"showerrors=true\r\nlearn=false\r\n")
    put("lf", b"2\n0\nvebix\nAnn\nlearn=No\nmind=\nMind=x\n")
    put("short", b"2\r\n")
elif t == "chatmsg":
    put("request", b"Bob\r\nhello there\r\n")
    put("probe", b"Bob\n!#@\n")
    put("reply", b"Hi Bob!\r\n")
    put("cr", b"Bob\rhow are you?\rignored\r")
elif t == "reply":
    body = b"\r\n".join(tmpl.split(b"\r\n")[5:60])
    for i, l in enumerate(lines[:40]):
        head = bytes([i] * 8) + (1700000000 + i).to_bytes(4, "little")
        put("reply%02d" % i, head + b"Bob\0Bob!Bob\0" + l + b"\0" + body)
PY
}

for t in "${targets[@]}"; do
    seed "$t"
    mkdir -p "$build/artifacts/$t"
    echo "== fuzz_$t for $seconds s"
    nice -n 10 "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" \
        "$build/corpus/$t" 2>&1 | tee "$build/fuzz_$t.log" | grep -E '^#[0-9]+.*(pulse|DONE|NEW)|ERROR|stat::' | tail -n 12
done
