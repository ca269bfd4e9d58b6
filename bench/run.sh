#!/usr/bin/env bash
# Runs every benchmark of the project and prints one table of its figures, each with its goal
# and whether it holds.
#   bash bench/run.sh [--write] [NAME...]   ARCH=i686|x86_64 (default i686); after a build
# --write also keeps the table, with the machine it ran on, in docs/benchmarks.md; NAMEs
# (startup, subclass, ...) run only those benchmarks.
#
# A benchmark is any program build/<arch>/bench/*_bench.exe; it runs without arguments and
# reports each figure as one line "BENCH<TAB>name<TAB>value<TAB>goal<TAB>what" (goal "<= x",
# ">= x" or "-"), see bench/BenchReport.h and bench/README.md.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
arch=${ARCH:-i686}
build=${BUILD_DIR:-$here/build/$arch}
write=0
if [[ ${1:-} == --write ]]; then write=1; shift; fi
wine_arch=win32
[[ $arch == x86_64 ]] && wine_arch=win64

shopt -s nullglob
benches=("$build"/bench/*_bench.exe)
if (($#)); then
    benches=()
    for name in "$@"; do benches+=("$build/bench/${name}_bench.exe"); done
fi
((${#benches[@]})) || { echo "no benchmarks in $build/bench: build first (tools/dev.sh test)" >&2; exit 1; }

# A slot of its own, so that a test run of the same build is not disturbed.
export PAYLEVIX_WINE_SLOT=${PAYLEVIX_WINE_SLOT:-9}
"$here/tools/wine-env.sh" start "$build" "$wine_arch" >/dev/null 2>&1
trap '"$here/tools/wine-env.sh" stop "$build" >/dev/null 2>&1 || true' EXIT

figures=$(mktemp)
for exe in "${benches[@]}"; do
    echo "== $(basename "$exe")" >&2
    "$build/wine-run" "$exe" | tr -d '\r' | tee /dev/stderr | grep '^BENCH	' >>"$figures" ||
        echo "== $(basename "$exe") failed" >&2
done

table=$(awk -F'\t' '
    BEGIN {
        print "| benchmark | measured | goal | holds | what |"
        print "|---|---|---|---|---|"
    }
    {
        holds = "-"
        if ($4 ~ /^<=/) { g = substr($4, 3) + 0; holds = ($3 + 0 <= g) ? "yes" : "**no**" }
        else if ($4 ~ /^>=/) { g = substr($4, 3) + 0; holds = ($3 + 0 >= g) ? "yes" : "**no**" }
        printf "| %s | %.2f | %s | %s | %s |\n", $2, $3, $4, holds, $5
    }' "$figures")
rm -f "$figures"
echo
echo "$table"

if ((write)); then
    cpu=$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')
    {
        echo "# Benchmarks"
        echo
        echo "The latest table of \`bash bench/run.sh --write\` (see [bench/README.md](../bench/README.md))."
        echo "Ratios are measured side by side in one run, so they hold on a busy machine better"
        echo "than the absolute times in the last column."
        echo
        echo "- Run: $(date -u '+%Y-%m-%d %H:%M UTC'), $arch build, $(wine --version), benchmarks: $(for b in "${benches[@]}"; do basename "$b" .exe; done | tr '\n' ' ')"
        echo "- Machine: $cpu, $(nproc) cores, $(awk '/MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo) memory, load average $(cut -d' ' -f1-3 /proc/loadavg)"
        echo
        echo "$table"
    } >"$here/docs/benchmarks.md"
    echo "== written to docs/benchmarks.md" >&2
fi
