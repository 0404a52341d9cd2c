#!/usr/bin/env bash
# Checks ostrel-scan's apparent-size folder totals against find: every folder printed by
# `ostrel-scan --apparent-size --max-depth 2 TREE` must hold exactly the sum of the sizes of
# the regular files and symbolic links below it (links not followed, folders
# themselves 0, same file system only). Also checks that the listing names
# every folder down to that depth once, in tree order.
#
# usage: check-totals.sh [--scan BIN] TREE
#   BIN defaults to $OSTREL_SCAN, then build-bench/app/ostrel-scan, then PATH.
# Exit: 0 all match, 1 any mismatch or scan failure, 2 bad usage.
set -uo pipefail
export LC_ALL=C # names are bytes, not text

usage() { echo "usage: check-totals.sh [--scan BIN] TREE" >&2; exit 2; }

scan=${OSTREL_SCAN:-}
tree=
while [ $# -gt 0 ]; do
  case $1 in
    --scan) [ $# -ge 2 ] || usage; scan=$2; shift 2 ;;
    --help|-h) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    --) shift; [ $# -eq 1 ] || usage; tree=$1; shift ;;
    -*) echo "check-totals.sh: unknown option $1" >&2; usage ;;
    *) [ -z "$tree" ] || usage; tree=$1; shift ;;
  esac
done
[ -n "$tree" ] || usage
[ -d "$tree" ] || { echo "check-totals.sh: not a folder: $tree" >&2; exit 2; }
if [ -z "$scan" ]; then
  here=$(cd "$(dirname "$0")/.." && pwd)
  if [ -x "$here/build-bench/app/ostrel-scan" ]; then scan=$here/build-bench/app/ostrel-scan
  else scan=$(command -v ostrel-scan) || { echo "check-totals.sh: ostrel-scan not found; use --scan" >&2; exit 2; }
  fi
fi

tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT

q() { printf '%q' "$1"; } # makes tabs and stray bytes visible in reports

# Exact sum of one size per line. awk's numbers are doubles, so the sizes are
# split into a high part and a low nine-digit part to stay exact past 2^53.
exact_sum() {
  awk '{ n = length($0)
         if (n > 9) { hi += substr($0, 1, n - 9) + 0; lo += substr($0, n - 8) + 0 } else lo += $0 + 0 }
       END { hi += int(lo / 1e9); lo = lo % 1e9
             if (hi > 0) printf "%.0f%09.0f\n", hi, lo; else printf "%.0f\n", lo }'
}

"$scan" --apparent-size --max-depth 2 "$tree" >"$tmp/out" 2>"$tmp/err"
rc=$?
if [ "$rc" -ne 0 ]; then
  echo "FAIL: $scan exited with status $rc" >&2
  cat "$tmp/err" >&2
  exit 1
fi
if ! grep -Eq '^ostrel-scan: [0-9]+ folders, [0-9]+ files, [0-9.]+ s' "$tmp/err"; then
  echo "FAIL: no summary line on stderr; stderr was:" >&2
  cat "$tmp/err" >&2
  exit 1
fi

# The folders find sees, down to the same depth (-H: TREE itself may be a link).
declare -A want=() seen=()
while IFS= read -r -d '' p; do want[$p]=1; done \
  < <(find -H "$tree" -xdev -maxdepth 2 -type d -print0)

bad=0
checked=0
stack=()     # ancestors of the current line, for the tree-order check
lineno=0
while IFS= read -r line || [ -n "$line" ]; do
  lineno=$((lineno + 1))
  # Only the first tab separates: names may themselves hold tabs.
  size=${line%%$'\t'*}
  path=${line#*$'\t'}
  if [ "$size" = "$line" ] || ! [[ $size =~ ^[0-9]+$ ]] || [ -z "$path" ]; then
    echo "BAD LINE $lineno: $(q "$line")"; bad=1; continue
  fi
  if [ -z "${want[$path]+x}" ]; then
    echo "UNEXPECTED $(q "$path") (not a folder within two levels of the root)"; bad=1; continue
  fi
  if [ -n "${seen[$path]+x}" ]; then
    echo "DUPLICATE $(q "$path")"; bad=1; continue
  fi
  seen[$path]=1

  if [ "$lineno" -eq 1 ]; then
    [ "$path" = "$tree" ] || { echo "FIRST LINE is $(q "$path"), not the root $(q "$tree")"; bad=1; }
    stack=("$path")
  else
    parent=${path%/*}
    [ "$parent/" = "$tree" ] && parent=$tree
    while [ ${#stack[@]} -gt 0 ] && [ "${stack[-1]}" != "$parent" ]; do unset 'stack[-1]'; done
    if [ ${#stack[@]} -eq 0 ]; then
      echo "OUT OF ORDER $(q "$path"): its parent's subtree was already closed or never opened"; bad=1
    fi
    stack+=("$path")
  fi

  expect=$(find -H "$path" -xdev -type f,l -printf '%s\n' | exact_sum)
  checked=$((checked + 1))
  if [ "$size" != "$expect" ]; then
    echo "MISMATCH $(q "$path"): ostrel-scan $size, find $expect"; bad=1
  fi
done < "$tmp/out"

for p in "${!want[@]}"; do
  [ -n "${seen[$p]+x}" ] || { echo "MISSING $(q "$p")"; bad=1; }
done

if [ "$bad" -ne 0 ]; then
  echo "check-totals: FAILED ($checked folder totals compared)"
  exit 1
fi
echo "check-totals: OK, $checked folder totals match find"
