#!/usr/bin/env bash
# ostrel-scan's scan files as a shell uses them, one case per ctest, each on a tree of its own:
#   round-trip  scan, save, read back: the full listing in both measures is the scan's (linked
#               files, sparse files, names that are not UTF-8 or hold a newline or begin with
#               '-', unreadable folders)
#   malformed   cut short, wrong version, wrong types, deep nesting, huge numbers: refused with
#               the byte offset and 1, never a crash, never a tree
#   ncdu        ncdu reads our file; ncdu's own file of a tree (its entries in the system's
#               order) reads back as our scan of it, line for line (installs ncdu when missing)
#   huge        a name of a gibibyte in a mebibyte of gzip, under ulimit -v: refused once past
#               the limit; nesting that takes all the memory there is: out of memory, not a crash
#   sizes       sizes of 2^64 - 1 and sums past 2^53 read and print to the byte; sums past
#               2^64 are capped there, with a note, also when saved
#
# usage: scanfile-test.sh CASE SCAN
# Exit: 0 passed, 1 failed, 77 skipped (the reason is printed).
. "$(dirname "${BASH_SOURCE[0]}")/clitest.sh"
make_tmp scanfile-test
# The stderr lines but the summary's seconds (and with $no_reasons set, why something could not
# be read).
lines_of() {
  if [ -n "${no_reasons:-}" ]; then
    sed "s/, [0-9.]* s/, s/; s/^\(ostrel-scan: cannot [a-z ]*'.*'\): .*/\1/" "$1"
  else
    sed 's/, [0-9.]* s/, s/' "$1"
  fi
}

# same_after_reading WHAT FILE ARGS...: with each measure, the full listing, stderr and exit
# status of reading FILE are those of the scan in $tmp/scan.* (made with the same ARGS).
same_after_reading() {
  local what=$1 file=$2 measure
  shift 2
  for measure in "" --apparent-size; do
    # shellcheck disable=SC2086 # an empty measure is no argument
    "${as_user[@]+"${as_user[@]}"}" "$scan" $measure --files --max-depth 100000 "$@" >"$tmp/scan.out" 2>"$tmp/scan.err"
    local want=$?
    # shellcheck disable=SC2086
    "$scan" $measure --files --max-depth 100000 -f "$file" >"$tmp/read.out" 2>"$tmp/read.err"
    local got=$?
    [ "$want" -eq "$got" ] || fail "$what$measure: exit status $got after reading, $want after the scan"
    cmp -s "$tmp/scan.out" "$tmp/read.out" ||
      fail "$what$measure: the listing differs: $(diff "$tmp/scan.out" "$tmp/read.out" | head -n 6)"
    diff <(lines_of "$tmp/scan.err") <(lines_of "$tmp/read.err") >/dev/null ||
      fail "$what$measure: stderr differs: $(diff <(lines_of "$tmp/scan.err") <(lines_of "$tmp/read.err") | head -n 6)"
  done
}

# odd_tree T: a tree of what a scan file must carry exactly: one file under three names in
# three folders, a sparse file, names that are not UTF-8, hold a tab, quotes, a backslash, a
# control byte or a newline, or begin with '-', a folder that cannot be read and one whose
# entries cannot be examined (run as nobody: as_user).
odd_tree() {
  local t=$1
  mkdir -p "$t/a/b" "$t/c" "$t/locked" "$t/nosearch" "$t/c/$(printf '\x01\x7f dir')" "$t/-dir"
  head -c 20000 /dev/urandom >"$t/a/data"
  ln "$t/a/data" "$t/c/second" && ln "$t/a/data" "$t/third"
  truncate -s 50M "$t/a/sparse"
  printf 'x' >"$t/a/b/$(printf 'caf\xe9 \xff\xfe')"
  printf 'y' >"$t/c/$(printf 'tab\there "quoted" back\\slash')"
  printf 'z' >"$t/c/$(printf 'two\nlines')" && printf 'w' >"$t/-lead"
  echo secret >"$t/locked/s"
  echo four >"$t/nosearch/f"
  as_nobody "$t"
  chmod 000 "$t/locked"
  chmod 444 "$t/nosearch"
}

case_round_trip() {
  local t=$tmp/t as_user=()
  odd_tree "$t"

  "${as_user[@]+"${as_user[@]}"}" "$scan" -o "$tmp/t.json" "$t" >/dev/null 2>"$tmp/err"; rc=$?
  expect_rc 1 "a scan with unreadable folders, saved"
  expect_err '^ostrel-scan: cannot read directory .*/locked.: Permission denied$' "the scan names the locked folder"
  grep -q "\"name\":\"$(printf 'caf\xe9 \xff\xfe')\"" "$tmp/t.json" || fail "names that are not UTF-8 go in as their bytes"
  [ "$(grep -o '"nlink":3' "$tmp/t.json" | wc -l)" -eq 3 ] || fail "each name of the linked file has its link count"
  same_after_reading "plain file" "$tmp/t.json" "$t"
  gzip -c "$tmp/t.json" >"$tmp/t.json.gz"
  same_after_reading "gzip file" "$tmp/t.json.gz" "$t"
  # Saved again from what was read, a file reads back the same: nothing is lost on the way.
  "$scan" -f "$tmp/t.json" -o "$tmp/again.json" >/dev/null 2>&1
  same_after_reading "read and saved again" "$tmp/again.json" "$t"
  # Standard input and standard output; stdout then carries the file alone.
  "${as_user[@]+"${as_user[@]}"}" "$scan" -o - "$t/a" 2>/dev/null | "$scan" -f - --files --max-depth 9 >"$tmp/piped" 2>/dev/null
  "$scan" --files --max-depth 9 "$t/a" 2>/dev/null | cmp -s - "$tmp/piped" || fail "-o - piped into -f -"
  # A stop part-way is kept in the file and said again when it is read.
  sed 's/"state":"complete"/"state":"stopped"/' "$tmp/t.json" >"$tmp/stopped.json"
  run -f "$tmp/stopped.json"
  expect_rc 1 "a stopped scan read back" '^ostrel-scan: the scan was stopped before it ended'
  expect_err '\(incomplete\)$' "a stopped scan read back: the summary"
  run -o "$tmp/no such folder/x.json" "$t/a"
  expect_rc 1 "-o into a missing folder" "^ostrel-scan: cannot write '.*x.json': No such file or directory$"
  # A folder that cannot be written in is said before anything is read: here a FIFO that no
  # writer ever opens, which would hold the reading for ever.
  mkdir "$tmp/ro" && chmod 555 "$tmp/ro" && mkfifo "$tmp/never"
  "${as_user[@]+"${as_user[@]}"}" timeout 60 "$scan" -f "$tmp/never" -o "$tmp/ro/x.json" >"$tmp/out" 2>"$tmp/err"; rc=$?
  expect_rc 1 "-o into a folder that cannot be written in" "^ostrel-scan: cannot write '$tmp/ro/x.json': Permission denied$"

  # -o takes the target's place only once the scan is written whole: -f X -o X converts X in
  # place (here gzip to plain), and a failure leaves the target as it was, nothing beside it.
  mkdir "$tmp/o" && cd "$tmp/o" || { fail "making $tmp/o"; return; }
  gzip -c "$tmp/again.json" >x.json
  chmod 640 x.json
  run -f x.json -o x.json
  [ "$(head -c 1 x.json)" = "[" ] && [ "$(stat -c %a x.json)" = 640 ] || fail "-f X -o X: $(head -c 60 x.json | od -c | head -n 2)"
  cmp -s <(sed 's/"timestamp":[0-9]*//' x.json) <(sed 's/"timestamp":[0-9]*//' "$tmp/again.json") ||
    fail "-f X -o X: not the same scan: $(cmp <(sed 's/"timestamp":[0-9]*//' x.json) <(sed 's/"timestamp":[0-9]*//' "$tmp/again.json"))"
  printf '[1,2,{"progname":"t"},[{"name":"/r"' >bad.json
  cp x.json before.json
  for args in "-f bad.json -o x.json" "-f bad.json -o bad.json" "-o x.json $tmp/nowhere"; do
    cp bad.json bad.before
    # shellcheck disable=SC2086 # the arguments are words
    run $args
    expect_rc 1 "$args"
    cmp -s x.json before.json && cmp -s bad.json bad.before || fail "$args: the target changed"
    [ "$(ls -A)" = $'bad.before\nbad.json\nbefore.json\nx.json' ] || fail "$args: left in the folder: $(ls -A)"
  done
  # A new file gets the mode that the umask gives it.
  (umask 027 && "$scan" -f before.json -o new.json >/dev/null 2>&1)
  [ "$(stat -c %a new.json)" = 640 ] || fail "a new -o file: mode $(stat -c %a new.json)"
  cd "$tmp" || return
}

case_malformed() {
  local good='[1,2,{"progname":"t"},[{"name":"/r","dsize":4096,"dev":1,"ino":2},{"name":"f","asize":5,"dsize":512},[{"name":"d","dev":1,"ino":3}]]]'
  printf '%s' "$good" >"$tmp/good.json"
  run -f "$tmp/good.json" --files
  expect_rc 0 "a good file"
  [ "$(head -n 1 "$tmp/out")" = $'4608\t/r' ] || fail "a good file: $(cat "$tmp/out")"
  # Cut short anywhere, plain or compressed: refused, never a tree.
  local n
  for ((n = 0; n < ${#good}; n += 7)); do
    printf '%s' "${good:0:n}" >"$tmp/cut.json"
    run -f "$tmp/cut.json"
    expect_rc 1 "cut after $n bytes"
    [ -s "$tmp/out" ] && fail "cut after $n bytes: a tree was printed"
    expect_err "^ostrel-scan: '.*cut.json': byte [0-9]+: " "cut after $n bytes"
  done
  gzip -c "$tmp/good.json" | head -c 40 >"$tmp/cut.json.gz"
  run -f "$tmp/cut.json.gz"
  expect_rc 1 "a gzip file cut short" "byte [0-9]+: the file ends before the scan does \(cut short\?\)$"
  # Two gzip members, as concatenated files are, read as one stream.
  { printf '%s' "${good:0:30}" | gzip -c; printf '%s' "${good:30}" | gzip -c; } >"$tmp/two.json.gz"
  run -f "$tmp/two.json.gz"
  expect_rc 0 "two gzip members"
  [ "$(cat "$tmp/out")" = $'4608\t/r\n0\t/r/d' ] || fail "two gzip members: $(cat "$tmp/out")"
  run -f "$tmp"
  expect_rc 1 "a folder as the file" "^ostrel-scan: '$tmp': it is a folder, not a scan file$"
  # A FIFO that no writer ever opens: Ctrl-C ends the reading at once, nothing printed.
  mkfifo "$tmp/silent"
  "$scan" -f "$tmp/silent" >"$tmp/out" 2>"$tmp/err" &
  local pid=$!
  wait_until opened "$pid" "$tmp/silent" || fail "a silent FIFO: never opened"
  kill -INT "$pid"
  wait_until has_ended "$pid" || { fail "a silent FIFO: Ctrl-C did not end the reading"; kill -KILL "$pid"; }
  wait "$pid"; rc=$?
  expect_rc 130 "Ctrl-C while a silent FIFO is read"
  [ -s "$tmp/out" ] && fail "a silent FIFO: printed $(head -n 3 "$tmp/out")"
  local bad what
  while IFS='|' read -r what bad; do
    printf '%s' "$bad" >"$tmp/bad.json"
    run -f "$tmp/bad.json"
    expect_rc 1 "$what"
    [ -s "$tmp/out" ] && fail "$what: a tree was printed"
    expect_err "^ostrel-scan: '.*bad.json': byte [0-9]+: " "$what"
  done <<'CASES'
major version 2|[2,0,{},[{"name":"r"}]]
minor version out of range|[1,10001,{},[{"name":"r"}]]
version as text|["1",2,{},[{"name":"r"}]]
metadata not an object|[1,2,[],[{"name":"r"}]]
root a file|[1,2,{},{"name":"r"}]
folder without description|[1,2,{},[{"name":"r"},[]]]
name a number|[1,2,{},[{"name":5}]]
no name|[1,2,{},[{"asize":5}]]
size as text|[1,2,{},[{"name":"r","asize":"5"}]]
negative size|[1,2,{},[{"name":"r"},{"name":"f","dsize":-512}]]
fractional size|[1,2,{},[{"name":"r"},{"name":"f","dsize":0.5}]]
size past 2^64|[1,2,{},[{"name":"r"},{"name":"f","dsize":99999999999999999999999}]]
size far past 2^64|[1,2,{},[{"name":"r"},{"name":"f","asize":1e400}]]
flag as number|[1,2,{},[{"name":"r","read_error":1}]]
item a number|[1,2,{},[{"name":"r"},7]]
slash in a name|[1,2,{},[{"name":"r"},{"name":"a/b"}]]
dot-dot name|[1,2,{},[{"name":"r"},{"name":".."}]]
NUL in a name|[1,2,{},[{"name":"r"},{"name":"a\u0000b"}]]
unknown state|[1,2,{"state":"half"},[{"name":"r"}]]
trailing value|[1,2,{},[{"name":"r"}]] 5
not JSON|<html>
CASES
  # Nesting far deeper than a stack would take: read without trouble, or refused cleanly
  # when cut short.
  python3 -c '
import sys
n = 200000
sys.stdout.write("[1,2,{}," + "[{\"name\":\"d\"}," * n + "[{\"name\":\"e\"},{\"name\":\"f\",\"dsize\":512}]" + "]" * (n + 1))
' >"$tmp/deep.json" || { fail "making the deep file"; return; }
  run -f "$tmp/deep.json" --max-depth 0
  expect_rc 0 "200,000 levels"
  [ "$(cat "$tmp/out")" = $'512\td' ] || fail "200,000 levels: the total: $(head -c 200 "$tmp/out")"
  head -c 1500000 "$tmp/deep.json" >"$tmp/cut.json"
  run -f "$tmp/cut.json"
  expect_rc 1 "200,000 levels cut short" "byte 1500000: the file ends before the scan does"
  run -f "$tmp/none.json"
  expect_rc 1 "a missing file" "^ostrel-scan: '.*none.json': cannot open: No such file or directory$"
  for usage in "-f" "-f $tmp/good.json $tmp" "-f $tmp/good.json --threads 2"; do
    # shellcheck disable=SC2086 # split on purpose
    run $usage
    expect_rc 2 "bad usage '$usage'"
  done
}

case_ncdu() {
  if ! command -v ncdu >/dev/null; then
    [ "$(id -u)" -eq 0 ] || skip "ncdu is missing and cannot be installed here"
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ncdu; } >/dev/null 2>&1 ||
      skip "ncdu could not be installed"
  fi
  local t=$tmp/t as_user=()
  odd_tree "$t"
  # Two things ncdu 1.18 does not carry: a name holding a DEL byte, which its reader refuses
  # ("Invalid character", so its export of our file ends there), and the entries of a folder
  # that can be listed but not searched, which it leaves out where the walk has them, of size 0.
  rmdir "$t/c/$(printf '\x01\x7f dir')" && chmod 755 "$t/nosearch" && rm -r "$t/nosearch"
  # ncdu writes its entries in the order the system lists them, folders among files; read
  # back, the listing is the walk's line for line. ncdu records no reason for what it could not
  # read, so the reasons on stderr are left out of the comparison.
  "${as_user[@]+"${as_user[@]}"}" "$scan" -o - "$t" >"$tmp/ours.json" 2>/dev/null
  ncdu --ignore-config -f "$tmp/ours.json" -o "$tmp/through-ncdu.json" 2>"$tmp/err" ||
    fail "ncdu cannot read our file: $(cat "$tmp/err")"
  no_reasons=1 same_after_reading "our file through ncdu" "$tmp/through-ncdu.json" "$t"
  "${as_user[@]+"${as_user[@]}"}" ncdu --ignore-config -0 -x -o - "$t" >"$tmp/theirs.json" 2>"$tmp/err" ||
    { fail "ncdu's export: $(cat "$tmp/err")"; return; }
  grep -q '"read_error":true' "$tmp/theirs.json" || fail "ncdu's file records the locked folder"
  no_reasons=1 same_after_reading "ncdu's file" "$tmp/theirs.json" "$t"
}

case_huge() {
  # A sanitizer reserves far more address space than ulimit -v allows: the names are then read
  # without the limit (refused all the same after a mebibyte), the nesting not at all.
  limited() { if [ -n "${OSTREL_SANITIZE:-}" ]; then "$@"; else (ulimit -v 800000 && exec "$@"); fi; }
  head -c 1048576 /dev/zero | tr '\0' n | gzip -9 >"$tmp/names.gz"
  # gzip members one after another read as one stream: 1,024 of a mebibyte each make a gibibyte.
  gibibyte() { local i; for ((i = 0; i < 1024; i++)); do cat "$1"; done; }
  { printf '[1,2,{},[{"name":"' | gzip; gibibyte "$tmp/names.gz"; printf '"}]]' | gzip; } >"$tmp/root.json.gz"
  { printf '[1,2,{},[{"name":"r"},{"name":"' | gzip; gibibyte "$tmp/names.gz"; printf '"}]]' | gzip; } >"$tmp/entry.json.gz"
  limited "$scan" -f "$tmp/root.json.gz" >"$tmp/out" 2>"$tmp/err"; rc=$?
  expect_rc 1 "a root's name of 1 GiB" "^ostrel-scan: '.*root.json.gz': byte 1048596: a top-level name is longer than 1048576 bytes$"
  limited "$scan" -f "$tmp/entry.json.gz" >"$tmp/out" 2>"$tmp/err"; rc=$?
  expect_rc 1 "a name of 1 GiB" "^ostrel-scan: '.*entry.json.gz': byte 4129: a name is longer than 4096 bytes$"
  [ -z "${OSTREL_SANITIZE:-}" ] || return 0
  head -c 1048576 /dev/zero | tr '\0' '[' | gzip -9 >"$tmp/opens.gz"
  { printf '[1,2,{},[{"name":"r"},{"name":"f","dsize":512},{"name":"g","x":' | gzip; gibibyte "$tmp/opens.gz"; } >"$tmp/deep.json.gz"
  (ulimit -v 800000 && exec "$scan" -f "$tmp/deep.json.gz") >"$tmp/out" 2>"$tmp/err"; rc=$?
  expect_rc 1 "nesting past the memory" '^ostrel-scan: out of memory: the scan stopped after 1 folders$'
  [ "$(cat "$tmp/out")" = $'512\tr' ] || fail "nesting past the memory: what was read is kept: $(head -c 200 "$tmp/out")"
}

case_sizes() {
  # The largest size there is, and two of 2^53 + 1 (a double holds neither).
  printf '%s' '[1,2,{},[{"name":"/r"},{"name":"max","asize":18446744073709551615,"dsize":512}]]' >"$tmp/max.json"
  printf '%s' '[1,2,{},[{"name":"/r"},{"name":"x","asize":9007199254740993},{"name":"y","asize":9007199254740993}]]' >"$tmp/53.json"
  run -f "$tmp/max.json" --apparent-size --files
  expect_rc 0 "a size of 2^64 - 1"
  [ "$(cat "$tmp/out")" = $'18446744073709551615\t/r\n18446744073709551615\t/r/max' ] ||
    fail "a size of 2^64 - 1: $(cat "$tmp/out")"
  grep -q 'capped' "$tmp/err" && fail "a size of 2^64 - 1 is no capped sum: $(cat "$tmp/err")"
  run -f "$tmp/53.json" --apparent-size --max-depth 0
  [ "$(cat "$tmp/out")" = $'18014398509481986\t/r' ] || fail "a sum past 2^53: $(cat "$tmp/out")"

  # Past 2^64 - 1 a total stays there, said once on stderr; every entry was read all the same.
  printf '%s' '[1,2,{},[{"name":"/r","dsize":4096},[{"name":"d"},{"name":"a","asize":9223372036854775808},{"name":"b","asize":9223372036854775808}],{"name":"c","asize":1}]]' >"$tmp/64.json"
  local listing=$'18446744073709551615\t/r\n18446744073709551615\t/r/d'
  run -f "$tmp/64.json" --apparent-size
  expect_rc 0 "a sum past 2^64"
  [ "$(cat "$tmp/out")" = "$listing" ] || fail "a sum past 2^64: $(cat "$tmp/out")"
  [ "$(grep -c '^ostrel-scan: some totals pass 2^64 - 1 bytes and are shown as 18446744073709551615 (capped)$' "$tmp/err")" -eq 1 ] ||
    fail "a sum past 2^64: the note: $(cat "$tmp/err")"
  # Saving says it too (what the file then holds is test_scanfile's).
  run -f "$tmp/64.json" -o "$tmp/saved.json"
  expect_rc 0 "a sum past 2^64, saved" 'capped'
}

run_case round-trip malformed ncdu huge sizes
