#!/usr/bin/env bash
# Project-local Wine environment for running and testing the Windows build.
#
#   wine-env.sh prefix BUILD_DIR ARCH   create the prefix BUILD_DIR/wineprefix if missing (ARCH win32|win64)
#   wine-env.sh start  BUILD_DIR ARCH   prefix + Xvfb + persistent wineserver + virtual desktop
#                                       (PAYLEVIX_DISPLAY=:N uses that X display instead of Xvfb)
#   wine-env.sh stop   BUILD_DIR        stop what start started
#   wine-env.sh run    BUILD_DIR PROG [ARGS...]   run a Windows program in that environment
#
# Everything lives under BUILD_DIR: the user's own ~/.wine is never touched.
set -euo pipefail

cmd=${1:?command}
build=$(cd "${2:?build dir}" && pwd)
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
# Gecko and Mono installers would otherwise pop up dialogs during wineboot.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
state="$build/wine-env"
mkdir -p "$state"

log() { echo "wine-env: $*" >&2; }

make_prefix() {
    local arch=${1:-win32}
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

case "$cmd" in
prefix)
    make_prefix "${3:-win32}"
    ;;
start)
    make_prefix "${3:-win32}"
    start_x
    export DISPLAY=$(cat "$state/display")
    # One persistent wineserver and one desktop process for the whole run: each
    # Wine start is then cheap. Output goes to files so ctest's pipe is not held.
    setsid wineserver -p </dev/null >"$state/wineserver.log" 2>&1 || true
    setsid wine explorer.exe /desktop=Default,1024x768 </dev/null >"$state/desktop.log" 2>&1 &
    echo $! >"$state/desktop.pid"
    if [[ -x "$build/tools/register-standins.sh" ]]; then "$build/tools/register-standins.sh"; fi
    log "ready: WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY"
    ;;
stop)
    [[ -f "$state/display" ]] && export DISPLAY=$(cat "$state/display")
    wineserver -k 2>/dev/null || true
    for p in desktop xvfb; do
        if [[ -f "$state/$p.pid" ]]; then kill "$(cat "$state/$p.pid")" 2>/dev/null || true; rm -f "$state/$p.pid"; fi
    done
    rm -f "$state/display"
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
    exec "$loader" "$@"
    ;;
*)
    echo "usage: $0 prefix|start|stop|run BUILD_DIR ..." >&2
    exit 2
    ;;
esac
