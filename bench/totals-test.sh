#!/usr/bin/env bash
# ctest cli_totals_match_find: a small generated tree, with huge files and
# every kind of symbolic link, must give the same folder totals as find,
# whether the root is written with or without a trailing slash.
# usage: totals-test.sh GENTREE SCAN
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: totals-test.sh GENTREE SCAN" >&2; exit 2; }
gentree=$1 scan=$2
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-totals.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

"$gentree" --folders 300 --files 3000 --max-depth 4 --huge-files 6 --symlinks 10 --seed 42 "$tmp/tree"
# A link to a folder and a loop straight at the root, where a scanner that
# followed links would count a subtree twice or never finish.
ln -s . "$tmp/tree/loop to root"
folder=$(find "$tmp/tree" -mindepth 1 -maxdepth 1 -type d -printf '%f' -quit)
ln -s "${folder:?generated tree has no folder}" "$tmp/tree/link to folder"

"$here/check-totals.sh" --scan "$scan" "$tmp/tree"
"$here/check-totals.sh" --scan "$scan" "$tmp/tree/"
