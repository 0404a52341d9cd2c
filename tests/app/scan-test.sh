#!/usr/bin/env bash
# ostrel-scan as a shell runs it, one case per ctest, each on a tree of its own in a temporary
# folder: exit codes and output formats, signals, what could not be read, deep chains under low
# limits, totals against du and an inode-once count, bind mounts, out of memory.
#
# usage: scan-test.sh CASE SCAN CHAIN
#   CASE   exit-codes | signals | unreadable | deep | totals | bind-mounts | out-of-memory
#   SCAN   the ostrel-scan to test; CHAIN the ostrel-test-chain helper
#   OSTREL_SANITIZE in the environment names the sanitizers the programs were built with.
# Exit: 0 passed, 1 failed, 77 skipped (the reason is printed).
set -uo pipefail
export LC_ALL=C  # names are bytes; strerror texts in English
[ $# -ge 3 ] || { echo "usage: scan-test.sh CASE SCAN CHAIN" >&2; exit 2; }
case=$1 scan=$2 chain=$3

if [ "$case" = bind-mounts-inside ]; then
  tmp=$4  # the outer run's folder: only the outer run removes it, after every mount is gone
else
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-scan-test.XXXXXX") || exit 1
  trap 'chmod -R u+rwx "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIP: $*"; exit 77; }

# run ARGS...: runs the scan; its stdout in $tmp/out, stderr in $tmp/err, status in $rc.
run() { "$scan" "$@" >"$tmp/out" 2>"$tmp/err"; rc=$?; }
expect_rc() {  # STATUS WHAT
  [ "$rc" -eq "$1" ] || fail "$2: exit status $rc, expected $1; stderr: $(head -c 2000 "$tmp/err")"
}
expect_err() {  # ERE WHAT: some stderr line matches
  grep -Eq -- "$1" "$tmp/err" || fail "$2: no stderr line matches '$1'; stderr: $(head -c 2000 "$tmp/err")"
}
# The size printed for PATH in $tmp/out (lines "SIZE<tab>PATH"); empty when there is none.
size_of() { awk -F '\t' -v p="$1" '{ s = $1; sub(/^[^\t]*\t/, "") } $0 == p { print s; exit }' "$tmp/out"; }
summary_folders() { sed -n 's/^ostrel-scan: \([0-9]*\) folders, .*/\1/p' "$tmp/err" | tail -n 1; }

# Bounded wait for a condition: up to ~20 s, for a loaded machine and a sanitizer build.
wait_until() {
  local tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ "$tries" -lt 2000 ] || return 1
    sleep 0.01
  done
}
# The state letter of process $1 (R, S, T, Z...), or nothing when it is gone.
state_of() { local line; read -r line <"/proc/$1/stat" 2>/dev/null && line=${line##*) } && echo "${line:0:1}"; }
all_threads_stopped() {
  local s line
  for s in /proc/"$1"/task/*/stat; do
    read -r line <"$s" 2>/dev/null || return 1
    line=${line##*) }
    [[ ${line:0:1} == [tT] ]] || return 1
  done
}
has_ended() { [ "$(state_of "$1")" = Z ] || [ ! -e "/proc/$1" ]; }
all_threads_stopped_or_ended() { all_threads_stopped "$1" || has_ended "$1"; }
# True when process $1 has signal number $2 neither pending for a thread nor for the process.
not_pending() {
  local bit=$((1 << ($2 - 1))) mask
  for mask in $(sed -n 's/^\(SigPnd\|ShdPnd\):[[:space:]]*//p' "/proc/$1/status" 2>/dev/null); do
    (( 0x$mask & bit )) && return 1
  done
  return 0
}
# True when process $1 holds a descriptor of the folder $2 or of one below it: its walk is on.
walking_in() {
  local fd target
  for fd in /proc/"$1"/fd/*; do
    target=$(readlink "$fd" 2>/dev/null) || continue
    [[ $target == "$2" || $target == "$2"/* ]] && return 0
  done
  return 1
}

# Sum of one number per line, exact past 2^53: a high part and a low nine-digit part.
exact_sum() {
  awk '{ n = length($0)
         if (n > 9) { hi += substr($0, 1, n - 9) + 0; lo += substr($0, n - 8) + 0 } else lo += $0 + 0 }
       END { hi += int(lo / 1e9); lo = lo % 1e9
             if (hi > 0) printf "%.0f%09.0f\n", hi, lo; else printf "%.0f\n", lo }'
}
# Independent counts of everything under $1, each inode once (by device and inode):
# disk usage (blocks x 512, folders included) and apparent size (lengths, folders 0).
inode_once_disk() {
  find "$1" -printf '%D %i %b\n' 2>/dev/null | sort -u -k1,2 | awk '{ print $3 * 512 }' | exact_sum
}
inode_once_apparent() {
  find "$1" ! -type d -printf '%D %i %s\n' 2>/dev/null | sort -u -k1,2 | awk '{ print $3 }' | exact_sum
}
du_bytes() { du -sB1 "$@" | head -n 1 | cut -f 1; }

case_exit_codes() {
  local t=$tmp/t
  mkdir -p "$t/a" "$t/b"
  head -c 5000 /dev/urandom >"$t/a/f"
  : >"$t/b/empty"

  run "$t"
  expect_rc 0 "a complete scan"
  [ "$(wc -l <"$tmp/err")" -eq 1 ] && grep -Eq '^ostrel-scan: 3 folders, 2 files, [0-9.]+ s$' "$tmp/err" ||
    fail "a complete scan says its summary alone: $(cat "$tmp/err")"
  [ "$(size_of "$t")" = "$(du_bytes "$t")" ] || fail "disk usage by default: $(cat "$tmp/out")"

  run "$tmp/no such folder"
  expect_rc 1 "a PATH that names no folder"
  expect_err "no such folder" "a PATH that names no folder"
  run "$t/a/f"
  expect_rc 1 "a PATH that names a file"

  for bad in "--bogus" "--max-depth x" "--no-combine $t" "--breakdown" "$t $t"; do
    # shellcheck disable=SC2086 # split on purpose: one case is several arguments
    run $bad
    expect_rc 2 "bad usage '$bad'"
  done

  run --help
  expect_rc 0 "--help"
  for word in --apparent-size -0 --null "disk usage" unescaped 130 143; do
    grep -q -- "$word" "$tmp/out" || fail "--help does not mention '$word'"
  done

  # A write that fails is reported, and the status says so, wherever it happens.
  for args in "$t" "--breakdown $t" "--help"; do
    # shellcheck disable=SC2086
    "$scan" $args >/dev/full 2>"$tmp/err"
    rc=$?
    expect_rc 1 "'$args' > /dev/full"
    expect_err "^ostrel-scan: write error: No space left on device$" "'$args' > /dev/full"
  done
  "$scan" "$t" >&- 2>"$tmp/err"
  rc=$?
  expect_rc 1 "a closed stdout"
  expect_err "^ostrel-scan: write error: " "a closed stdout"

  # Names with a newline or a tab: -0 keeps one record per folder, whatever the name.
  mkdir -p "$t/new"$'\n'"line/tab"$'\t'"bed" "$t/x"$'\n'"3"$'\t'"forged"
  run -0 --max-depth 5 "$t"
  expect_rc 0 "-0"
  local records=0 bad=0 rec
  while IFS= read -r -d '' rec; do
    records=$((records + 1))
    [[ ${rec%%$'\t'*} =~ ^[0-9]+$ ]] && [ -d "${rec#*$'\t'}" ] || bad=$((bad + 1))
  done <"$tmp/out"
  [ "$records" -eq 6 ] && [ "$bad" -eq 0 ] || fail "-0: $records records ($bad unreadable), expected 6: $(od -c "$tmp/out" | head -20)"
  [ "$(tr -cd '\n' <"$tmp/out" | wc -c)" -eq 3 ] || fail "-0: the names' own newlines are printed as they are"
  run -0 --breakdown "$t"
  [ "$(tr -cd '\0' <"$tmp/out" | wc -c)" -eq 5 ] || fail "--breakdown -0: one NUL per point: $(od -c "$tmp/out" | head)"
}

case_signals() {
  local t=$tmp/t pid first
  mkdir -p "$t" && (cd "$t" && mkdir -p {a..t}/{1..1000}) || { fail "making the tree"; return; }
  local total=20021

  # Ctrl-C during the walk: the part scanned is printed. The process is stopped and looked at
  # until it holds a descriptor inside the tree, which proves the walk is under way; the
  # signal goes in while it stands still.
  "$scan" --max-depth 1 "$t" >"$tmp/out" 2>"$tmp/err" &
  pid=$!
  local caught=0
  for _ in $(seq 1000); do
    kill -STOP "$pid" 2>/dev/null || break
    wait_until all_threads_stopped_or_ended "$pid" || break
    has_ended "$pid" && break
    if walking_in "$pid" "$t"; then
      kill -INT "$pid"
      kill -CONT "$pid"
      caught=1
      break
    fi
    kill -CONT "$pid"
  done
  kill -CONT "$pid" 2>/dev/null
  wait "$pid"
  rc=$?
  if [ "$caught" -eq 0 ]; then
    fail "Ctrl-C mid-scan: the walk was never caught under way"
  else
    expect_rc 130 "Ctrl-C mid-scan"
    expect_err '^ostrel-scan: [0-9]+ folders, 0 files, [0-9.]+ s \(interrupted\)$' "Ctrl-C mid-scan"
    local n
    n=$(summary_folders)
    [ -n "$n" ] && [ "$n" -lt "$total" ] || fail "Ctrl-C mid-scan: the walk went on to $n of $total folders"
    [[ $(head -n 1 "$tmp/out") =~ ^[0-9]+$'\t'"$t"$ ]] || fail "Ctrl-C mid-scan: no root line: $(head -n 3 "$tmp/out")"
  fi

  # SIGTERM while printing: printing goes on to the end, then 143. A line read from the pipe
  # proves the walk is over and printing has begun.
  mkfifo "$tmp/pipe"
  "$scan" --max-depth 9 "$t" >"$tmp/pipe" 2>"$tmp/err" &
  pid=$!
  exec 3<"$tmp/pipe"
  IFS= read -r first <&3
  [[ $first =~ ^[0-9]+$'\t'"$t"$ ]] || fail "SIGTERM while printing: the first line is $first"
  kill -TERM "$pid"
  cat <&3 >"$tmp/out"
  exec 3<&-
  wait "$pid"
  rc=$?
  expect_rc 143 "SIGTERM while printing"
  [ $(($(wc -l <"$tmp/out") + 1)) -eq "$total" ] || fail "SIGTERM while printing: $(($(wc -l <"$tmp/out") + 1)) of $total lines"
  expect_err "^ostrel-scan: $total folders, 0 files, [0-9.]+ s \(interrupted\)$" "SIGTERM while printing"

  # A second Ctrl-C ends it at once, even while it is stuck writing to a pipe nobody reads
  # (the output is far larger than the pipe and the stream's buffer).
  "$scan" --max-depth 9 "$t" >"$tmp/pipe" 2>"$tmp/err" &
  pid=$!
  exec 3<"$tmp/pipe"
  IFS= read -r _ <&3
  kill -INT "$pid"
  # Two signals sent at once may arrive as one: send the second once the first was taken.
  wait_until not_pending "$pid" 2 || fail "the first Ctrl-C was never taken"
  if has_ended "$pid"; then
    fail "the first Ctrl-C while printing ended the program"
  else
    kill -INT "$pid"
    wait_until has_ended "$pid" || { fail "a second Ctrl-C did not end the program"; kill -KILL "$pid"; }
  fi
  wait "$pid"
  rc=$?
  exec 3<&-
  expect_rc 130 "a second Ctrl-C"
}

case_unreadable() {
  command -v setpriv >/dev/null || skip "setpriv is missing: cannot scan as an ordinary user"
  local t=$tmp/t
  mkdir -p "$t/locked" "$t/nosearch/sub" "$t/open" "$tmp/bin"
  head -c 3000 /dev/urandom >"$t/locked/secret"
  head -c 5 /dev/urandom >"$t/nosearch/f"
  head -c 6 /dev/urandom >"$t/nosearch/sub/g"
  head -c 7 /dev/urandom >"$t/open/h"
  # The program and the tree are readable for nobody, except what is locked on purpose.
  cp "$scan" "$tmp/bin/ostrel-scan"
  chmod 755 "$tmp" "$tmp/bin" "$tmp/bin/ostrel-scan"
  chmod -R a+rX "$t"
  chmod 000 "$t/locked"
  chmod 444 "$t/nosearch"  # names readable, entries not examinable
  local as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  "${as_nobody[@]}" true 2>/dev/null || skip "setpriv cannot drop to nobody here"
  "${as_nobody[@]}" test -r "$t/locked" && skip "nobody can read a folder of mode 000 here"

  "${as_nobody[@]}" "$tmp/bin/ostrel-scan" --max-depth 2 "$t" >"$tmp/out" 2>"$tmp/err"
  rc=$?
  expect_rc 1 "unreadable folders"
  local want
  want="ostrel-scan: cannot read directory '$t/locked': Permission denied
ostrel-scan: cannot access '$t/nosearch/f': Permission denied
ostrel-scan: cannot read directory '$t/nosearch/sub': Permission denied"
  [ "$(head -n 3 "$tmp/err")" = "$want" ] || fail "the unread lines, in the tree's order: $(cat "$tmp/err")"
  expect_err '^ostrel-scan: 5 folders, 2 files, [0-9.]+ s, 3 could not be read$' "the summary counts them"
  [ "$(wc -l <"$tmp/err")" -eq 4 ] || fail "stderr holds the three lines and the summary: $(cat "$tmp/err")"
  # An unreadable folder keeps its own blocks; what could not be examined counts 0.
  [ "$(size_of "$t/locked")" = "$(($(stat -c %b "$t/locked") * 512))" ] || fail "locked: $(cat "$tmp/out")"
  [ "$(size_of "$t/open")" = "$(du_bytes "$t/open")" ] || fail "open: $(cat "$tmp/out")"
  "${as_nobody[@]}" "$tmp/bin/ostrel-scan" --apparent-size "$t" >"$tmp/out" 2>"$tmp/err"
  [ "$(size_of "$t")" = 7 ] || fail "apparent size of what could be read: $(cat "$tmp/out")"
}

case_deep() {
  # A chain of N folders with a file of 12345 bytes at its foot, counted whole under a limit.
  local depth limit t
  for spec in "3000 -n 64" "30000 -s 1024"; do
    read -r depth limit <<<"$spec"
    t=$tmp/chain$depth
    mkdir "$t" && "$chain" "$t" "$depth" 12345 || { fail "making a chain of $depth"; continue; }
    # shellcheck disable=SC2086 # the limit is two words
    (ulimit $limit && exec "$scan" --max-depth 0 "$t") >"$tmp/out" 2>"$tmp/err"
    rc=$?
    expect_rc 0 "a chain of $depth under ulimit $limit"
    expect_err "^ostrel-scan: $((depth + 1)) folders, 1 files, [0-9.]+ s$" "a chain of $depth under ulimit $limit"
    [ "$(size_of "$t")" = "$(du_bytes "$t")" ] ||
      fail "a chain of $depth under ulimit $limit: $(cat "$tmp/out"), du: $(du_bytes "$t")"
    if [ "$depth" -lt 10000 ]; then  # the summary's file count already says the foot was reached
      # shellcheck disable=SC2086
      (ulimit $limit && exec "$scan" --apparent-size --max-depth 0 "$t") >"$tmp/out" 2>"$tmp/err"
      [ "$(size_of "$t")" = 12345 ] || fail "a chain of $depth, apparent size: $(cat "$tmp/out") $(cat "$tmp/err")"
    fi
    rm -rf "$t"
  done
}

case_totals() {
  local t=$tmp/t
  mkdir -p "$t/data" "$t/links/inner" "$t/span/a" "$t/span/b" "$t/empty"
  head -c 100000 /dev/urandom >"$t/data/real"
  truncate -s 10G "$t/data/sparse"
  dd if=/dev/urandom of="$t/data/holey" bs=4096 count=2 seek=1000 status=none
  : >"$t/data/zero"
  ln -s ../data/real "$t/data/link"
  # Four names of one file inside one folder tree; one file named in two folders.
  head -c 300000 /dev/urandom >"$t/links/one"
  ln "$t/links/one" "$t/links/two"
  ln "$t/links/one" "$t/links/inner/three"
  ln "$t/links/one" "$t/links/inner/four"
  head -c 70000 /dev/urandom >"$t/span/a/x"
  ln "$t/span/a/x" "$t/span/b/y"

  # The sizes on disk are what the file system says, not what the test assumes.
  local holey_blocks
  holey_blocks=$(stat -c %b "$t/data/holey")
  if [ "$(stat -c %b "$t/data/sparse")" -ne 0 ] || [ "$holey_blocks" -ge 8016 ]; then
    echo "NOTE: this file system keeps no holes; sparse files are counted in full here"
  fi

  run --max-depth 9 "$t"
  expect_rc 0 "totals"
  [ "$(size_of "$t")" = "$(du_bytes "$t")" ] || fail "root: ostrel-scan $(size_of "$t"), du $(du_bytes "$t")"
  [ "$(size_of "$t")" = "$(inode_once_disk "$t")" ] || fail "root: ostrel-scan $(size_of "$t"), each inode once $(inode_once_disk "$t")"
  local folder checked=0
  while IFS= read -r -d '' folder; do
    # The name met first carries a file: links/inner's names come after links/one's.
    case $folder in "$t/span/a" | "$t/span/b" | "$t/links/inner") continue ;; esac
    checked=$((checked + 1))
    [ "$(size_of "$folder")" = "$(du_bytes "$folder")" ] ||
      fail "$folder: ostrel-scan $(size_of "$folder"), du $(du_bytes "$folder")"
  done < <(find "$t" -type d -print0)
  [ "$checked" -eq 5 ] || fail "compared $checked folders with du, expected 5"
  [ "$(size_of "$t/span/b")" = "$(($(stat -c %b "$t/span/b") * 512))" ] ||
    fail "span/b counts only its own blocks: $(size_of "$t/span/b")"
  [ "$(size_of "$t/links/inner")" = "$(($(stat -c %b "$t/links/inner") * 512))" ] ||
    fail "links/inner counts only its own blocks: $(size_of "$t/links/inner")"

  run --apparent-size --max-depth 9 "$t"
  [ "$(size_of "$t")" = "$(inode_once_apparent "$t")" ] ||
    fail "apparent: ostrel-scan $(size_of "$t"), file lengths each inode once $(inode_once_apparent "$t")"
  for folder in "$t/data" "$t/links" "$t/span"; do
    [ "$(size_of "$folder")" = "$(inode_once_apparent "$folder")" ] ||
      fail "apparent $folder: ostrel-scan $(size_of "$folder"), lengths $(inode_once_apparent "$folder")"
  done
  [ "$(size_of "$t/empty")" = 0 ] || fail "an empty folder has no apparent size"

  # --breakdown follows the measure: its points add up to the root's total in each.
  local measure total
  for measure in "" --apparent-size; do
    # shellcheck disable=SC2086
    run --max-depth 0 $measure "$t"
    total=$(size_of "$t")
    # shellcheck disable=SC2086
    run --breakdown --no-combine $measure "$t"
    [ "$(cut -f 2 "$tmp/out" | exact_sum)" = "$total" ] ||
      fail "--breakdown $measure: points sum to $(cut -f 2 "$tmp/out" | exact_sum), the root is $total"
  done
  echo "compared the root and $checked folders with du -sB1"
}

case_bind_mounts() {
  command -v unshare >/dev/null || skip "unshare is missing"
  unshare -m true 2>/dev/null || skip "no private mount namespace here"
  local t=$tmp/t
  mkdir -p "$t/x" "$t/y/loop" "$t/z/m"
  head -c 50000 /dev/urandom >"$t/x/f"
  head -c 30000 /dev/urandom >"$t/y/g"
  # The mounts live in a namespace of the child alone and go with it; the tree is removed
  # only afterwards, never through a mount.
  unshare -m bash "$0" bind-mounts-inside "$scan" "$chain" "$tmp"
  exit $?
}

case_bind_mounts_inside() {
  local t=$tmp/t
  mount --make-rprivate / 2>/dev/null || skip "cannot make the mounts private"
  mount --bind "$t/x" "$t/z/m" 2>/dev/null || skip "bind mounts refused"
  mount --bind "$t/y" "$t/y/loop" || { fail "a second bind mount refused"; return; }
  run --max-depth 9 "$t"
  expect_rc 0 "bind mounts"
  # du counts a folder's inode once only when given several arguments; given the tree twice,
  # it counts every inode once, as ostrel-scan does.
  [ "$(size_of "$t")" = "$(du_bytes "$t" "$t")" ] || fail "root: ostrel-scan $(size_of "$t"), du $(du_bytes "$t" "$t")"
  [ "$(size_of "$t")" = "$(inode_once_disk "$t")" ] || fail "root: ostrel-scan $(size_of "$t"), each inode once $(inode_once_disk "$t")"
  local folder
  for folder in "$t/x" "$t/y"; do
    [ "$(size_of "$folder")" = "$(du_bytes "$folder")" ] ||
      fail "$folder: ostrel-scan $(size_of "$folder"), du $(du_bytes "$folder")"
  done
  [ "$(size_of "$t/z/m")" = 0 ] && [ "$(size_of "$t/y/loop")" = 0 ] ||
    fail "the repeated folders count 0: $(cat "$tmp/out")"
  [ -z "$(size_of "$t/y/loop/g")" ] || fail "a repeated folder is not walked again"
  run --apparent-size "$t"
  [ "$(size_of "$t")" = 80000 ] || fail "apparent size with bind mounts: $(size_of "$t")"
}

case_out_of_memory() {
  [ -z "${OSTREL_SANITIZE:-}" ] || skip "a sanitizer build reserves far more address space than ulimit -v allows"
  local t=$tmp/t name
  name=$(printf 'n%.0s' $(seq 200))
  mkdir -p "$t" "$tmp/tiny"
  (cd "$t" && mkdir {a..t} && for d in {a..t}; do (cd "$d" && touch $(seq -f "%04g$name" 1 1000)); done) ||
    { fail "making the tree"; return; }
  # The least address space in which a scan of an empty folder works, to 1 MiB; then 2 MiB
  # more, far less than the tree's 20,000 names take.
  local kib=8192
  until (ulimit -v "$kib" && exec "$scan" "$tmp/tiny") >/dev/null 2>&1; do
    kib=$((kib + 1024))
    [ "$kib" -le 262144 ] || { fail "no scan works even in 256 MiB"; return; }
  done
  (ulimit -v $((kib + 2048)) && exec "$scan" --max-depth 1 "$t") >"$tmp/out" 2>"$tmp/err"
  rc=$?
  expect_rc 1 "out of memory"
  expect_err '^ostrel-scan: out of memory: the scan stopped after [0-9]+ folders$' "out of memory"
  expect_err '^ostrel-scan: [0-9]+ folders, [0-9]+ files, [0-9.]+ s \(out of memory\)$' "out of memory"
  [[ $(head -n 1 "$tmp/out") =~ ^[0-9]+$'\t'"$t"$ ]] || fail "out of memory: what was scanned is printed: $(head -n 3 "$tmp/out")"
}

case $case in
  exit-codes) case_exit_codes ;;
  signals) case_signals ;;
  unreadable) case_unreadable ;;
  deep) case_deep ;;
  totals) case_totals ;;
  bind-mounts) case_bind_mounts ;;
  bind-mounts-inside) case_bind_mounts_inside ;;
  out-of-memory) case_out_of_memory ;;
  *) echo "scan-test.sh: unknown case $case" >&2; exit 2 ;;
esac
if [ "$failures" -ne 0 ]; then
  echo "$case: $failures failed"
  exit 1
fi
echo "$case: passed"
