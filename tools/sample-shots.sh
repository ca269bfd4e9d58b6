#!/usr/bin/env bash
# Screenshots of the script runner's samples, one per control, for the controls' reference:
#   sample-shots.sh BUILD_DIR [OUT_DIR]      (OUT_DIR default docs/samples)
# Each sample runs with an argument ("stay"): it plays its demonstration, then leaves the form
# open. Once the screen has stopped changing, the form is cut out of the Wine desktop and
# written as OUT_DIR/sample-<name>.png. Runs in a Wine environment of its own (slot 8), so a
# test run of the same build is not disturbed.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build dir}" && pwd)
out=${2:-$here/docs/samples}
wine_arch=win32
[[ $build == *x86_64* ]] && wine_arch=win64
export PAYLEVIX_WINE_SLOT=8
env=$here/tools/wine-env.sh
tmp=$(mktemp -d "${TMPDIR:-/tmp}/sample-shots.XXXXXX")
runner=

finish() {
    if [[ -n $runner ]]; then kill "$runner" 2>/dev/null || true; fi
    "$env" stop "$build" >/dev/null 2>&1 || true
    rm -rf "$tmp"
}
trap finish EXIT

"$env" start "$build" "$wine_arch" >/dev/null 2>&1
display=$(cat "$build/wine-env-$PAYLEVIX_WINE_SLOT/display")
# The desktop's own size (tools/wine-env.sh), inside a larger X screen.
desktop=1024x768+0+0

shoot() { DISPLAY=$display import -window root -crop "$desktop" +repage "$1" 2>/dev/null; }

mkdir -p "$out"
for layout in "$here"/script/samples/*.layout; do
    name=$(basename "$layout" .layout)
    script=
    for ext in vbs js; do [[ -f $here/script/samples/$name.$ext ]] && script=$here/script/samples/$name.$ext; done
    [[ -n $script ]] || continue
    "$env" run "$build" "$build/script/formscript.exe" "$layout" "$script" stay \
        >"$tmp/$name.log" 2>&1 &
    runner=$!
    # Wait until two screenshots a second apart are the same and show more than the desktop.
    previous= stable=0
    for _ in $(seq 60); do
        sleep 1
        shoot "$tmp/now.png"
        sum=$(md5sum <"$tmp/now.png")
        if [[ $sum == "$previous" && $(convert "$tmp/now.png" -format '%k' info:) -gt 1 ]]; then
            stable=1
            break
        fi
        previous=$sum
    done
    if ((!stable)); then
        echo "sample-shots: $name: the screen did not settle" >&2
        exit 1
    fi
    # The form: everything that is not the desktop's background, with a margin of it.
    convert "$tmp/now.png" -trim +repage -bordercolor "$(convert "$tmp/now.png" -format '%[pixel:p{0,0}]' info:)" \
        -border 4 "$out/sample-$name.png"
    kill "$runner" 2>/dev/null || true
    wait "$runner" 2>/dev/null || true
    runner=
    # The killed loader leaves its Windows process behind: a fresh environment for the next.
    "$env" stop "$build" >/dev/null 2>&1 || true
    "$env" start "$build" "$wine_arch" >/dev/null 2>&1
    echo "sample-shots: $out/sample-$name.png ($(identify -format '%wx%h' "$out/sample-$name.png"))"
done
