#!/usr/bin/env bash
# The layout parser's fuzz target, built natively with clang's libFuzzer.
#
#   fuzz.sh run SECONDS [WORKDIR]   build, then fuzz for SECONDS (a long run, by hand)
#   fuzz.sh smoke WORKDIR           build, replay the committed corpus, fuzz for 5 seconds (CTest)
#
# The committed corpus (host/fuzz/corpus) seeds every run; a long run's new inputs stay in
# WORKDIR/corpus. A crash leaves its input in WORKDIR and fails the script.
# Needs clang and the libFuzzer runtime (Debian: clang, libclang-rt-14-dev); without them
# the smoke run reports itself skipped (exit 77).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
mode=${1:?usage: fuzz.sh run SECONDS [WORKDIR] | smoke WORKDIR}

build() {
    local out=$1
    mkdir -p "$out"
    local cxx=${CXX_FUZZ:-clang++}
    if ! command -v "$cxx" >/dev/null; then
        echo "fuzz.sh: $cxx not found" >&2
        return 77
    fi
    local bin=$out/layout_fuzz
    if [[ -x $bin && $bin -nt $root/host/Layout.cpp && $bin -nt $root/host/Layout.h &&
          $bin -nt $here/LayoutFuzz.cpp ]]; then
        return 0
    fi
    if ! "$cxx" -std=c++20 -O1 -g -Wall -Wextra -fsanitize=fuzzer,address,undefined \
        -fno-sanitize-recover=undefined -I"$root" "$root/host/Layout.cpp" "$here/LayoutFuzz.cpp" \
        -o "$bin.tmp" 2>"$out/build.log"; then
        if grep -q -E 'libclang_rt.fuzzer|cannot find.*fuzzer' "$out/build.log"; then
            echo "fuzz.sh: the libFuzzer runtime is missing" >&2
            return 77
        fi
        cat "$out/build.log" >&2
        return 1
    fi
    mv "$bin.tmp" "$bin"
}

case "$mode" in
run)
    seconds=${2:?seconds}
    work=${3:-$root/build/fuzz}
    build "$work"
    mkdir -p "$work/corpus"
    cd "$work"
    exec ./layout_fuzz -dict="$here/layout.dict" -max_len=16384 -max_total_time="$seconds" \
        -print_final_stats=1 corpus "$here/corpus"
    ;;
smoke)
    work=${2:?workdir}
    rc=0
    build "$work" || rc=$?
    if ((rc)); then exit $rc; fi
    cd "$work"
    # Every committed input must pass, then a short run looks for anything new.
    ./layout_fuzz -runs=0 "$here/corpus"
    rm -rf smoke-corpus && mkdir smoke-corpus
    exec ./layout_fuzz -dict="$here/layout.dict" -max_len=8192 -max_total_time=5 smoke-corpus \
        "$here/corpus"
    ;;
*)
    echo "usage: fuzz.sh run SECONDS [WORKDIR] | smoke WORKDIR" >&2
    exit 2
    ;;
esac
