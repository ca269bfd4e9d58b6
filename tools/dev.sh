#!/usr/bin/env bash
# The project's two entry points (run as root on Debian 12; installs are skipped when present):
#   tools/dev.sh run    install what is missing, build, start the setup program under Wine
#   tools/dev.sh test   install what is missing, build, run every test
# Options through the environment: ARCH=i686|x86_64 (default i686), BUILD_DIR, JOBS.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
arch=${ARCH:-i686}
build=${BUILD_DIR:-$here/build/$arch}
jobs=${JOBS:-$(nproc)}
mode=${1:-test}

log() { printf '== %s\n' "$*" >&2; }

install_packages() {
    local need=()
    dpkg --print-foreign-architectures | grep -qx i386 || {
        log "adding the i386 architecture"
        dpkg --add-architecture i386
    }
    local pkgs=(wine wine32:i386 wine64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 xvfb xauth
                x11-utils imagemagick cmake make googletest clang libclang-rt-14-dev)
    for p in "${pkgs[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
    done
    if ((${#need[@]})); then
        log "installing: ${need[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
    fi
}

configure_and_build() {
    local toolchain=$here/cmake/toolchain-$arch-w64-mingw32.cmake
    if [[ ! -f $build/CMakeCache.txt ]]; then
        log "configuring $build"
        cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
    fi
    log "building"
    # Progress lines hidden; with pipefail the build's own status decides.
    cmake --build "$build" -j "$jobs" -- --no-print-directory | { grep -v -E '^\[ *[0-9]+%\]' || true; }
}

wine_arch() { [[ $arch == x86_64 ]] && echo win64 || echo win32; }

install_packages

case "$mode" in
test)
    configure_and_build
    log "testing"
    cd "$build"
    # One test executable at a time: they share one desktop, and a system-modal box of one
    # would be owned by the foreground window of another.
    # A test program that fails is run once more: the script runner's first real click into
    # a form just shown is occasionally lost under Wine's virtual desktop, and a failure that
    # is real fails twice.
    exec ctest --output-on-failure -j "${TEST_JOBS:-1}" --repeat until-pass:2
    ;;
run)
    configure_and_build
    # Show the program on the caller's own display when there is one.
    "$here/tools/wine-env.sh" stop "$build"
    PAYLEVIX_DISPLAY=${DISPLAY:-} "$here/tools/wine-env.sh" start "$build" "$(wine_arch)"
    if [[ -z ${DISPLAY:-} ]]; then
        log "no X display of your own: the program runs on the virtual X server $(cat "$build/wine-env/display")"
        log "screenshot: DISPLAY=$(cat "$build/wine-env/display") import -window root shot.png"
    fi
    log "starting setup.exe"
    exec "$here/tools/wine-env.sh" run "$build" "$build/setup/setup.exe"
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
