#!/usr/bin/env bash
# Checks a built Debian package of Vebix the way a person installing it would meet it:
#   scripts/check-package.sh build-package/vebix_1.2.02-1_amd64.deb
# - lintian accepts it (no errors; warnings are shown),
# - the desktop entry and the metainfo it installs validate, and agree with each other,
# - its Depends name the Qt and libedit libraries the program links, and apt can satisfy them,
# - it installs the chat-room bot's systemd user unit, which starts the installed program,
# - unpacked into a throw-away root, the installed program prints its version, teaches a new
#   mind from a text file, and answers one bot-mode exchange (CHAT.MSG in its working folder,
#   the mind named by UDLPX.NFO, learning on, no display) with status 0, the reply written and
#   both lines learned,
# - the MIME type it installs recognises a mind file by its contents, with or without the
#   byte-order mark.
# Everything happens in a temporary folder (HOME and XDG_* included) removed at the end; nothing
# is installed on the system. Needs lintian, desktop-file-utils, appstream, dpkg-dev and
# libglib2.0-bin (scripts/vebix-dev package installs them).
set -euo pipefail

deb=${1:?usage: $0 PACKAGE.deb}
[ -f "$deb" ] || { echo "check-package: no such file: $deb" >&2; exit 2; }
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok    $*"; }
fail() { failed=$((failed + 1)); echo "FAIL  $*"; }
check() { # check NAME COMMAND...: runs the command, counts it, shows its output when it fails
    local name=$1
    shift
    local out
    if out=$("$@" 2>&1); then pass "$name"; else fail "$name"; echo "$out" | sed 's/^/      /'; fi
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# lintian: errors fail the check; warnings and the rest are printed for people to read.
lintian_out=$tmp/lintian.txt
lintian_status=0
lintian --fail-on error --display-info "$deb" >"$lintian_out" 2>&1 || lintian_status=$?
echo "== lintian"
grep -v 'running with root privileges' "$lintian_out" || true
if [ "$lintian_status" -eq 0 ] && ! grep -q '^E: ' "$lintian_out"; then
    pass "lintian reports no error"
else
    fail "lintian reports no error (status $lintian_status)"
fi

root=$tmp/root
dpkg-deb -x "$deb" "$root"
desktop=$root/usr/share/applications/org.vebix.Vebix.desktop
metainfo=$root/usr/share/metainfo/org.vebix.Vebix.metainfo.xml
check "desktop entry validates" desktop-file-validate "$desktop"
check "metainfo validates" appstreamcli validate --no-net "$metainfo"
check "installed tree validates (metainfo, desktop entry, icon)" \
    appstreamcli validate-tree --no-net "$root"

depends=$(dpkg-deb -f "$deb" Depends)
echo "== Depends: $depends"
for lib in libqt6core6 libqt6widgets6 libqt6gui6 libqt6network6 libedit2 libstdc++6; do
    if grep -q "\b$lib\b" <<<"$depends"; then pass "depends on $lib"; else fail "depends on $lib"; fi
done

# apt would install it here: every dependency is known and can be had. (A simulation: nothing
# is installed.)
check "apt-get accepts it (simulated install)" apt-get install -s -qq "$deb"

# The installed program, run from the throw-away root with a home of its own and no display.
vebix=$root/usr/bin/vebix
home=$tmp/home
mkdir -p "$home"
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
        XDG_STATE_HOME="$home/.local/state" XDG_DOCUMENTS_DIR="$home/Documents" "$@"
}

version=$(run "$vebix" --version 2>&1) || true
if [ "$version" = "vebix $(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')" ]; then
    pass "vebix --version prints the package's version ($version)"
else
    fail "vebix --version prints the package's version (got: $version)"
fi

# The chat-room bot: its help, and the user unit that starts it from a config file by name.
if run "$vebix" irc --help 2>&1 | grep -q '^Usage: vebix irc MIND'; then
    pass "vebix irc --help shows its usage"
else
    fail "vebix irc --help shows its usage"
fi
unit=$root/usr/lib/systemd/user/vebix-irc@.service
if [ -f "$unit" ] && grep -qx 'ExecStart=/usr/bin/vebix irc --config %i' "$unit"; then
    pass "the user unit vebix-irc@.service starts the installed program"
else
    fail "the user unit vebix-irc@.service starts the installed program"
fi
if command -v systemd-analyze >/dev/null; then
    # A unit file of its own name, so that the instance's %i resolves.
    cp "$unit" "$tmp/vebix-irc@robo.service"
    sed -i "s|/usr/bin/vebix|$vebix|" "$tmp/vebix-irc@robo.service"
    mkdir -m 700 "$tmp/run"
    # Accepted without a word: a value it cannot read is only a warning to systemd-analyze.
    verify_unit() {
        local out
        out=$(XDG_RUNTIME_DIR="$tmp/run" systemd-analyze --user verify --man=no "$1" 2>&1) &&
            [ -z "$out" ] || { echo "$out"; return 1; }
    }
    check "systemd-analyze accepts the user unit" verify_unit "$tmp/vebix-irc@robo.service"
fi

bot=$tmp/bot
mkdir -p "$bot"
printf 'hello there\nhi! how are you today?\n\ndo you like music?\nI love music, mostly jazz.\n' \
    >"$tmp/talk.txt"
check "vebix learn makes a new mind" run "$vebix" learn "$bot/Bot.mdd" --empty "$tmp/talk.txt" --bot '$b'
# A mind's lines are the non-empty lines after the first empty one (the header ends there).
mind_lines() { awk 'body && /[^\r]/ { n++ } /^\r?$/ { body = 1 } END { print n + 0 }' "$1"; }
lines_before=$(mind_lines "$bot/Bot.mdd")

printf '2\r\n0\r\nvebix\r\nBot\r\nmind=%s\r\nshowerrors=false\r\nlearn=true\r\n' \
    "$bot/Bot.mdd" >"$bot/UDLPX.NFO"
printf 'Tester\r\ndo you like music?\r\n' >"$bot/CHAT.MSG"
status=0
(cd "$bot" && run "$vebix" >"$tmp/bot.out" 2>&1) || status=$?
if [ "$status" -eq 0 ]; then pass "bot mode exits with status 0"; else
    fail "bot mode exits with status 0 (status $status)"; sed 's/^/      /' "$tmp/bot.out"; fi
reply=$(cat "$bot/CHAT.MSG" 2>/dev/null || true)
if [[ "$reply" == *$'\r' && "$reply" != Tester* && $(printf '%s' "$reply" | wc -l) -eq 0 ]]; then
    pass "bot mode wrote one reply line (${reply%$'\r'})"
else
    fail "bot mode wrote one reply line (CHAT.MSG: $(printf '%q' "$reply"))"
fi
lines_after=$(mind_lines "$bot/Bot.mdd")
if [ "$lines_before" -gt 0 ] && [ "$lines_after" -eq $((lines_before + 2)) ] &&
    grep -qF ' Tester!Tester do you like music?' "$bot/Bot.mdd" &&
    grep -qF " <ai> $reply" "$bot/Bot.mdd"; then
    pass "bot mode learned the message and its reply ($lines_before -> $lines_after lines)"
else
    fail "bot mode learned the message and its reply ($lines_before -> $lines_after lines)"
fi

# The MIME type, from the installed XML alone: a mind is known by its first bytes.
mime=$tmp/mime/share
mkdir -p "$mime/mime/packages"
cp "$root/usr/share/mime/packages/"*.xml "$mime/mime/packages/"
update-mime-database "$mime/mime" 2>/dev/null
cp "$bot/Bot.mdd" "$tmp/with-bom"
tail -c +4 "$bot/Bot.mdd" >"$tmp/without-bom"
printf 'not a mind\n' >"$tmp/plain"
for f in with-bom:application/x-vebix-mind without-bom:application/x-vebix-mind plain:text/plain; do
    name=${f%%:*} want=${f#*:}
    got=$(XDG_DATA_DIRS="$mime:/usr/share" XDG_DATA_HOME="$tmp/mime/none" \
        gio info -a standard::content-type "$tmp/$name" | sed -n 's/.*content-type: //p')
    if [ "$got" = "$want" ]; then pass "file type of $name is $want"; else
        fail "file type of $name is $want (got: $got)"; fi
done

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
