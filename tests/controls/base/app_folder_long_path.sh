#!/usr/bin/env bash
# GetAppFolder of a program whose folder path is longer than 259 characters: the probe is
# copied there and started through Wine, and must report that whole folder with exactly one
# trailing backslash.
set -euo pipefail
wine_run=$1 probe=$2 wine_env=$3 build=$4
# One environment for the folder and the run: the probe writes only its own folder.
export PAYLEVIX_WINE_SLOT=0
prefix=$("$wine_env" where "$build")
dir=$prefix/drive_c/paylevix-long
rm -rf "$dir"
long=$dir
for _ in 1 2 3 4 5; do long=$long/$(printf 'd%.0s' $(seq 60)); done
mkdir -p "$long"
cp "$probe" "$long/probe.exe"
out=$prefix/drive_c/paylevix-long/result.txt
"$wine_run" "$long/probe.exe" 'C:\paylevix-long\result.txt'
got=$(iconv -f UTF-16LE -t UTF-8 "$out")
want="C:\\paylevix-long$(echo "${long#$dir}" | tr / '\\')\\"
rm -rf "$dir"
# Wine may name the folder through drive Z: (the Unix root) instead of C:.
zwant="Z:$(echo "$prefix/drive_c" | tr / '\\')${want#C:}"
if [[ $got != "$want" && $got != "$zwant" ]]; then
    echo "GetAppFolder reported: $got"
    echo "expected:              $want"
    exit 1
fi
if [[ ${#got} -le 259 ]]; then echo "path is only ${#got} characters"; exit 1; fi
echo "ok: ${#got} characters, ends in one backslash"
