#!/usr/bin/env bash
# ostrel-scan as a shell runs it, one case per ctest, each on a tree of its own in a temporary
# folder: exit codes, signals, what could not be read, deep chains under low limits, totals
# against du and an inode-once count, bind mounts, out of memory.
#
# usage: scan-test.sh CASE SCAN
#   CASE  exit-codes | signals | unreadable | deep | totals | bind-mounts | out-of-memory
#   OSTREL_SANITIZE in the environment names the sanitizers SCAN was built with.
# Exit: 0 passed, 1 failed, 77 skipped (the reason is printed).
. "$(dirname "${BASH_SOURCE[0]}")/clitest.sh"
if [ "$case" = bind-mounts-inside ]; then
  tmp=$3  # the outer run's folder: only the outer run removes it, after every mount is gone
else
  make_tmp scan-test
fi
# The size printed for PATH in $tmp/out (lines "SIZE<tab>PATH"); empty when there is none.
size_of() { awk -F '\t' -v p="$1" '{ s = $1; sub(/^[^\t]*\t/, "") } $0 == p { print s; exit }' "$tmp/out"; }
# same_with_one_thread WHAT PATH: every folder and file line, the lines of what could not be
# read and the exit status are the same with one thread as with the default number, run
# after run (the summary's seconds aside).
same_with_one_thread() {
  local what=$1 one many round
  shift
  "${as_user[@]+"${as_user[@]}"}" "$scan" --threads 1 --files --max-depth 100000 "$@" >"$tmp/one.out" 2>"$tmp/one.err"
  one=$?
  for round in 1 2 3; do
    "${as_user[@]+"${as_user[@]}"}" "$scan" --files --max-depth 100000 "$@" >"$tmp/many.out" 2>"$tmp/many.err"
    many=$?
    [ "$one" -eq "$many" ] || fail "$what: exit status $one with one thread, $many with more"
    cmp -s "$tmp/one.out" "$tmp/many.out" || fail "$what: the listing differs with more threads: $(diff "$tmp/one.out" "$tmp/many.out" | head -n 5)"
    diff <(sed 's/, [0-9.]* s/, s/' "$tmp/one.err") <(sed 's/, [0-9.]* s/, s/' "$tmp/many.err") >/dev/null ||
      fail "$what: stderr differs with more threads: $(cat "$tmp/many.err")"
  done
}
size_is() { [ "$(size_of "$2")" = "$3" ] || fail "$1: ostrel-scan $(size_of "$2") for $2, expected $3"; }  # WHAT PATH SIZE
root_line_ok() { [[ $1 =~ ^[0-9]+$'\t'"$2"$ ]]; }
du_bytes() { du -sB1 "$@" | head -n 1 | cut -f 1; }
# Independent counts under $1, each inode once (by device and inode): disk usage (blocks x 512,
# folders included) and apparent size (lengths of all but folders).
# (find warns of the loop a folder mounted inside itself makes, and does not enter it.)
inode_once() {  # FOLDER FORMAT [FIND TESTS...]
  find "$1" "${@:3}" -printf "%D %i %$2\n" 2>/dev/null | sort -u -k1,2 | awk '{ s += $3 } END { printf "%.0f\n", s }'
}
inode_once_disk() { inode_once "$1" b | awk '{ printf "%.0f\n", $1 * 512 }'; }
inode_once_apparent() { inode_once "$1" s ! -type d; }

stopped_or_ended() {  # every thread of process $1 stands still, or it is gone
  local s
  for s in /proc/"$1"/task/*/stat; do
    [[ $(sed 's/.*) //' "$s" 2>/dev/null) == [tT]* ]] || { has_ended "$1"; return; }
  done
}
walking_in() {  # process $1 holds a descriptor of folder $2 or of one below it: its walk is on
  local fd target
  for fd in /proc/"$1"/fd/*; do
    target=$(readlink "$fd") || continue
    [[ $target == "$2" || $target == "$2"/* ]] && return 0
  done
  return 1
}

case_exit_codes() {
  local t=$tmp/t
  mkdir -p "$t/a" "$t/b"
  head -c 5000 /dev/urandom >"$t/a/f"
  : >"$t/b/empty"

  run "$t"
  expect_rc 0 "a complete scan"
  [ "$(cat "$tmp/err")" = "$(grep -E '^ostrel-scan: 3 folders, 2 files, [0-9.]+ s$' "$tmp/err")" ] ||
    fail "a complete scan says its summary alone: $(cat "$tmp/err")"

  for missing in "$tmp/no such folder" "$t/a/f"; do
    run "$missing"
    expect_rc 1 "PATH '$missing' names no folder" "no such folder"
  done
  for bad in "--bogus" "--max-depth x" "--no-combine $t" "--breakdown" "$t $t"; do
    # shellcheck disable=SC2086 # split on purpose: one case is several arguments
    run $bad
    expect_rc 2 "bad usage '$bad'"
  done
  run --help
  expect_rc 0 "--help"
  for word in --apparent-size -0 "disk usage" unescaped 130 143; do
    grep -q -- "$word" "$tmp/out" || fail "--help does not mention '$word'"
  done
  # A write that fails is reported and ends with 1, after a scan as after --help.
  for args in "$t" --help; do
    "$scan" "$args" >/dev/full 2>"$tmp/err"; rc=$?
    expect_rc 1 "'$args' > /dev/full" "^ostrel-scan: write error: No space left on device$"
  done
}

case_signals() {
  local t=$tmp/t pid line total=20021
  mkdir -p "$t" && (cd "$t" && mkdir -p {a..t}/{1..1000}) || { fail "making the tree"; return; }

  # Ctrl-C during the walk: the part scanned is printed. The process is stopped and looked at
  # until it holds a descriptor inside the tree, which proves the walk is under way; the
  # signal goes in while it stands still.
  "$scan" --max-depth 1 "$t" >"$tmp/out" 2>"$tmp/err" &
  pid=$!
  local caught=0
  for _ in $(seq 1000); do
    kill -STOP "$pid" && wait_until stopped_or_ended "$pid" && ! has_ended "$pid" || break
    if walking_in "$pid" "$t"; then
      kill -INT "$pid"
      caught=1
    fi
    kill -CONT "$pid"
    [ "$caught" -eq 0 ] || break
  done
  kill -CONT "$pid" 2>/dev/null
  wait "$pid"; rc=$?
  [ "$caught" -eq 1 ] || fail "Ctrl-C mid-scan: the walk was never caught under way"
  expect_rc 130 "Ctrl-C mid-scan" '^ostrel-scan: [0-9]+ folders, 0 files, [0-9.]+ s \(interrupted\)$'
  local n
  n=$(sed -n 's/^ostrel-scan: \([0-9]*\) folders, .*/\1/p' "$tmp/err")
  [ "${n:-$total}" -lt "$total" ] || fail "Ctrl-C mid-scan: the walk went on to $n of $total folders"
  root_line_ok "$(head -n 1 "$tmp/out")" "$t" || fail "Ctrl-C mid-scan: no root line: $(head -n 3 "$tmp/out")"

  # SIGTERM while printing: printing goes on to the end, then 143. A line read from the pipe
  # proves the walk is over and printing has begun.
  mkfifo "$tmp/pipe"
  "$scan" --max-depth 9 "$t" >"$tmp/pipe" 2>"$tmp/err" &
  pid=$!
  exec 3<"$tmp/pipe"
  IFS= read -r line <&3
  kill -TERM "$pid"
  cat <&3 >"$tmp/out"
  exec 3<&-
  wait "$pid"; rc=$?
  expect_rc 143 "SIGTERM while printing"
  root_line_ok "$line" "$t" || fail "SIGTERM while printing: the first line is $line"
  [ $(($(wc -l <"$tmp/out") + 1)) -eq "$total" ] || fail "SIGTERM while printing: not all $total lines printed"
  expect_err "^ostrel-scan: $total folders, 0 files, [0-9.]+ s \(interrupted\)$" "SIGTERM while printing"

  # A second Ctrl-C ends it at once, even while it is stuck writing to a pipe nobody reads
  # (the output is far larger than the pipe and the stream's buffer).
  "$scan" --max-depth 9 "$t" >"$tmp/pipe" 2>"$tmp/err" &
  pid=$!
  exec 3<"$tmp/pipe"
  IFS= read -r _ <&3
  kill -INT "$pid"
  # Two signals sent at once may arrive as one: the second goes once the first was taken.
  wait_until signal_taken "$pid" 2 || fail "the first Ctrl-C was never taken"
  if has_ended "$pid"; then
    fail "the first Ctrl-C while printing ended the program"
  else
    kill -INT "$pid"
    wait_until has_ended "$pid" || { fail "a second Ctrl-C did not end the program"; kill -KILL "$pid"; }
  fi
  wait "$pid"; rc=$?
  exec 3<&-
  expect_rc 130 "a second Ctrl-C"
}

case_unreadable() {
  local t=$tmp/t as_user
  mkdir -p "$t/locked" "$t/nosearch/sub" "$t/open"
  echo secret >"$t/locked/secret"
  echo four >"$t/nosearch/f"
  echo five >"$t/nosearch/sub/g"
  echo six >"$t/open/h"
  as_nobody "$t"
  chmod 000 "$t/locked"
  chmod 444 "$t/nosearch"  # names readable, entries not examinable
  "${as_user[@]}" "$scan" --max-depth 2 "$t" >"$tmp/out" 2>"$tmp/err"; rc=$?
  expect_rc 1 "unreadable folders"
  local want="ostrel-scan: cannot read directory '$t/locked': Permission denied
ostrel-scan: cannot access '$t/nosearch/f': Permission denied
ostrel-scan: cannot read directory '$t/nosearch/sub': Permission denied"
  [ "$(head -n 3 "$tmp/err")" = "$want" ] || fail "the unread lines, in the tree's order: $(cat "$tmp/err")"
  expect_err '^ostrel-scan: 5 folders, 2 files, [0-9.]+ s, 3 could not be read$' "the summary counts them"
  [ "$(wc -l <"$tmp/err")" -eq 4 ] || fail "stderr holds the three lines and the summary: $(cat "$tmp/err")"
  same_with_one_thread "unreadable folders" "$t"
}

case_deep() {
  # A chain of folders "d/d/...", each made relative to the one above (a path this long cannot
  # be named), with a file of 12345 bytes at its foot; counted whole under a low limit.
  local depth limit t
  for chain in "3000 -n 64" "30000 -s 1024"; do
    read -r depth limit <<<"$chain"
    t=$tmp/chain$depth
    mkdir "$t"
    perl -e 'chdir $ARGV[0] or die; for (1 .. $ARGV[1]) { mkdir "d" or die "$!"; chdir "d" or die "$!" }
             open my $f, ">", "foot" or die; print $f "x" x 12345; close $f or die' "$t" "$depth" ||
      { fail "making a chain of $depth"; continue; }
    # shellcheck disable=SC2086 # the limit is two words
    (ulimit $limit && exec "$scan" --max-depth 0 -o "$tmp/chain.json" "$t") >"$tmp/out" 2>"$tmp/err"; rc=$?
    expect_rc 0 "a chain of $depth under ulimit $limit"
    expect_err "^ostrel-scan: $((depth + 1)) folders, 1 files, [0-9.]+ s$" "a chain of $depth, ulimit $limit"
    size_is "a chain of $depth, as du" "$t" "$(du_bytes "$t")"
    # Saved and read back, under the same limit, it is the same scan.
    # shellcheck disable=SC2086
    (ulimit $limit && exec "$scan" --max-depth 0 -f "$tmp/chain.json") 2>/dev/null | cmp -s - "$tmp/out" || fail "a chain of $depth read back"
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
  # Four names of one file within links/; one file named in two folders of span/.
  head -c 300000 /dev/urandom >"$t/links/one"
  for name in two inner/three inner/four; do ln "$t/links/one" "$t/links/$name"; done
  head -c 70000 /dev/urandom >"$t/span/a/x"
  ln "$t/span/a/x" "$t/span/b/y"
  # The block counts are the file system's own; say so when it keeps no holes.
  [ "$(stat -c %b "$t/data/sparse")" -eq 0 ] || echo "NOTE: no holes here: sparse files take their full length"

  run --max-depth 9 "$t"
  expect_rc 0 "totals"
  size_is "root, as du" "$t" "$(du_bytes "$t")"
  size_is "root, each inode once" "$t" "$(inode_once_disk "$t")"
  local folder checked=0
  while IFS= read -r -d '' folder; do
    # Where a file's names span folders, du on one of them counts it there too.
    case $folder in "$t/span/a" | "$t/span/b" | "$t/links/inner") continue ;; esac
    checked=$((checked + 1))
    size_is "as du" "$folder" "$(du_bytes "$folder")"
  done < <(find "$t" -type d -print0)
  [ "$checked" -eq 5 ] || fail "compared $checked folders with du, expected 5"

  run --apparent-size "$t"
  size_is "apparent, file lengths each inode once" "$t" "$(inode_once_apparent "$t")"
  echo "ostrel-scan agreed with du -sB1 on the root and $checked folders"

  # Wide enough for the helper threads to share it: many small folders, one of more files
  # than a thread takes at once, and names of one file spread both ways across them.
  local w=$tmp/w i j
  mkdir -p "$w/big"
  for i in $(seq -w 1 80); do
    mkdir -p "$w/f$i/sub"
    (cd "$w/f$i" && touch $(seq -f "file%g" 1 30) && head -c $((10#$i * 1000)) /dev/urandom >sub/data)
  done
  (cd "$w/big" && touch $(seq -f "entry%05g" 1 2500) && head -c 9000 /dev/urandom >entry00007)
  for i in 05 40 77; do
    for j in 02 61; do ln "$w/f$i/sub/data" "$w/f$j/link-to-$i"; done
    ln "$w/f$i/sub/data" "$w/big/zz-link-to-$i"
  done
  same_with_one_thread "a wide tree" "$w"
  run --max-depth 0 "$w"
  size_is "wide tree, as du" "$w" "$(du_bytes "$w")"
}

case_bind_mounts() {
  command -v unshare >/dev/null || skip "unshare is missing"
  unshare -m true 2>/dev/null || skip "no private mount namespace here"
  mkdir -p "$tmp/t/x" "$tmp/t/y/loop" "$tmp/t/z/m"
  head -c 50000 /dev/urandom >"$tmp/t/x/f"
  head -c 30000 /dev/urandom >"$tmp/t/y/g"
  # The mounts live in the child's own namespace and go with it; the tree is removed only
  # afterwards, never through a mount.
  unshare -m bash "$0" bind-mounts-inside "$scan" "$tmp"
  exit $?
}

case_bind_mounts_inside() {
  local t=$tmp/t
  mount --make-rprivate / 2>/dev/null || skip "cannot make the mounts private"
  # x is seen again as z/m; y contains itself as y/loop.
  mount --bind "$t/x" "$t/z/m" 2>/dev/null || skip "bind mounts refused"
  mount --bind "$t/y" "$t/y/loop" || { fail "a second bind mount refused"; return; }
  run --max-depth 9 "$t"
  expect_rc 0 "bind mounts"
  # du counts a folder reached twice once only when given several arguments: given the tree
  # twice, it counts every inode once, as ostrel-scan does.
  size_is "root, as du of it twice" "$t" "$(du_bytes "$t" "$t")"
  size_is "root, each inode once" "$t" "$(inode_once_disk "$t")"
  for folder in "$t/x" "$t/y"; do size_is "as du" "$folder" "$(du_bytes "$folder")"; done
  [ "$(size_of "$t/z/m")" = 0 ] && [ "$(size_of "$t/y/loop")" = 0 ] && [ -z "$(size_of "$t/y/loop/g")" ] ||
    fail "a repeated folder counts 0 and is not walked again: $(cat "$tmp/out")"
  same_with_one_thread "bind mounts" "$t"
}

case_out_of_memory() {
  [ -z "${OSTREL_SANITIZE:-}" ] || skip "a sanitizer reserves far more address space than ulimit -v allows"
  local t=$tmp/t long
  long=$(printf 'n%.0s' {1..200})
  mkdir -p "$t" "$tmp/empty"
  (cd "$t" && mkdir {a..t} && for d in {a..t}; do (cd "$d" && touch $(seq -f "%04g$long" 1000)); done) ||
    { fail "making the tree"; return; }
  # The least address space, to 1 MiB, in which an empty folder is scanned; then 2 MiB more,
  # far less than the tree's 20,000 long names take.
  local kib=8192
  until (ulimit -v "$kib" && exec "$scan" "$tmp/empty") >/dev/null 2>&1; do
    kib=$((kib + 1024))
    [ "$kib" -le 262144 ] || { fail "no scan works even in 256 MiB"; return; }
  done
  (ulimit -v $((kib + 2048)) && exec "$scan" --max-depth 1 "$t") >"$tmp/out" 2>"$tmp/err"; rc=$?
  expect_rc 1 "out of memory" '^ostrel-scan: out of memory: the scan stopped after [0-9]+ folders$' \
    '^ostrel-scan: [0-9]+ folders, [0-9]+ files, [0-9.]+ s \(out of memory\)$'
  root_line_ok "$(head -n 1 "$tmp/out")" "$t" || fail "out of memory: the part scanned is printed: $(head -n 3 "$tmp/out")"
}

run_case exit-codes signals unreadable deep totals bind-mounts bind-mounts-inside out-of-memory
