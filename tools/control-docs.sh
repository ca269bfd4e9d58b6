#!/usr/bin/env bash
# The controls' reference (docs/controls/*.md) against what their declared tables say now.
#   control-docs.sh check|update WINE_RUN CONTROL_DOCS_EXE DOCS_DIR
# check: fails, showing the difference, when a committed file is stale, missing or left over;
# update: writes the files into DOCS_DIR.
set -euo pipefail
mode=$1 wine_run=$2 exe=$3 docs=$4
out=$(mktemp -d "${TMPDIR:-/tmp}/control-docs.XXXXXX")
trap 'rm -rf "$out"' EXIT
"$wine_run" "$exe" "Z:$(tr / '\\' <<<"$out")"
case $mode in
check)
    if ! diff -ru "$docs" "$out"; then
        echo "docs/controls is stale (a control's member, event or stored key table changed):"
        echo "regenerate it with: bash tools/dev.sh docs    then commit docs/controls"
        exit 1
    fi
    echo "docs/controls matches the controls' tables"
    ;;
update)
    mkdir -p "$docs"
    rm -f "$docs"/*.md
    cp "$out"/*.md "$docs"/
    ;;
esac
