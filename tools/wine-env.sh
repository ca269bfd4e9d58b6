#!/usr/bin/env bash
# Project-local Wine environment for running and testing the Windows build.
#
#   wine-env.sh prefix BUILD_DIR ARCH   create the prefix BUILD_DIR/wineprefix if missing (ARCH win32|win64)
#   wine-env.sh start  BUILD_DIR ARCH [SLOTS]   prefix + Xvfb + persistent wineserver + virtual
#                                       desktop, for each of SLOTS environments (default 1)
#                                       (PAYLEVIX_DISPLAY=:N uses that X display instead of Xvfb)
#   wine-env.sh stop   BUILD_DIR        stop what start started, every slot
#   wine-env.sh run    BUILD_DIR PROG [ARGS...]   run a Windows program in that environment
#   wine-env.sh where  BUILD_DIR        print the prefix of the current slot
#
# Test programs run in parallel, each inside an environment of its own (a slot): its own
# prefix, wineserver, X server and desktop, so that nothing is shared between them: not the
# foreground window (a system-modal box is owned by it), the registry, the clipboard, named
# objects or running COM servers. Slot 0 is BUILD_DIR/wineprefix with its state in
# BUILD_DIR/wine-env; slot N is BUILD_DIR/wineprefix-N, a copy of slot 0's prefix, with
# BUILD_DIR/wine-env-N. The slot is PAYLEVIX_WINE_SLOT, else the first free one (run only)
# (resource "wine", see tests/CMakeLists.txt), else 0.
#
# Everything lives under BUILD_DIR: the user's own ~/.wine is never touched.
set -euo pipefail

cmd=${1:?command}
build=$(cd "${2:?build dir}" && pwd)
# A program run while several environments are up takes the first free one and holds it (a
# lock this script keeps) until the program ends; PAYLEVIX_WINE_SLOTS says how many are up.
if [[ -z ${PAYLEVIX_WINE_SLOT:-} && $cmd == run && ${PAYLEVIX_WINE_SLOTS:-1} -gt 1 ]]; then
    while [[ -z ${PAYLEVIX_WINE_SLOT:-} ]]; do
        for ((n = 0; n < PAYLEVIX_WINE_SLOTS; n++)); do
            exec 9>"$build/wine-slot-$n.lock"
            if flock -n 9; then
                PAYLEVIX_WINE_SLOT=$n
                break
            fi
            exec 9>&-
        done
        [[ -n ${PAYLEVIX_WINE_SLOT:-} ]] || sleep 0.2
    done
fi
slot=${PAYLEVIX_WINE_SLOT:-0}
export PAYLEVIX_WINE_SLOT=$slot
suffix=
((slot == 0)) || suffix=-$slot
export WINEPREFIX="$build/wineprefix$suffix"
export WINEDEBUG=${WINEDEBUG:--all}
# Gecko and Mono installers would otherwise pop up dialogs during wineboot.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
state="$build/wine-env$suffix"
mkdir -p "$state"
export PAYLEVIX_WINE_STATE=$state

log() { echo "wine-env: $*" >&2; }

make_prefix() {
    local arch=${1:-win32}
    if ((slot > 0)); then
        copy_prefix "$arch"
        return
    fi
    if [[ -f "$WINEPREFIX/.paylevix-ready" ]]; then return 0; fi
    log "creating $arch prefix in $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    # A headless prefix first: no X display is needed to create it.
    WINEARCH=$arch DISPLAY= wineboot -i >"$state/wineboot.log" 2>&1
    local reg=$state/settings.reg
    cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"ForegroundLockTimeout"=dword:00000000
REG
    DISPLAY= wine regedit /S "$(winepath_w "$reg")" >>"$state/wineboot.log" 2>&1
    wineserver -w
    touch "$WINEPREFIX/.paylevix-ready"
}

# Another slot's prefix is a copy of slot 0's (seconds instead of a wineboot), remade when
# slot 0's prefix is newer. The system folders (most of a prefix's size, a 64-bit one is over
# a gigabyte) are hard links: nothing writes there after the prefix is made. The rest is
# copied, so that files written by one slot's tests never show in another.
copy_prefix() {
    local first=$build/wineprefix
    if [[ -f "$WINEPREFIX/.paylevix-ready" && ! "$first/.paylevix-ready" -nt "$WINEPREFIX/.paylevix-ready" ]]; then
        return 0
    fi
    PAYLEVIX_WINE_SLOT=0 "$0" prefix "$build" "$1"
    log "copying the prefix for slot $slot"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    local shared=(drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs) dir
    tar -C "$first" "${shared[@]/#/--exclude=./}" -cf - . | tar -C "$WINEPREFIX" -xf -
    for dir in "${shared[@]}"; do
        if [[ -d $first/$dir ]]; then cp -al "$first/$dir" "$WINEPREFIX/$dir"; fi
    done
    # A running wineserver saves the registry late: registrations made since are redone.
    rm -f "$WINEPREFIX/.paylevix-standins"
    touch "$WINEPREFIX/.paylevix-ready"
}

# Wine's own fonts (Debian's fonts-wine: Marlett for the title-bar buttons, Tahoma, MS Sans
# Serif...). This Wine finds them in its data folder only through a path it cannot open, so
# they are linked into the prefix's font folder, where every Wine process looks.
link_wine_fonts() {
    local fonts=$WINEPREFIX/drive_c/windows/Fonts file
    [[ -d /usr/share/wine/fonts && -d $fonts ]] || return 0
    for file in /usr/share/wine/fonts/*; do
        [[ -e $fonts/${file##*/} ]] || ln -s "$file" "$fonts/"
    done
}

winepath_w() { echo "Z:${1//\//\\}"; }

start_x() {
    if [[ -n ${PAYLEVIX_DISPLAY:-} ]]; then
        # A display of the caller's own: nothing to start.
        echo "$PAYLEVIX_DISPLAY" >"$state/display"
        rm -f "$state/xvfb.pid"
        return 0
    fi
    if [[ -f "$state/display" ]] && kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
        return 0
    fi
    local tmp=$state/displayfd
    rm -f "$tmp"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp" \
        </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do
        [[ -s "$tmp" ]] && break
        sleep 0.05
    done
    [[ -s "$tmp" ]] || { log "Xvfb did not start"; cat "$state/xvfb.log" >&2; exit 1; }
    echo ":$(tr -d '\n' <"$tmp")" >"$state/display"
}

start_slot() {
    make_prefix "$1"
    link_wine_fonts
    start_x
    export DISPLAY=$(cat "$state/display")
    # One persistent wineserver and one desktop process for the whole run: each
    # Wine start is then cheap. Output goes to files so ctest's pipe is not held.
    setsid wineserver -p </dev/null >"$state/wineserver.log" 2>&1 || true
    setsid wine explorer.exe /desktop=Default,1024x768 </dev/null >"$state/desktop.log" 2>&1 &
    echo $! >"$state/desktop.pid"
    if [[ -x "$build/tools/register-standins.sh" ]]; then "$build/tools/register-standins.sh"; fi
    log "ready: WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY"
}

stop_slot() {
    [[ -f "$state/display" ]] && export DISPLAY=$(cat "$state/display")
    wineserver -k 2>/dev/null || true
    for p in desktop xvfb; do
        if [[ -f "$state/$p.pid" ]]; then kill "$(cat "$state/$p.pid")" 2>/dev/null || true; rm -f "$state/$p.pid"; fi
    done
    rm -f "$state/display"
}

case "$cmd" in
prefix)
    make_prefix "${3:-win32}"
    ;;
start)
    slots=${4:-1}
    if ((slot > 0 || slots == 1)); then
        start_slot "${3:-win32}"
        exit 0
    fi
    # Every prefix before any wineserver runs: the others are copies of slot 0's.
    make_prefix "${3:-win32}"
    for ((n = 1; n < slots; n++)); do PAYLEVIX_WINE_SLOT=$n "$0" prefix "$build" "${3:-win32}"; done
    start_slot "${3:-win32}"
    for ((n = 1; n < slots; n++)); do PAYLEVIX_WINE_SLOT=$n "$0" start "$build" "${3:-win32}"; done
    ;;
stop)
    if ((slot > 0)); then
        stop_slot
        exit 0
    fi
    stop_slot
    for dir in "$build"/wine-env-*; do
        if [[ -d $dir ]]; then PAYLEVIX_WINE_SLOT=${dir##*-} "$0" stop "$build"; fi
    done
    ;;
where)
    echo "$WINEPREFIX"
    ;;
run)
    shift 2
    if [[ -f "$state/display" ]]; then export DISPLAY=$(cat "$state/display"); else export DISPLAY=; fi
    # In a 64-bit prefix the plain loader hands 64-bit programs to start.exe, which cannot
    # start them from folders longer than MAX_PATH; the 64-bit loader starts them directly.
    loader=wine
    if grep -q '^#arch=win64' "$WINEPREFIX/system.reg" 2>/dev/null && [[ -x /usr/lib/wine/wine64 ]]; then
        loader=/usr/lib/wine/wine64
    fi
    # Not exec: the slot's lock stays with this script, never with what the program leaves.
    rc=0
    "$loader" "$@" 9>&- || rc=$?
    exit "$rc"
    ;;
*)
    echo "usage: $0 prefix|start|stop|run|where BUILD_DIR ..." >&2
    exit 2
    ;;
esac
