#!/usr/bin/env bash
# ctest gentree_makes_what_it_says: ostrel-gentree's trees are reproducible,
# match its summary line and contain the awkward cases the checks rely on;
# its exit codes are 0, 1 (OUTDIR unusable) and 2 (bad options).
# usage: gentree-test.sh GENTREE
set -uo pipefail
export LC_ALL=C
[ $# -eq 1 ] || { echo "usage: gentree-test.sh GENTREE" >&2; exit 2; }
gen=$1
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-gentree.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }

# Everything that makes a tree what it is: type, size, link target, path.
listing() { (cd "$1" && find . -printf '%y %s %l %p\n' | sort); }

# --- reproducibility ---------------------------------------------------------
args=(--folders 200 --files 2000 --max-depth 5 --huge-files 5 --symlinks 5)
"$gen" "${args[@]}" --seed 9 "$tmp/a" >"$tmp/a.out" || fail "generation a failed"
"$gen" "${args[@]}" --seed 9 "$tmp/b" >"$tmp/b.out" || fail "generation b failed"
"$gen" "${args[@]}" --seed 10 "$tmp/c" >/dev/null || fail "generation c failed"
cmp -s <(listing "$tmp/a") <(listing "$tmp/b") || fail "same seed gave different trees"
cmp -s <(listing "$tmp/a") <(listing "$tmp/c") && fail "different seeds gave the same tree"

# --- the summary line tells the truth ---------------------------------------
summary=$(cat "$tmp/a.out")
folders=$(find "$tmp/a" -mindepth 1 -type d | wc -l)
files=$(find "$tmp/a" -type f | wc -l)
links=$(find "$tmp/a" -type l | wc -l)
bytes=$(find "$tmp/a" -type f,l -printf '%s\n' | awk '{ s += $1 } END { printf "%.0f", s }')
expect_eq "summary" "$summary" "ostrel-gentree: $folders folders, $files files, $links symlinks, $bytes bytes"
expect_eq "folders, files, symlinks" "$folders $files $links" "200 2000 5"

# --- shape and contents ------------------------------------------------------
expect_eq "folders deeper than --max-depth" "$(find "$tmp/a" -mindepth 6 -type d | wc -l)" 0
[ "$(find "$tmp/a" -mindepth 5 -type d | wc -l)" -gt 0 ] || fail "no folder at the deepest level"
[ "$(find "$tmp/a" -mindepth 1 -type d -empty | wc -l)" -gt 0 ] || fail "no empty folder"
expect_eq "files of 4 GiB or more" "$(find "$tmp/a" -type f -size +4194303k | wc -l)" 5
for s in 4294967296 4294967306; do
  [ -n "$(find "$tmp/a" -type f -size "${s}c" -print -quit)" ] || fail "no file of exactly $s bytes"
done
[ -n "$(find "$tmp/a" -type f -size +4294967306c -print -quit)" ] || fail "no file larger than 4 GiB + 10"
expect_eq "disk blocks of the files" "$(find "$tmp/a" -type f -printf '%b\n' | sort -u)" 0
# Sizes must be skewed: the largest ordinary file dwarfs the median.
read -r median largest < <(find "$tmp/a" -type f -size -4194304k -printf '%s\n' | sort -n |
  awk '{ v[NR] = $1 } END { print v[int(NR / 2) + 1], v[NR] }')
[ "$largest" -gt $((median * 1000)) ] || fail "sizes not skewed: median $median, largest $largest"

# A space, a tab, byte 0xFF, a lone 0xC3, lower and upper case.
names=$(find "$tmp/a" -printf '%f\n')
for pattern in ' ' $'\t' $'\xff' $'\xc3([^\x80-\xbf]|$)' '[a-z]' '[A-Z]'; do
  grep -Eq "$pattern" <<<"$names" || fail "no name matching '$pattern'"
done
# Upper-case twins: two names in one folder that differ only in case.
twins=$(find "$tmp/a" -type f -printf '%h/%f\n' | tr 'a-z' 'A-Z' | sort | uniq -d | wc -l)
[ "$twins" -gt 0 ] || fail "no case twins"
find "$tmp/a" -type l -printf '%l\n' | grep -qx '\.\./.*\.\|\.' || fail "no link looping back to an ancestor"
[ -n "$(find "$tmp/a" -type l -xtype d -print -quit 2>/dev/null)" ] || fail "no link to a folder"

# --- the big folder ----------------------------------------------------------
"$gen" --folders 3 --files 10 --big-folder "$tmp/big" >"$tmp/big.out" || fail "big-folder generation failed"
most=$(find "$tmp/big" -type f -printf '%h\n' | sort | uniq -c | sort -n | tail -1 | awk '{ print $1 }')
expect_eq "files in the big folder" "$most" 100000
grep -q '^ostrel-gentree: 4 folders, 100010 files, ' "$tmp/big.out" || fail "big-folder summary: $(cat "$tmp/big.out")"

# --- OUTDIR handling and exit codes ------------------------------------------
mkdir "$tmp/empty"
touch "$tmp/plainfile"
# An existing empty OUTDIR, missing parents, a non-empty one, a file, below a file.
for case in "0 $tmp/empty" "0 $tmp/new/and/nested" "1 $tmp/a" "1 $tmp/plainfile" "1 $tmp/plainfile/sub"; do
  "$gen" --folders 2 --files 2 "${case#* }" >/dev/null 2>&1
  expect_eq "OUTDIR ${case#* }: exit" "$?" "${case%% *}"
done
grep -q 'not empty' <("$gen" --folders 2 --files 2 "$tmp/a" 2>&1) || fail "non-empty OUTDIR: no message 'not empty'"
cmp -s <(listing "$tmp/a") <(listing "$tmp/b") || fail "a refused OUTDIR was modified"
for bad in "--bogus $tmp/x" "--folders" "--folders ten $tmp/x" "--files -3 $tmp/x" \
           "--max-depth 0 $tmp/x" "--files 2 --huge-files 3 $tmp/x" "$tmp/x $tmp/y" ""; do
  # shellcheck disable=SC2086 # word splitting wanted
  "$gen" $bad >/dev/null 2>&1
  expect_eq "options '$bad': exit" "$?" 2
done
[ ! -e "$tmp/x" ] || fail "bad options still created OUTDIR"

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "gentree: all checks passed"
