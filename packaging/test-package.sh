#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get (so its dependencies resolve), checks
# the installed files, starts each installed program and checks that it shows its window,
# then removes the package again. Runs as root.
#   BUILD_DIR  build folder (default: build-package in the source tree)
# Needs: cmake, ninja-build, dpkg-dev, lintian, Qt 6 development packages; xvfb and x11-utils
# for the window title check (skipped without them); desktop-file-utils for the .desktop check
# (scripts/install-deps.sh --package installs them all).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-package}
package=cc2530-tools

if [ "$(id -u)" -ne 0 ]; then
    echo "test-package.sh: run as root (it installs and removes $package)" >&2
    exit 1
fi

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

echo "== build =="
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target nodeconfig remoteconfig cc2530ctl cc2530-sim docs -j "$(nproc)"
rm -f "$build/$package"_*.deb
(cd "$build" && cpack -G DEB)
shopt -s nullglob
debs=("$build/$package"_*.deb)
shopt -u nullglob
[ ${#debs[@]} -eq 1 ] || fail "expected one package in $build, found ${#debs[@]}"
deb=${debs[0]}

echo "== package metadata =="
dpkg-deb -f "$deb" Package Version Depends Recommends
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib"
done
[[ "$(dpkg-deb -f "$deb" Recommends)" == *fonts-wqy-microhei* ]] || fail "Recommends lacks fonts-wqy-microhei"
[[ "$(dpkg-deb -f "$deb" Maintainer)" == *"<"*"@"*">" ]] || fail "Maintainer lacks an e-mail address"

echo "== lintian =="
command -v lintian >/dev/null || fail "lintian not found (scripts/install-deps.sh --package)"
# Errors fail the test; warnings are shown.
lintian --fail-on error "$deb" || fail "lintian reports errors"

work=$(mktemp -d)
chmod 755 "$work"   # apt's download user reads the package from here
pids=()
installed=0
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    if [ "$installed" -eq 1 ]; then
        echo "== remove =="
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq "$package" >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "== install =="
cp "$deb" "$work/"
local_deb="$work/$(basename "$deb")"
export DEBIAN_FRONTEND=noninteractive
installed=1
if ! apt-get install -y -qq --reinstall "$local_deb"; then
    # The package lists may be stale or missing on a fresh machine.
    apt-get update -qq
    apt-get install -y -qq --reinstall "$local_deb"
fi
dpkg-query -W -f='${Status}\n' "$package" | grep -q "install ok installed" || fail "$package is not installed"

echo "== installed files =="
for f in /usr/bin/nodeconfig /usr/bin/remoteconfig /usr/bin/cc2530ctl /usr/bin/cc2530-sim \
         /usr/share/applications/cc2530-nodeconfig.desktop \
         /usr/share/applications/cc2530-remoteconfig.desktop; do
    [ -e "$f" ] || fail "missing $f"
done
for name in nodeconfig remoteconfig; do
    for dir in 48x48 128x128 256x256; do
        [ -f "/usr/share/icons/hicolor/$dir/apps/cc2530-$name.png" ] || fail "missing $dir icon of $name"
    done
    [ -f "/usr/share/icons/hicolor/scalable/apps/cc2530-$name.svg" ] || fail "missing scalable icon of $name"
done
for name in nodeconfig remoteconfig cc2530ctl cc2530-sim; do
    page=/usr/share/man/man1/$name.1.gz
    [ -f "$page" ] || fail "missing manual page $page"
    LC_ALL=C.UTF-8 man --warnings -l "$page" 2>"$work/man.err" >/dev/null || fail "man cannot show $page"
    [ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "$page has errors"; }
done
# cc2530ctl's page is its --help: every subcommand has its section.
for sub in ports read backup diff restore set send provision; do
    zcat /usr/share/man/man1/cc2530ctl.1.gz | grep -q "^\.SH ${sub^^}\$" || fail "cc2530ctl.1 lacks $sub"
done
for f in copyright changelog.gz; do
    [ -f "/usr/share/doc/$package/$f" ] || fail "missing /usr/share/doc/$package/$f"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate /usr/share/applications/cc2530-*.desktop || fail "invalid .desktop file"
else
    echo "desktop-file-validate not found: .desktop check skipped"
fi

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
errors='could not|cannot|failed to|error while loading|aborted|segmentation'

# Starts an installed program offscreen; it must still run after 2 s without errors.
check_offscreen() {
    local program=$1
    QT_QPA_PLATFORM=offscreen "/usr/bin/$program" >"$work/$program.out" 2>"$work/$program.err" &
    local pid=$!
    pids+=("$pid")
    sleep 2
    kill -0 "$pid" 2>/dev/null || { cat "$work/$program.err" >&2; fail "$program exited early"; }
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    if grep -Eiq "$errors" "$work/$program.err"; then
        cat "$work/$program.err" >&2
        fail "$program reported errors"
    fi
    echo "$program: runs offscreen"
}

# Starts an installed program on a virtual X display and waits for a window with its title.
check_window_title() {
    local program=$1 title=$2 display=$3
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb "/usr/bin/$program" \
        >"$work/$program-x.out" 2>"$work/$program-x.err" &
    local pid=$!
    pids+=("$pid")
    local shown=0
    for _ in $(seq 1 50); do
        if DISPLAY=":$display" xwininfo -root -tree | grep -Fq "\"$title\""; then
            shown=1
            break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    if [ "$shown" -ne 1 ]; then
        cat "$work/$program-x.err" >&2
        fail "$program showed no window titled $title"
    fi
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    if grep -Eiq "$errors" "$work/$program-x.err"; then
        cat "$work/$program-x.err" >&2
        fail "$program reported errors on X"
    fi
    echo "$program: window \"$title\" shown"
}

echo "== programs =="
check_offscreen nodeconfig
check_offscreen remoteconfig

if command -v Xvfb >/dev/null && command -v xwininfo >/dev/null; then
    # Xvfb picks a free display number and writes it to the fd.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
    pids+=("$!")
    for _ in $(seq 1 50); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    display=$(tr -d '\n' <"$work/display")
    [ -n "$display" ] || { cat "$work/xvfb.err" >&2; fail "Xvfb did not start"; }
    check_window_title nodeconfig "CC2530全功能配置工具V1.4" "$display"
    check_window_title remoteconfig "CC2530远程配置工具" "$display"
else
    echo "Xvfb or xwininfo not found: window title check skipped"
fi

# The simulated module opens a pseudo-terminal and ends cleanly on SIGTERM.
/usr/bin/cc2530-sim --print-path-to "$work/sim-path" >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
pids+=("$sim")
for _ in $(seq 1 50); do
    [ -s "$work/sim-path" ] && break
    sleep 0.1
done
sim_path=$(tr -d '\n' <"$work/sim-path" 2>/dev/null || true)
[ -c "$sim_path" ] || { cat "$work/sim.err" >&2; fail "cc2530-sim gave no device path"; }
# The installed command line backs the simulated module up and restores the backup onto it.
/usr/bin/cc2530ctl --help >/dev/null || fail "cc2530ctl --help failed"
/usr/bin/cc2530ctl backup "$sim_path" "$work/profile.json" || fail "cc2530ctl backup failed"
grep -q '"format": "cc2530-profile"' "$work/profile.json" || fail "cc2530ctl wrote no profile"
/usr/bin/cc2530ctl diff "$sim_path" "$work/profile.json" || fail "cc2530ctl diff found differences"
/usr/bin/cc2530ctl restore "$sim_path" "$work/profile.json" --set shortAddress=0002 \
    || fail "cc2530ctl restore failed"
echo "cc2530ctl: backup, diff and restore against $sim_path"

# Failures are told, with their exit codes.
expect_exit() {
    local code=$1 text=$2
    shift 2
    local rc=0
    "$@" >"$work/ctl.out" 2>"$work/ctl.err" || rc=$?
    [ "$rc" -eq "$code" ] || { cat "$work/ctl.err" >&2; fail "$* exited $rc, not $code"; }
    grep -Fq "$text" "$work/ctl.out" "$work/ctl.err" || { cat "$work/ctl.err" >&2; fail "$* did not say: $text"; }
}
expect_exit 2 "no such profile file" /usr/bin/cc2530ctl diff "$sim_path" "$work/missing.json"
expect_exit 1 "the arguments look swapped" /usr/bin/cc2530ctl restore "$work/profile.json" "$sim_path"
mkfifo "$work/fifo"
expect_exit 1 "is not a regular file" /usr/bin/cc2530ctl backup "$sim_path" "$work/fifo"
[ -p "$work/fifo" ] || fail "cc2530ctl backup replaced a FIFO"
echo "cc2530ctl: wrong arguments named"

# A module that hangs up at its fifth frame: writes that went out are told from those that did not.
# Starts a simulated module in another state; its path goes to sim_started.
start_sim() {
    local name=$1
    shift
    /usr/bin/cc2530-sim --other-state --print-path-to "$work/$name-path" "$@" >"$work/$name.out" 2>&1 &
    pids+=("$!")
    for _ in $(seq 1 50); do
        [ -s "$work/$name-path" ] && break
        sleep 0.1
    done
    sim_started=$(tr -d '\n' <"$work/$name-path")
}
start_sim lost --hangup-after-frames 5
lost_path=$sim_started
expect_exit 2 "sent, not verified" /usr/bin/cc2530ctl restore "$lost_path" "$work/profile.json"
grep -q "not sent" "$work/ctl.out" || fail "a restore cut short lists no parameter as not sent"

# SIGINT once node type has gone out: the clear-network frame follows, exit 130.
start_sim slow --unanswered-writes
slow_path=$sim_started
/usr/bin/cc2530ctl restore "$slow_path" "$work/profile.json" --gap-ms 300 >"$work/int.out" 2>&1 &
ctl=$!
for _ in $(seq 1 50); do
    grep -q "^<- FE .. 21 09 87 00" "$work/slow.out" && break
    sleep 0.1
done
kill -INT "$ctl"
rc=0
wait "$ctl" || rc=$?
[ "$rc" -eq 130 ] || { cat "$work/int.out" >&2; fail "interrupted restore exited $rc, not 130"; }
grep -q "^<- FE 05 21 09 03 00 00 01 02 2D" "$work/slow.out" || fail "no clear-network frame after SIGINT"
echo "cc2530ctl: lost line and SIGINT told"

kill -TERM "$sim"
wait "$sim" || fail "cc2530-sim did not end cleanly on SIGTERM"
echo "cc2530-sim: serves on $sim_path"

echo "== remove =="
apt-get remove -y -qq "$package" >/dev/null
installed=0
[ ! -e /usr/bin/nodeconfig ] || fail "/usr/bin/nodeconfig left behind after removal"

echo "== package test passed =="
