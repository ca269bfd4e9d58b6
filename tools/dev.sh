#!/usr/bin/env bash
# The project's two entry points (run as root on Debian 12; installs are skipped when present):
#   tools/dev.sh run    install what is missing, build, start the setup program under Wine
#   tools/dev.sh test   install what is missing, build, run every test
#   tools/dev.sh docs   build, write docs/controls from the controls' tables (commit the result)
#   tools/dev.sh shots  build, retake docs/samples/*.png: the script runner's samples under Wine
# Options through the environment: ARCH=i686|x86_64 (test: both, i686 first, each in its own
# prefix; run: i686), BUILD_DIR (one architecture only), JOBS, TEST_JOBS.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
arch=${ARCH:-i686}
build=${BUILD_DIR:-$here/build/$arch}
# The test command covers both architectures unless one is asked for.
if [[ -n ${ARCH:-} || -n ${BUILD_DIR:-} ]]; then test_archs=("$arch"); else test_archs=(i686 x86_64); fi
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
                x11-utils imagemagick cmake make googletest clang libclang-rt-14-dev fonts-wine)
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

# Test programs run in parallel, each in a Wine environment (slot) of its own, so that a
# system-modal box of one can never be owned by another's window: ctest runs as many jobs as
# there are slots (wine-slots.json, PAYLEVIX_TEST_SLOTS at configure time), and each program
# takes a free slot when it starts (tools/wine-env.sh).
ctest_args() {
    local slots
    slots=$(grep -o '"id"' "$build/wine-slots.json" | wc -l)
    echo --output-on-failure -j "${TEST_JOBS:-$slots}"
}

# Runs one architecture's tests with ctest's own output and keeps its closing lines for the
# combined summary.
test_arch() {
    local rc=0 args
    args=$(ctest_args)
    log "testing $arch"
    # shellcheck disable=SC2086
    (cd "$build" && PAYLEVIX_WINE_SLOTS=$(grep -o '"id"' wine-slots.json | wc -l) ctest $args) |
        tee "$build/ctest.log" || rc=$?
    return "$rc"
}

# One summary for all architectures, in ctest's own words, so that the closing lines of the
# run speak for every architecture and the status is the combined one.
combined_summary() {
    local passed=0 total=0 seconds=0 failed=() a n t s line
    for a in "$@"; do
        local f=$here/build/$a/ctest.log
        line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$f" 2>/dev/null | tail -1 || true)
        if [[ -z $line ]]; then
            failed+=("$a: ctest gave no summary")
            total=$((total + 1))
            continue
        fi
        n=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
        t=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        s=$(grep -E '^Total Test time \(real\) =' "$f" | tail -1 | sed -E 's/.*= *([0-9.]+) sec.*/\1/')
        total=$((total + t))
        passed=$((passed + t - n))
        seconds=$(awk -v a="$seconds" -v b="${s:-0}" 'BEGIN { printf "%.2f", a + b }')
        while IFS= read -r line; do failed+=("$line [$a]"); done < <(
            sed -n '/^The following tests FAILED:/,/^Errors while running CTest/p' "$f" |
                grep -E '^[[:space:]]+[0-9]+ - ' || true)
    done
    local percent=100
    if ((total > 0)); then percent=$(awk -v p="$passed" -v t="$total" -v f="${#failed[@]}" \
        'BEGIN { x = p * 100 / t; if (f > 0 && x > 99) x = 99; printf "%d", x + 0.5 }'); fi
    echo
    echo "== all architectures: $*"
    echo "$percent% tests passed, $((total - passed)) tests failed out of $total"
    echo
    echo "Total Test time (real) = $seconds sec"
    if ((${#failed[@]})); then
        echo
        echo "The following tests FAILED:"
        printf '%s\n' "${failed[@]}"
        echo "Errors while running CTest"
        return 8
    fi
}

case "$mode" in
test)
    if ((${#test_archs[@]} == 1)); then
        configure_and_build
        log "testing $arch"
        args=$(ctest_args)
        cd "$build"
        # shellcheck disable=SC2086
        exec ctest $args
    fi
    status=0
    for arch in "${test_archs[@]}"; do
        build=$here/build/$arch
        configure_and_build
        test_arch || status=1
    done
    combined_summary "${test_archs[@]}" || status=$?
    exit "$status"
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
docs)
    configure_and_build
    log "writing docs/controls from the controls' tables"
    cmake --build "$build" --target control_docs -- --no-print-directory
    ;;
shots)
    configure_and_build
    log "taking the samples' screenshots"
    exec "$here/tools/sample-shots.sh" "$build"
    ;;
*)
    echo "usage: $0 run|test|docs|shots" >&2
    exit 2
    ;;
esac
