#!/usr/bin/env bash
# Scan speed and memory of ostrel-scan, as ratios against du, ncdu, gdu and find
# timed in the same run on the same trees, so a busy machine slows them alike:
# T-wide (many folders, files spread over them) and T-flat (100,000 files in one
# folder), warm, then T-wide cold where the caches may be dropped (root only).
# ncdu and gdu are installed here when missing: references only, never needed
# by ostrel itself. First it runs the heavy checks labelled "bench" (ctest -L bench). Last
# (root only) T-wide copied into an ext4 image on a loop device: --read-device against the walk.
#
# usage: bench/run-bench.sh [--folders N] [--files N] [--rounds R] [--cold-rounds C] [--seed S] [--threads T] [--no-build] [--device-only]
#   --folders N       folders in T-wide (default 20000)
#   --files N         files in it (default 200000)
#   --rounds R        warm rounds of each tool per tree; medians are reported (default 7)
#   --cold-rounds C   cold rounds on T-wide, 0 for none (default 3)
#   --seed S          generator seed (default 1)
#   --threads T       ostrel-scan --threads T (default: its own default)
#   --no-build        use the programs already built in build-bench
#   --device-only     only the rounds of --read-device against the walk
# Trees are generated once and kept under bench/out/ (rm -rf bench/out to redo).
set -euo pipefail
export LC_ALL=C

folders=20000 files=200000 rounds=7 cold_rounds=3 seed=1 threads= build_it=1 device_only=
usage() { sed -n '9,18p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
need_number() { [[ ${2:-} =~ ^[0-9]+$ ]] || { echo "run-bench.sh: $1 needs a number" >&2; usage; }; }
while [ $# -gt 0 ]; do
  case $1 in
    --folders) need_number "$1" "${2:-}"; folders=$2; shift 2 ;;
    --files) need_number "$1" "${2:-}"; files=$2; shift 2 ;;
    --rounds) need_number "$1" "${2:-}"; rounds=$2; shift 2 ;;
    --seed) need_number "$1" "${2:-}"; seed=$2; shift 2 ;;
    --cold-rounds) need_number "$1" "${2:-}"; cold_rounds=$2; shift 2 ;;
    --threads) need_number "$1" "${2:-}"; threads=$2; shift 2 ;;
    --no-build) build_it=; shift ;;
    --device-only) device_only=1; shift ;;
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

# The heavy checks (ctest label "bench"): the generator makes the trees it says, and ostrel-scan's
# totals match find's. The figures of a scan that counts wrong would mean nothing.
echo "running the checks labelled bench ..." >&2
ctest --test-dir "$build" -L bench --no-tests=error --output-on-failure >&2 ||
  { echo "run-bench.sh: the checks labelled bench failed" >&2; exit 1; }

# --- the trees, generated once -----------------------------------------------
# tree_for NAME GENERATOR-ARGS...: the tree's path, made when missing. Renamed only
# when complete, so an interrupted run never leaves a bad cache.
tree_for() {
  local name=$1 tree
  shift
  tree=$repo/bench/out/$name
  if [ ! -d "$tree" ]; then
    echo "generating $tree ..." >&2
    mkdir -p "$repo/bench/out"
    rm -rf "$tree.partial"
    "$gen" "$@" "$tree.partial" >"$tree.summary"
    mv "$tree.partial" "$tree"
  fi
  echo "$tree"
}
wide=$(tree_for "tree-d${folders}-f${files}-s${seed}" --folders "$folders" --files "$files" --seed "$seed" \
         --huge-files 5 --symlinks 5)
flat=$(tree_for "flat-f100000-s${seed}" --folders 1 --files 0 --seed "$seed" --big-folder)

tmp=$(mktemp -d)
# The image of the device rounds is mounted below $tmp, from its own loop device: both gone
# before $tmp is.
loopdev=
trap 'umount "$tmp/mnt" 2>/dev/null || true; [ -z "$loopdev" ] || losetup -d "$loopdev" 2>/dev/null || true
      rm -rf --one-file-system "$tmp"' EXIT
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
# "min-max" of a tool's rounds, in seconds: shows how noisy the machine was.
spread() { sort -n "$1" | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.3f-%.3f", lo / 1e6, hi / 1e6 }'; }

# Each walks the whole tree and keeps it (ostrel-scan, ncdu, gdu) or sums it (du,
# find); none draws a screen. $tree is the tree of the present scenario.
run_scan() { timed "$scan" ${threads:+--threads "$threads"} --max-depth 1 "$tree"; echo "$wall_us" >>"$tmp/scan.wall"; echo "$rss_kib" >>"$tmp/scan.rss"
             cp "$tmp/stderr" "$tmp/scan.stderr"; }
run_du()   { timed du -s "$tree"; echo "$wall_us" >>"$tmp/du.wall"; }
run_ncdu() { timed ncdu -0 -x -o /dev/null "$tree"; echo "$wall_us" >>"$tmp/ncdu.wall"; }
run_gdu()  { timed gdu -n -p "$tree"; echo "$wall_us" >>"$tmp/gdu.wall"; }
run_find() { timed find "$tree" -printf '%s\n'; echo "$wall_us" >>"$tmp/find.wall"; }
tools=(run_scan run_du run_ncdu run_gdu run_find)
labels=("ostrel-scan --max-depth 1" "du -s" "ncdu -0 -x -o /dev/null" "gdu -n -p" "find -printf '%s\n'")
keys=(scan du ncdu gdu find)

for ((r = 0; r < 3; r++)); do timed "$scan" "$tmp/empty"; echo "$rss_kib" >>"$tmp/empty.rss"; done
empty_kib=$(median <"$tmp/empty.rss")

# report TITLE ROUNDS [TOOL:RATIO]...: the medians, ratios and memory of the rounds just
# run, with the ratio ostrel-scan / TOOL to stay at or under for each TOOL named.
report() {
  local title=$1 n=$2 summary nfolders nfiles k scan_us
  local -A target=()
  local pair
  for pair in "${@:3}"; do target[${pair%%:*}]=${pair#*:}; done
  summary=$(grep -E '^ostrel-scan: [0-9]+ folders, [0-9]+ files, [0-9.]+ s' "$tmp/scan.stderr") ||
    { echo "run-bench.sh: no summary line from ostrel-scan; its stderr:" >&2; cat "$tmp/scan.stderr" >&2; exit 1; }
  read -r nfolders nfiles < <(sed -E 's/^ostrel-scan: ([0-9]+) folders, ([0-9]+) files.*/\1 \2/' <<<"$summary")
  printf '%s: %s\n  %s\n' "$title" "$tree" "$(cat "$tree.summary")"
  printf '  ostrel-scan counted %d folders + %d files = %d entries\n' "$nfolders" "$nfiles" $((nfolders + nfiles))
  printf '  median wall time of %d rounds, range in brackets:\n' "$n"
  scan_us=$(median <"$tmp/scan.wall")
  for k in "${!keys[@]}"; do
    [ -s "$tmp/${keys[k]}.wall" ] || continue
    printf '    %-28s%8.3f s  [%s]\n' "${labels[k]}" "$(median <"$tmp/${keys[k]}.wall" | awk '{ print $1 / 1e6 }')" \
      "$(spread "$tmp/${keys[k]}.wall")"
  done
  printf '  ratios:\n'
  for k in "${!keys[@]}"; do
    [ "$k" -gt 0 ] && [ -s "$tmp/${keys[k]}.wall" ] || continue
    awk -v a="$scan_us" -v b="$(median <"$tmp/${keys[k]}.wall")" -v what="ostrel-scan / ${keys[k]}" \
        -v target="${target[${keys[k]}]:-}" 'BEGIN {
      printf "    %-26s%8.2f", what, a / b
      if (target != "") printf "   target <= %s  %s", target, a / b <= target ? "ok" : "OVER"
      printf "\n" }'
  done
  awk -v rss="$(median <"$tmp/scan.rss")" -v empty="$empty_kib" -v nodes=$((nfolders + nfiles)) 'BEGIN {
    per = (rss - empty) * 1024 / nodes
    printf "  memory: peak RSS %.1f MiB, empty folder %.1f MiB\n", rss / 1024, empty / 1024
    printf "    per entry                 %8.1f bytes   target <= 100  %s\n", per, per <= 100 ? "ok" : "OVER" }'
}

# warm TREE: every tool once to fill the caches, then rounds in rotating order (no
# tool always runs right after another).
warm() {
  tree=$1
  local r k n=${#tools[@]}
  for k in "${tools[@]}"; do "$k"; done
  rm -f "$tmp"/*.wall "$tmp"/scan.rss
  for ((r = 0; r < rounds; r++)); do
    for ((k = 0; k < n; k++)); do "${tools[(r + k) % n]}"; done
  done
}

# scan_files TREE: the scan file of TREE written (the time of a scan with -o less that of the
# scan alone) and read back (-f), each against the scan's time, and the memory of reading
# against the scan's; rounds in rotating order as above.
scan_files() {
  tree=$1
  local file=$tmp/scan.json r k
  run_save() { timed "$scan" ${threads:+--threads "$threads"} --max-depth 1 -o "$file" "$tree"; echo "$wall_us" >>"$tmp/save.wall"; }
  run_read() { timed "$scan" --max-depth 1 -f "$file"; echo "$wall_us" >>"$tmp/read.wall"; echo "$rss_kib" >>"$tmp/read.rss"; }
  local steps=(run_scan run_save run_read)
  run_save
  rm -f "$tmp"/scan.wall "$tmp"/scan.rss "$tmp"/save.wall "$tmp"/read.wall "$tmp"/read.rss
  for ((r = 0; r < rounds; r++)); do
    for ((k = 0; k < 3; k++)); do "${steps[(r + k) % 3]}"; done
  done
  printf 'scan files of T-wide (%s bytes), median of %d rounds:\n' "$(stat -c %s "$file")" "$rounds"
  awk -v scan="$(median <"$tmp/scan.wall")" -v save="$(median <"$tmp/save.wall")" -v read="$(median <"$tmp/read.wall")" \
      -v srss="$(median <"$tmp/scan.rss")" -v rrss="$(median <"$tmp/read.rss")" 'BEGIN {
    export = save - scan; if (export < 0) export = 0
    printf "    %-28s%8.3f s\n", "scan", scan / 1e6
    printf "    %-28s%8.3f s   export/scan %.2f  target <= 1  %s\n", "export (scan -o less scan)", export / 1e6, export / scan, export <= scan ? "ok" : "OVER"
    printf "    %-28s%8.3f s   import/scan %.2f  target <= 1  %s\n", "import (-f)", read / 1e6, read / scan, read <= scan ? "ok" : "OVER"
    printf "    %-28s%8.1f MiB against the scan'"'"'s %.1f MiB  target <= 1  %s\n", "import peak RSS", rrss / 1024, srss / 1024, rrss <= srss ? "ok" : "OVER" }'
}

# compare_files: two scan files of T-wide (the one scan_files saved, and a copy with one entry
# in 50 grown by 4 KiB) compared with --compare at every level, against reading each with -f:
# the time the comparison adds to reading both (compare less the two reads, signed) against the
# two reads, and the peak memory against two trees (the two reads' peaks less one empty run's).
compare_files() {
  local old=$tmp/scan.json new=$tmp/changed.json r k
  python3 -c '
import re, sys
n = [0]
def grow(m):
    n[0] += 1
    return b"\"dsize\":%d" % (int(m.group(1)) + (4096 if n[0] % 50 == 0 else 0))
sys.stdout.buffer.write(re.sub(rb"\"dsize\":([0-9]+)", grow, open(sys.argv[1], "rb").read()))' "$old" >"$new"
  run_old() { timed "$scan" --max-depth 1 -f "$old"; echo "$wall_us" >>"$tmp/old.wall"; echo "$rss_kib" >>"$tmp/old.rss"; }
  run_new() { timed "$scan" --max-depth 1 -f "$new"; echo "$wall_us" >>"$tmp/new.wall"; echo "$rss_kib" >>"$tmp/new.rss"; }
  run_cmp() { timed "$scan" --max-depth 100000 --compare "$old" -f "$new"; echo "$wall_us" >>"$tmp/cmp.wall"; echo "$rss_kib" >>"$tmp/cmp.rss"; }
  local steps=(run_old run_new run_cmp)
  run_cmp
  rm -f "$tmp"/old.* "$tmp"/new.wall "$tmp"/new.rss "$tmp"/cmp.*
  for ((r = 0; r < rounds; r++)); do
    for ((k = 0; k < 3; k++)); do "${steps[(r + k) % 3]}"; done
  done
  printf 'comparing two scan files of T-wide (every 50th entry grown), median of %d rounds:\n' "$rounds"
  awk -v a="$(median <"$tmp/old.wall")" -v b="$(median <"$tmp/new.wall")" -v c="$(median <"$tmp/cmp.wall")" \
      -v arss="$(median <"$tmp/old.rss")" -v brss="$(median <"$tmp/new.rss")" -v crss="$(median <"$tmp/cmp.rss")" \
      -v empty="$empty_kib" 'BEGIN {
    # Signed: one process starting instead of two can make the comparison look free or better.
    load = a + b; extra = c - load
    two = arss + brss - empty
    printf "    %-28s%8.3f s\n", "reading OLD + NEW (-f each)", load / 1e6
    printf "    %-28s%8.3f s\n", "--compare OLD -f NEW", c / 1e6
    printf "    %-28s%8.3f s   compare/loading %.2f  target <= 1  %s\n", "comparison (less the reads)", extra / 1e6, extra / load, extra <= load ? "ok" : "OVER"
    printf "    %-28s%8.1f MiB against two trees %.1f MiB  target <= 1.1  %s\n", "compare peak RSS", crss / 1024, two / 1024, crss <= 1.1 * two ? "ok" : "OVER" }'
}

# wide_breakdown: the chart's points of a folder of 1,000,000 subfolders (a scan file made once),
# less reading that file: the breakdown itself, which the window computes on each click.
wide_breakdown() {
  local file=$repo/bench/out/huge-1000000.json
  if [ ! -s "$file" ]; then
    mkdir -p "$repo/bench/out"
    python3 -c '
import sys
w = sys.stdout.write
w("[1,2,{},[{\"name\":\"/bench-huge\",\"dsize\":4096,\"dev\":1,\"ino\":1}")
for i in range(1000000):
    w(",[{\"name\":\"h%07d\",\"dsize\":4096,\"ino\":%d},{\"name\":\"f\",\"asize\":%d,\"dsize\":%d}]" % (i, i + 2, (i % 1000 + 1) * 1024, (i % 1000 + 1) * 1024))
w("]]")' >"$file.partial" && mv "$file.partial" "$file"
  fi
  run_read() { timed "$scan" --max-depth 0 -f "$file"; echo "$wall_us" >>"$tmp/read.wall"; }
  run_points() { timed "$scan" --breakdown -f "$file"; echo "$wall_us" >>"$tmp/points.wall"; }
  rm -f "$tmp"/read.wall "$tmp"/points.wall
  local r
  for ((r = 0; r < rounds; r++)); do run_read; run_points; done
  printf 'the breakdown of a folder of 1,000,000 subfolders (a scan file), median of %d rounds:\n' "$rounds"
  awk -v a="$(median <"$tmp/read.wall")" -v b="$(median <"$tmp/points.wall")" 'BEGIN {
    printf "    %-28s%8.3f s\n", "reading it (-f)", a / 1e6
    printf "    %-28s%8.3f s\n", "--breakdown -f", b / 1e6
    printf "    %-28s%8.3f s   target <= 1 s  %s\n", "the breakdown (less reading)", (b - a) / 1e6, b - a <= 1e6 ? "ok" : "OVER" }'
}

# device_rounds: T-wide in an ext4 image (made once from the tree, through the kernel, so that
# it is laid out as a disk that was filled by use), mounted read-only on a loop device that
# reads its file directly, as a disk reads itself: through the file's own page cache, a second
# one under the device's, its read-ahead would enlarge the walk's small reads, and the state one
# run leaves there slows the next run's large ones several times over;
# ostrel-scan --read-device against its walk, warm and then cold (caches dropped before every
# run), in rotating order, as ratios, with the memory per entry of each.
device_rounds() {
  local image=$repo/bench/out/$(basename "$wide").ext4 mnt=$tmp/mnt r k
  if [ "$(id -u)" -ne 0 ] || [ ! -e /dev/loop-control ] || ! command -v mkfs.ext4 >/dev/null; then
    echo "device: skipped (needs root, loop devices and mkfs.ext4)"
    return
  fi
  mkdir -p "$mnt"
  if [ ! -s "$image" ]; then
    echo "making $image ..." >&2
    rm -f "$image.partial"
    truncate -s 8G "$image.partial"
    mkfs.ext4 -q -F -N $((folders + files + 10000)) "$image.partial" >&2
    mount -o loop "$image.partial" "$mnt" && cp -a "$wide/." "$mnt/" && umount "$mnt" ||
      { umount "$mnt" 2>/dev/null; echo "run-bench.sh: could not make $image" >&2; exit 1; }
    mv "$image.partial" "$image"
  fi
  loopdev=$(losetup --direct-io=on -r -f --show "$image") && mount -o ro "$loopdev" "$mnt" ||
    { echo "run-bench.sh: could not mount $image" >&2; exit 1; }
  tree=$mnt
  run_dev() { timed "$scan" ${threads:+--threads "$threads"} --read-device --max-depth 1 "$tree"; echo "$wall_us" >>"$tmp/dev.wall"; echo "$rss_kib" >>"$tmp/dev.rss"
              grep -q 'note:' "$tmp/stderr" && { echo "run-bench.sh: the device was not read:" >&2; cat "$tmp/stderr" >&2; exit 1; }
              cp "$tmp/stderr" "$tmp/dev.stderr"; }
  # The device's fixed cost (e2fsprogs' library and its openings), from a scan of the image's
  # empty lost+found, is taken off its peak as an empty folder's is off the walk's.
  rm -f "$tmp/devempty.rss"
  for ((r = 0; r < 3; r++)); do timed "$scan" --read-device --max-depth 0 "$mnt/lost+found"; echo "$rss_kib" >>"$tmp/devempty.rss"; done
  local dev_empty_kib
  dev_empty_kib=$(median <"$tmp/devempty.rss")
  local steps=(run_scan run_dev)
  for what in warm cold; do
    local n=$rounds
    [ "$what" = warm ] || n=$cold_rounds
    [ "$n" -gt 0 ] || continue
    if [ "$what" = cold ] && ! { [ -w /proc/sys/vm/drop_caches ] && { sync; echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; }; then
      echo "device, cold: skipped (the caches cannot be dropped here)"
      continue
    fi
    [ "$what" = cold ] || { run_scan; run_dev; }
    rm -f "$tmp"/scan.wall "$tmp"/scan.rss "$tmp"/dev.wall "$tmp"/dev.rss
    for ((r = 0; r < n; r++)); do
      for ((k = 0; k < 2; k++)); do
        [ "$what" = warm ] || { sync; echo 3 >/proc/sys/vm/drop_caches; }
        "${steps[(r + k) % 2]}"
      done
    done
    local target=0.6
    [ "$what" = warm ] || target=0.25
    printf 'T-wide in ext4 on a loop device, %s, median of %d rounds: %s\n' "$what" "$n" \
      "$(grep -E '^ostrel-scan: [0-9]+ folders' "$tmp/dev.stderr")"
    awk -v walk="$(median <"$tmp/scan.wall")" -v dev="$(median <"$tmp/dev.wall")" -v target="$target" \
        -v wrss="$(median <"$tmp/scan.rss")" -v drss="$(median <"$tmp/dev.rss")" -v empty="$empty_kib" -v dempty="$dev_empty_kib" \
        -v nodes="$(sed -E 's/^ostrel-scan: ([0-9]+) folders, ([0-9]+) files.*/\1 \2/' "$tmp/dev.stderr" | awk '{ print $1 + $2 }')" 'BEGIN {
      wper = (wrss - empty) * 1024 / nodes; dper = (drss - dempty) * 1024 / nodes
      printf "    %-28s%8.3f s\n", "walk (ostrel-scan)", walk / 1e6
      printf "    %-28s%8.3f s   device/walk %.2f  target <= %s  %s\n", "--read-device", dev / 1e6, dev / walk, target, dev <= target * walk ? "ok" : "OVER"
      printf "    %-28s%8.1f bytes against the walk'"'"'s %.1f  target <= 1  %s\n", "memory per entry", dper, wper, dper <= wper ? "ok" : "OVER"
      printf "    %-28s%8.1f MiB more than the walk'"'"'s empty folder\n", "the device'"'"'s fixed cost", (dempty - empty) / 1024 }'
  done
  umount "$mnt"
  losetup -d "$loopdev"
  loopdev=
}

echo "ostrel-scan walks with ${threads:-its default number of} threads; $(nproc) cores here; load $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -n "$device_only" ]; then
  device_rounds
  exit 0
fi
warm "$wide"; report "T-wide, warm" "$rounds" du:0.55
scan_files "$wide"
compare_files
wide_breakdown
warm "$flat"; report "T-flat, warm" "$rounds" ncdu:0.60

# Cold: the page, inode and folder caches dropped before every run, as a first scan
# of a disk meets them. Needs root; elsewhere the warm figures decide.
if [ "$cold_rounds" -gt 0 ] && [ -w /proc/sys/vm/drop_caches ] && { sync; echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
  tree=$wide
  rm -f "$tmp"/*.wall "$tmp"/scan.rss
  cold_tools=(run_scan run_du run_ncdu run_gdu)
  for ((r = 0; r < cold_rounds; r++)); do
    for ((k = 0; k < ${#cold_tools[@]}; k++)); do
      sync; echo 3 >/proc/sys/vm/drop_caches
      "${cold_tools[(r + k) % ${#cold_tools[@]}]}"
    done
  done
  report "T-wide, cold" "$cold_rounds" du:0.50 gdu:0.99
elif [ "$cold_rounds" -eq 0 ]; then
  echo "cold: not run (--cold-rounds 0)"
else
  echo "cold: skipped (the caches cannot be dropped here)"
fi
device_rounds
