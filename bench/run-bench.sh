#!/usr/bin/env bash
# Scan speed and memory of ostrel-scan, as ratios against du, ncdu, gdu and find
# timed in the same run on the same warm tree, so a busy machine slows them alike.
# ncdu and gdu are installed here when missing: references only, never needed
# by ostrel itself.
#
# usage: bench/run-bench.sh [--folders N] [--files N] [--rounds R] [--seed S] [--big-folder] [--no-build]
#   --folders N   folders in the generated tree (default 20000)
#   --files N     files in it (default 200000)
#   --rounds R    timed rounds of each tool; medians are reported (default 7)
#   --seed S      generator seed (default 1)
#   --big-folder  second scenario: the tree also holds one folder of 100000 files
#   --no-build    use the programs already built in build-bench
# Trees are generated once and kept under bench/out/ (rm -rf bench/out to redo).
set -euo pipefail
export LC_ALL=C

folders=20000 files=200000 rounds=7 seed=1 big= build_it=1
usage() { sed -n '5,12p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
need_number() { [[ ${2:-} =~ ^[0-9]+$ ]] || { echo "run-bench.sh: $1 needs a number" >&2; usage; }; }
while [ $# -gt 0 ]; do
  case $1 in
    --folders) need_number "$1" "${2:-}"; folders=$2; shift 2 ;;
    --files) need_number "$1" "${2:-}"; files=$2; shift 2 ;;
    --rounds) need_number "$1" "${2:-}"; rounds=$2; shift 2 ;;
    --seed) need_number "$1" "${2:-}"; seed=$2; shift 2 ;;
    --big-folder) big=1; shift ;;
    --no-build) build_it=; shift ;;
    -h|--help) usage ;;
    *) echo "run-bench.sh: unknown argument $1" >&2; usage ;;
  esac
done
[ "$rounds" -ge 1 ] || { echo "run-bench.sh: --rounds must be at least 1" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "run-bench.sh: /usr/bin/time missing (Debian package 'time')" >&2; exit 1; }
if ! command -v ncdu >/dev/null || ! command -v gdu >/dev/null; then
  echo "installing the reference tools ncdu and gdu ..." >&2
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  { $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq ncdu gdu; } >&2 ||
    { echo "run-bench.sh: could not install ncdu and gdu" >&2; exit 1; }
fi

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build-bench
if [ -n "$build_it" ]; then
  if ! grep -qs '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
    cmake -S "$repo" -B "$build" -G Ninja -DOSTREL_WITH_QT=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" -j2 --target ostrel-scan ostrel-gentree >/dev/null
fi
scan=$build/app/ostrel-scan
gen=$build/bench/ostrel-gentree
for p in "$scan" "$gen"; do
  [ -x "$p" ] || { echo "run-bench.sh: $p not built" >&2; exit 1; }
done

# --- the tree, generated once ------------------------------------------------
name=tree-d${folders}-f${files}-s${seed}${big:+-big}
tree=$repo/bench/out/$name
if [ ! -d "$tree" ]; then
  echo "generating $tree ..." >&2
  mkdir -p "$repo/bench/out"
  rm -rf "$tree.partial"
  # Renamed only when complete, so an interrupted run never leaves a bad cache.
  "$gen" --folders "$folders" --files "$files" --seed "$seed" --huge-files 5 --symlinks 5 \
         ${big:+--big-folder} "$tree.partial" >"$tree.summary"
  mv "$tree.partial" "$tree"
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/empty"

# --- measuring ---------------------------------------------------------------
# Every tool runs under /usr/bin/time, so each pays the same wrapper cost; the
# wall clock is bash's own (no extra process between the two readings).
wall_us= rss_kib=
timed() {
  local t0 t1
  t0=$EPOCHREALTIME
  /usr/bin/time -v -o "$tmp/time" "$@" >/dev/null 2>"$tmp/stderr" ||
    { echo "run-bench.sh: failed: $*" >&2; cat "$tmp/stderr" "$tmp/time" >&2; exit 1; }
  t1=$EPOCHREALTIME
  wall_us=$(( ${t1/./} - ${t0/./} ))
  rss_kib=$(awk -F': *' '/Maximum resident set size/ { print $2 }' "$tmp/time")
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

run_scan() { timed "$scan" --max-depth 1 "$tree"; echo "$wall_us" >>"$tmp/scan.wall"; echo "$rss_kib" >>"$tmp/scan.rss"
             cp "$tmp/stderr" "$tmp/scan.stderr"; }
run_du()   { timed du -s "$tree"; echo "$wall_us" >>"$tmp/du.wall"; }
run_find() { timed find "$tree" -printf '%s\n'; echo "$wall_us" >>"$tmp/find.wall"; }
# Each walks the whole tree and keeps it (ncdu, gdu) or sums it (du); none draws a screen.
run_ncdu() { timed ncdu -0 -x -o /dev/null "$tree"; echo "$wall_us" >>"$tmp/ncdu.wall"; }
run_gdu()  { timed gdu -n -p -s -x "$tree"; echo "$wall_us" >>"$tmp/gdu.wall"; }
tools=(run_scan run_du run_ncdu run_gdu run_find)

# Warm the page cache and the inode and dentry caches for all of them.
for t in "${tools[@]}"; do "$t"; done
rm -f "$tmp"/*.wall "$tmp"/*.rss

n=${#tools[@]}
for ((r = 0; r < rounds; r++)); do
  # Rotate the order each round: no tool always runs right after another.
  for ((k = 0; k < n; k++)); do "${tools[(r + k) % n]}"; done
done

for ((r = 0; r < 3; r++)); do timed "$scan" "$tmp/empty"; echo "$rss_kib" >>"$tmp/empty.rss"; done

summary=$(grep -E '^ostrel-scan: [0-9]+ folders, [0-9]+ files, [0-9.]+ s' "$tmp/scan.stderr") ||
  { echo "run-bench.sh: no summary line from ostrel-scan; its stderr:" >&2; cat "$tmp/scan.stderr" >&2; exit 1; }
read -r nfolders nfiles < <(sed -E 's/^ostrel-scan: ([0-9]+) folders, ([0-9]+) files.*/\1 \2/' <<<"$summary")

# "min-max" of a tool's rounds, in seconds: shows how noisy the machine was.
spread() { sort -n "$1" | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.3f-%.3f", lo / 1e6, hi / 1e6 }'; }
scan_us=$(median <"$tmp/scan.wall")
du_us=$(median <"$tmp/du.wall")
find_us=$(median <"$tmp/find.wall")
ncdu_us=$(median <"$tmp/ncdu.wall")
gdu_us=$(median <"$tmp/gdu.wall")
scan_kib=$(median <"$tmp/scan.rss")
empty_kib=$(median <"$tmp/empty.rss")

awk -v scan="$scan_us" -v du="$du_us" -v find="$find_us" -v rss="$scan_kib" -v empty="$empty_kib" \
    -v ncdu="$ncdu_us" -v gdu="$gdu_us" -v ncdu_sp="$(spread "$tmp/ncdu.wall")" -v gdu_sp="$(spread "$tmp/gdu.wall")" \
    -v folders="$nfolders" -v files="$nfiles" -v rounds="$rounds" -v tree="$tree" \
    -v gen="$(cat "$tree.summary")" -v scan_sp="$(spread "$tmp/scan.wall")" \
    -v du_sp="$(spread "$tmp/du.wall")" -v find_sp="$(spread "$tmp/find.wall")" 'BEGIN {
  nodes = folders + files
  ratio_du = scan / du; ratio_find = scan / find
  per_node = (rss - empty) * 1024 / nodes
  printf "tree: %s\n  %s\n", tree, gen
  printf "  ostrel-scan counted %d folders + %d files = %d nodes\n", folders, files, nodes
  printf "median wall time of %d rounds (warm cache), range in brackets:\n", rounds
  printf "  %-28s%8.3f s  [%s]\n", "ostrel-scan --max-depth 1", scan / 1e6, scan_sp
  printf "  %-28s%8.3f s  [%s]\n", "du -s", du / 1e6, du_sp
  printf "  %-28s%8.3f s  [%s]\n", "ncdu -0 -x -o /dev/null", ncdu / 1e6, ncdu_sp
  printf "  %-28s%8.3f s  [%s]\n", "gdu -n -p -s -x", gdu / 1e6, gdu_sp
  printf "  %-28s%8.3f s  [%s]\n", "find -printf \047%s\\n\047", find / 1e6, find_sp
  printf "ratios:\n"
  printf "  ostrel-scan / du            %8.2f   target <= 1.10  %s\n", ratio_du, ratio_du <= 1.10 ? "ok" : "OVER"
  printf "  ostrel-scan / ncdu          %8.2f\n", scan / ncdu
  printf "  ostrel-scan / gdu           %8.2f\n", scan / gdu
  printf "  ostrel-scan / find          %8.2f\n", ratio_find
  printf "memory:\n"
  printf "  peak RSS scan %.1f MiB, empty folder %.1f MiB\n", rss / 1024, empty / 1024
  printf "  per node                    %8.1f bytes   target <= 120  %s\n", per_node, per_node <= 120 ? "ok" : "OVER"
}'
