#!/usr/bin/env bash
# Shared library of the end-to-end tests: runs tarvex.exe under Wine on a private
# virtual X display and looks at it from outside.
#
# A test script does:
#     source "$(dirname "$0")/lib.sh"
#     e2e_setup                 # own scratch dir, Wine prefix, Xvfb, openbox, cleanup trap
#     e2e_start                 # starts tarvex.exe, sets PID and WID
#     ... checks (e2e_fail "why" ends the test with a message) ...
#     e2e_pass
#
# Environment (all optional):
#   TARVEX_WIN_BUILD_DIR  Windows build dir holding tarvex.exe and the helper .exe files
#                         (default: <source>/build/win)
#   TARVEX_EXE            the program to test (default: $TARVEX_WIN_BUILD_DIR/tarvex.exe)
#   TARVEX_TOOLS          folder of wintool.exe, memstat.exe, idlewin.exe (default: the build dir)
#   E2E_WORK              where the booted prefix template and the scratch dirs live
#                         (CTest sets <native build>/e2e; default /tmp/tarvex-e2e-<uid>)
#   E2E_LANG              locale of the test (default ja_JP.UTF-8; e2e_setup takes it as argument too)
#   E2E_KEEP=1            keep the scratch dir after the test (screenshots, logs)
#   E2E_WM=0              run without openbox
#   E2E_WARM=0            do not start the prefix's wineserver ahead of the program
#   E2E_DEADLINE=S        end the test (with cleanup) after S seconds (default 200, 0 = never)
#
# Cleanup ends only what the test itself started: the exe's process, the wineserver
# of the test's own prefix (wineserver -k with that WINEPREFIX), openbox and Xvfb by PID.
#
# Functions are stable: later additions go at the end, nothing is renamed.

set -uo pipefail

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_SRC=$(cd "$E2E_DIR/../.." && pwd)
: "${TARVEX_WIN_BUILD_DIR:=$E2E_SRC/build/win}"
: "${TARVEX_EXE:=$TARVEX_WIN_BUILD_DIR/tarvex.exe}"
: "${TARVEX_TOOLS:=$TARVEX_WIN_BUILD_DIR}"
: "${E2E_WORK:=${TMPDIR:-/tmp}/tarvex-e2e-$(id -u)}"
: "${E2E_LANG:=ja_JP.UTF-8}"
: "${E2E_WM:=1}"
EXE=$TARVEX_EXE
TOOLS=$TARVEX_TOOLS
TITLE=${E2E_TITLE:-Tarvex}   # caption of the main window
TEST_NAME=$(basename "${0:-e2e}" .sh)

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# --------------------------------------------------------------------------
# Messages and results
# --------------------------------------------------------------------------
e2e_log() { echo "[$TEST_NAME $(date +%T)] $*" >&2; }
e2e_note() { echo "NOTE: $*" >&2; }
# e2e_fail MESSAGE: ends the test as failed.
e2e_fail() {
    echo "FAIL: $*" >&2
    E2E_RESULT=1
    exit 1
}
# e2e_check COND_DESCRIPTION CMD...: records a failure but goes on (the test fails at the end).
E2E_SOFT_FAILS=0
e2e_check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what" >&2
    else
        echo "FAIL: $what" >&2
        E2E_SOFT_FAILS=$((E2E_SOFT_FAILS + 1))
    fi
}
# e2e_expect_eq WHAT EXPECTED ACTUAL: soft check of equality with a readable message.
e2e_expect_eq() {
    if [ "$2" = "$3" ]; then
        echo "ok: $1 = '$3'" >&2
    else
        echo "FAIL: $1: expected '$2', got '$3'" >&2
        E2E_SOFT_FAILS=$((E2E_SOFT_FAILS + 1))
    fi
}
# e2e_pass: ends the test; fails when any soft check failed.
e2e_pass() {
    if [ "$E2E_SOFT_FAILS" -gt 0 ]; then
        echo "FAIL: $E2E_SOFT_FAILS check(s) failed" >&2
        exit 1
    fi
    echo "PASS" >&2
    exit 0
}
# e2e_skip MESSAGE: the test cannot run here (CTest reports it as skipped, code 77).
e2e_skip() {
    echo "SKIP: $*" >&2
    exit 77
}

# --------------------------------------------------------------------------
# Prefix template: one wineboot per run, copied by every test
# --------------------------------------------------------------------------
E2E_TEMPLATE="$E2E_WORK/prefix-template"

# e2e_boot_template: boots the template prefix once (locked; a second caller waits).
e2e_boot_template() {
    mkdir -p "$E2E_WORK"
    (
        flock -w 300 9 || { echo "cannot lock $E2E_WORK/template.lock" >&2; exit 1; }
        # A booted template is reused by later runs until Wine itself changes.
        if [ -f "$E2E_TEMPLATE/.booted" ] && ! [ "$(readlink -f "$(command -v wineserver)")" -nt "$E2E_TEMPLATE/.booted" ]; then
            exit 0
        fi
        rm -rf "$E2E_TEMPLATE"
        mkdir -p "$E2E_TEMPLATE"
        local t0=$SECONDS
        # wineboot needs no display; an unset DISPLAY keeps it from opening windows.
        if ! (unset DISPLAY; export WINEPREFIX="$E2E_TEMPLATE"
              timeout 180 wineboot -i >/dev/null 2>&1; timeout 60 wineserver -w); then
            echo "wineboot failed" >&2
            (export WINEPREFIX="$E2E_TEMPLATE"; wineserver -k 2>/dev/null)
            exit 1
        fi
        # The user's Desktop would be a link to $HOME: make it a real folder so
        # that nothing a test does can land in the home directory.
        local d
        for d in "$E2E_TEMPLATE"/drive_c/users/*/; do
            case "$d" in */Public/) continue ;; esac
            local u
            for u in Desktop Documents Downloads Music Pictures Videos Templates; do
                if [ -L "$d$u" ]; then rm -f "$d$u"; mkdir -p "$d$u"; fi
            done
        done
        touch "$E2E_TEMPLATE/.booted"
        echo "prefix template booted in $((SECONDS - t0)) s" >&2
    ) 9>"$E2E_WORK/template.lock"
}

# --------------------------------------------------------------------------
# Per-test setup and cleanup
# --------------------------------------------------------------------------
T=""
PID=""
WID=""
XPID=""
WMPID=""
E2E_BG_PIDS=()

# e2e_setup [LANG]: scratch dir $T, prefix $T/pfx (WINEPREFIX), Xvfb display, openbox, trap.
e2e_setup() {
    local lang=${1:-$E2E_LANG}
    [ -f "$EXE" ] || e2e_fail "program not built: $EXE"
    [ -f "$TOOLS/wintool.exe" ] || e2e_fail "helper not built: $TOOLS/wintool.exe"
    e2e_boot_template || e2e_fail "could not boot the Wine prefix template"
    mkdir -p "$E2E_WORK/runs"
    T=$(mktemp -d "$E2E_WORK/runs/$TEST_NAME.XXXXXX")
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
    # Watchdog: end the test through its own cleanup before CTest's timeout (300 s)
    # would kill the shell and leave Xvfb and the wineserver behind.
    if [ "${E2E_DEADLINE:-200}" -gt 0 ]; then
        ( sleep "${E2E_DEADLINE:-200}" &
          echo $! >"$T/.watchdog.pid"
          wait $!
          echo "FAIL: test ran longer than ${E2E_DEADLINE:-200} s" >&2
          kill -TERM $$ ) 2>/dev/null &
        E2E_BG_PIDS+=($!)
    fi
    cp -a "$E2E_TEMPLATE" "$T/pfx" || e2e_fail "cannot copy the prefix template"
    export WINEPREFIX="$T/pfx"
    export LANG=$lang LC_ALL=$lang
    E2E_LANG=$lang
    E2E_DESKTOP=$(ls -d "$WINEPREFIX"/drive_c/users/*/Desktop 2>/dev/null | grep -v /Public/ | head -1)

    # -r: no key repeat, so that a key the X server holds down cannot type into windows
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -r 3>"$T/display" 2>"$T/xvfb.log" &
    XPID=$!
    local i
    for i in $(seq 100); do [ -s "$T/display" ] && break; sleep 0.1; done
    [ -s "$T/display" ] || e2e_fail "Xvfb did not start"
    export DISPLAY=:$(tr -d '\n' <"$T/display")
    if [ "$E2E_WM" = 1 ]; then
        openbox --sm-disable >"$T/openbox.log" 2>&1 &
        WMPID=$!
        # openbox is ready when it has set the root window's _NET_SUPPORTING_WM_CHECK
        for i in $(seq 50); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
            sleep 0.1
        done
    fi
    # A running wineserver makes the program's start quick (about 0.8 s instead of 2 s),
    # so that the first second after start can be observed. Cleanup ends it.
    if [ "${E2E_WARM:-1}" = 1 ]; then
        wineserver -p 2>/dev/null
    fi
    # Keep the pointer away from where the gadget appears.
    xdotool mousemove 1270 790 2>/dev/null || true
    e2e_log "setup: T=$T DISPLAY=$DISPLAY LANG=$lang"
}

# e2e_bg CMD...: runs a command in the background and has cleanup end it (by PID).
e2e_bg() {
    "$@" &
    E2E_BG_PIDS+=($!)
}

e2e_cleanup() {
    local rc=$?
    set +e
    if [ -n "$PID" ]; then
        kill -KILL "$PID" 2>/dev/null
        wait "$PID" 2>/dev/null
    fi
    local p
    for p in "${E2E_BG_PIDS[@]}"; do
        kill -KILL "$p" 2>/dev/null
        wait "$p" 2>/dev/null
    done
    [ -n "$T" ] && [ -s "$T/.watchdog.pid" ] && kill "$(cat "$T/.watchdog.pid")" 2>/dev/null
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null
        timeout 20 wineserver -w 2>/dev/null
    fi
    [ -n "$WMPID" ] && kill "$WMPID" 2>/dev/null
    [ -n "$XPID" ] && kill "$XPID" 2>/dev/null
    [ -n "$WMPID" ] && wait "$WMPID" 2>/dev/null
    [ -n "$XPID" ] && wait "$XPID" 2>/dev/null
    if [ -n "$T" ] && [ -d "$T" ]; then
        if [ "${E2E_KEEP:-0}" = 1 ] || { [ "$rc" -ne 0 ] && [ "$rc" -ne 77 ]; }; then
            # keep screenshots and logs of a failed test, not the 700 MB prefix
            rm -rf "$T/pfx"
            [ "$rc" -ne 0 ] && [ "$rc" -ne 77 ] && echo "artifacts kept in $T" >&2
        else
            rm -rf "$T"
        fi
    fi
    exit "$rc"
}

# --------------------------------------------------------------------------
# Windows helpers
# --------------------------------------------------------------------------
# wintool ARGS...: runs the Win32 helper in the test's prefix; output without CR.
wintool() {
    wine "$TOOLS/wintool.exe" "$@" 2>/dev/null | tr -d '\r'
}
# memstat: "total_bytes avail_bytes" as Windows reports them in this prefix.
memstat() {
    wine "$TOOLS/memstat.exe" 2>/dev/null | tr -d '\r'
}

# --------------------------------------------------------------------------
# Program start, windows, exit
# --------------------------------------------------------------------------
# e2e_start [EXE]: starts the program, sets PID and WID (waits for the "Tarvex" window)
# and E2E_FIRST_GEOM (geometry at first sight).
e2e_start() {
    local exe=${1:-$EXE}
    E2E_START_TIME=$(date +%s.%N)
    if [ -n "$PID" ] && kill -0 "$PID" 2>/dev/null; then
        e2e_fail "e2e_start: the previous instance (PID $PID) is still running"
    fi
    wine "$exe" >"$T/exe.out" 2>&1 &
    PID=$!
    WID=$(wait_window "^${TITLE}\$" 40) || e2e_fail "no visible '$TITLE' window within 40 s"
    # X geometry at first sight ("X Y W H"), taken at once: the first second matters.
    E2E_FIRST_GEOM=$(win_geometry "$WID")
    E2E_WINDOW_TIME=$(date +%s.%N)
    e2e_log "started: PID=$PID WID=$WID after $(echo "$E2E_WINDOW_TIME - $E2E_START_TIME" | bc) s"
}

# wait_window REGEX [TIMEOUT_S]: prints the X id of the first visible window whose
# name matches REGEX (anchor it!). Fails after the timeout.
wait_window() {
    local re=$1 to=${2:-20} w end
    end=$(($(date +%s) + to))
    while [ "$(date +%s)" -le "$end" ]; do
        w=$(xdotool search --onlyvisible --name "$re" 2>/dev/null | head -1)
        if [ -n "$w" ]; then
            echo "$w"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# wait_no_window REGEX [TIMEOUT_S]: waits until no visible window matches.
wait_no_window() {
    local re=$1 to=${2:-20} end
    end=$(($(date +%s) + to))
    while [ "$(date +%s)" -le "$end" ]; do
        xdotool search --onlyvisible --name "$re" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# wait_until TIMEOUT_S CMD...: polls CMD every 0.1 s until it succeeds.
wait_until() {
    local to=$1 end
    shift
    end=$(($(date +%s%N) / 1000000 + to * 1000))
    while [ $(($(date +%s%N) / 1000000)) -le "$end" ]; do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# win_geometry WID: "X Y W H" of the window on the screen (outer = client for the gadget).
win_geometry() {
    xwininfo -id "$1" 2>/dev/null | awk '
        /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}

# client_to_screen WID X Y: screen coordinates of client point (X,Y) (no frame).
client_to_screen() {
    local g
    read -r -a g <<<"$(win_geometry "$1")"
    echo "$((g[0] + $2)) $((g[1] + $3))"
}

# twips_to_px T: the program's conversion (15 twips per pixel, rounded half away from zero).
twips_to_px() {
    awk -v t="$1" 'BEGIN { v = t / 15; printf "%d\n", (v < 0) ? -int(-v + 0.5) : int(v + 0.5) }'
}

# wait_exit PID [TIMEOUT_S]: waits for the process to end; fails on timeout.
wait_exit() {
    local p=$1 to=${2:-20}
    timeout "$to" tail --pid="$p" -f /dev/null
}

# close_request [TITLE]: posts WM_CLOSE to the window (as the system does on a close request).
close_request() {
    wintool close "${1:-$TITLE}"
}

# e2e_close_and_wait [TIMEOUT_S]: close request to the gadget, wait for the process to end.
e2e_close_and_wait() {
    close_request || e2e_fail "close request found no '$TITLE' window"
    wait_exit "$PID" "${1:-20}" || e2e_fail "the program did not end within ${1:-20} s after WM_CLOSE"
    PID=""
}

# mouse_park: moves the pointer to a corner where nothing of the program is.
mouse_park() { xdotool mousemove 1270 790 2>/dev/null; }

# --------------------------------------------------------------------------
# Screenshots and pixels
# --------------------------------------------------------------------------
# screenshot WID FILE: PNG of the window contents as on the screen.
screenshot() {
    import -window "$1" "$2" 2>/dev/null
}
# screenshot_root FILE: PNG of the whole screen.
screenshot_root() {
    import -window root "$1" 2>/dev/null
}
# pixel FILE X Y: colour of one pixel as RRGGBB (upper case hex).
pixel() {
    convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null | cut -c1-6 | tr 'a-f' 'A-F'
}
# screen_pixel X Y: colour of one pixel of the screen as RRGGBB.
screen_pixel() {
    local f="$T/.px.png"
    import -window root -crop "1x1+$1+$2" +repage "$f" 2>/dev/null
    pixel "$f" 0 0
}

# decode_digits FILE [X0 Y0]: reads the gadget's digit cells from a screenshot whose
# top-left is the window's (or at X0,Y0 of a bigger picture). Prints one line:
#   "MM/DD hh:mm TTTT.TTT FFFF.FFF"   (? for a cell that shows no exact glyph)
decode_digits() {
    python3 "$E2E_DIR/tools/digits.py" "$@"
}

# --------------------------------------------------------------------------
# Settings store (HKCU\Software\Tarvex\startup, read while the prefix's wineserver runs)
# --------------------------------------------------------------------------
REG_KEY='HKCU\Software\Tarvex\startup'

# reg_get NAME: prints the stored text exactly (blanks kept); status 1 when absent.
reg_get() {
    local out
    out=$(wine reg query "$REG_KEY" /v "$1" 2>/dev/null | tr -d '\r') || return 1
    case "$E2E_LANG" in ja_JP*) out=$(printf '%s' "$out" | iconv -f CP932 -t UTF-8 2>/dev/null || printf '%s' "$out") ;; esac
    printf '%s\n' "$out" | awk -v k="$1" '
        $1 == k && $2 ~ /^REG_/ { found = 1; sub(/^    [^ ]+    REG_[A-Z_]+(    )?/, ""); print; exit }
        END { exit found ? 0 : 1 }'
}
# reg_set NAME VALUE: stores a text value (REG_SZ).
reg_set() {
    wine reg add "$REG_KEY" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
}
# reg_delete NAME: removes one value (absent is fine).
reg_delete() {
    wine reg delete "$REG_KEY" /v "$1" /f >/dev/null 2>&1 || true
}

# --------------------------------------------------------------------------
# Process cost (CPU seconds, resident memory)
# --------------------------------------------------------------------------
proc_cpu() { awk -v t="$(getconf CLK_TCK)" '{printf "%.2f\n", ($14 + $15) / t}' "/proc/$1/stat"; }
proc_rss_kb() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
# prefix_wineserver_pid: PID of the wineserver that serves $WINEPREFIX.
prefix_wineserver_pid() {
    local key p
    key=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
    for p in /proc/[0-9]*; do
        case "$(readlink "$p/cwd" 2>/dev/null)" in */"$key") echo "${p#/proc/}"; return 0 ;; esac
    done
    return 1
}

# --------------------------------------------------------------------------
# Picture checks (tools/img.py)
# --------------------------------------------------------------------------
# img ring FILE | ink FILE X Y W H | diff A B X Y W H | count FILE RRGGBB X Y W H
img() { python3 "$E2E_DIR/tools/img.py" "$@"; }

# --------------------------------------------------------------------------
# Gadget-specific waits and places (window pixels)
# --------------------------------------------------------------------------
STATUS_RECT="6 74 154 14"         # interior of the status bar, where `info` draws
BRACH_CENTER="146 17"             # settings button b_rach (1935,75 twips; 35 x 25 px)

# digits_now: decodes the gadget's digits from a fresh screenshot.
digits_now() {
    screenshot "$WID" "$T/.digits.png" && decode_digits "$T/.digits.png"
}

# wait_settled [TIMEOUT_S]: waits until the first memory tick has drawn the total
# (upper strip no longer 0000.000), then a little longer for the settle step to
# finish. Status 1 (after the timeout) when the strip never changed.
wait_settled() {
    local to=${1:-8} end d
    end=$(($(date +%s) + to))
    while [ "$(date +%s)" -le "$end" ]; do
        d=$(digits_now 2>/dev/null)
        case "$d" in
            *" 0000.000 "*|"") ;;
            *) sleep 0.3; return 0 ;;
        esac
        sleep 0.1
    done
    return 1
}

# click_client X Y: left click at a point of the gadget's client area.
click_client() {
    local p
    p=$(client_to_screen "$WID" "$1" "$2")
    xdotool mousemove ${p% *} ${p#* } click 1
}

# tooltips_of_pid WINPID: number of tooltip windows owned by a Windows process.
tooltips_of_pid() {
    wintool list | grep -c "pid=$1 .*class=tooltips_class32" || true
}
# owned_count [TITLE]: number of top-level windows (tooltips, dialogs, any class)
# owned by the window. Wine 8 ignores HWND_TOPMOST for a window that owns any.
owned_count() {
    wintool owned "${1:-$TITLE}" | grep -c '^hwnd=' || true
}

# set_user_formats SHORT_DATE TIME: the user's short date and time formats of the
# test's prefix (Wine's ja-JP default short date is yyyy/M/d; Windows' is yyyy/MM/dd).
set_user_formats() {
    wine reg add 'HKCU\Control Panel\International' /v sShortDate /t REG_SZ /d "$1" /f >/dev/null 2>&1 &&
        wine reg add 'HKCU\Control Panel\International' /v sTimeFormat /t REG_SZ /d "$2" /f >/dev/null 2>&1
}

# shot_before_move FILE [TIMEOUT_S]: for a start whose load place differs from its
# settled place (first start, empty store). Takes pictures of the window until it
# leaves the place where it first appeared and keeps the last one taken while it
# was still there: the most complete picture of the first second (the settle step
# moves the window before anything it changed is repainted). Status 1 when no
# picture was taken before the move; 2 when the window never moved.
shot_before_move() {
    local f=$1 to=${2:-8} first end g got=0
    first=$(cut -d' ' -f1,2 <<<"$E2E_FIRST_GEOM")
    end=$(($(date +%s) + to))
    while [ "$(date +%s)" -le "$end" ]; do
        screenshot "$WID" "$T/.before_move.png"
        g=$(win_geometry "$WID" | cut -d' ' -f1,2)
        if [ "$g" != "$first" ]; then
            E2E_MOVED_TO=$g
            [ "$got" = 1 ] && return 0
            return 1
        fi
        mv "$T/.before_move.png" "$f"
        got=1
    done
    return 2
}

# Running the library directly: "lib.sh boot-template" boots the template prefix (CTest fixture).
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    case "${1:-}" in
        boot-template) e2e_boot_template ;;
        *) echo "usage: $0 boot-template" >&2; exit 2 ;;
    esac
fi
