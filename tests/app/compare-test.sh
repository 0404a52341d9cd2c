#!/usr/bin/env bash
# ostrel-scan --compare as a shell uses it, one case per ctest, each on a tree of its own:
#   changes  a tree changed between two scans (grown, shrunk, new and removed folders, files
#            moved, a hard link added, a name that is not UTF-8): the printed
#            changes are the differences of the two states' own listings, at several depths,
#            in both measures, whichever way the new scan comes (PATH, -f, OLD's root again)
#   errors   bad OLD or NEW files, unreadable folders in the new scan, bad usage, signals:
#            the exit statuses and messages
#
# usage: compare-test.sh CASE SCAN
# Exit: 0 passed, 1 failed, 77 skipped (the reason is printed).
. "$(dirname "${BASH_SOURCE[0]}")/clitest.sh"
make_tmp compare-test

# expected BEFORE AFTER: the change lines that two listings ("size<TAB>path") imply, in path
# order, which is the walk's order while no name holds a byte below '/'.
expected() {
  awk -F'\t' 'NR == FNR { old[$2] = $1; seen[$2] = 1; next }
              { new[$2] = $1; seen[$2] = 1 }
              END { for (p in seen) { o = old[p] + 0; n = new[p] + 0
                      if (o != n) printf "%.0f\t%.0f\t%.0f\t%s\n", n - o, o, n, p } }' "$1" "$2" | sort -t $'\t' -k4,4
}

case_changes() {
  local t=$tmp/t u=$tmp/u measure depth
  mkdir -p "$t"/{grow,shrink,gone/sub,from,to,keep} "$t/$(printf 'caf\xe9')"
  head -c 40000 /dev/urandom >"$t/shrink/big"
  head -c 9000 /dev/urandom >"$t/from/moved"
  head -c 30000 /dev/urandom >"$t/keep/linked"
  echo gone >"$t/gone/sub/f"
  echo x >"$t/grow/small"
  for measure in "" --apparent-size; do
    for depth in 0 1 1000; do
      # shellcheck disable=SC2086 # an empty measure is no argument
      "$scan" $measure --max-depth $depth "$t" >"$tmp/before$measure-$depth" 2>/dev/null || fail "listing the first state"
    done
  done
  "$scan" -o "$tmp/old.json" "$t" >/dev/null 2>&1 || fail "saving the first state"

  head -c 70000 /dev/urandom >>"$t/grow/small"
  truncate -s 1000 "$t/shrink/big"
  rm -r "$t/gone"
  mkdir -p "$t/new/inner" && head -c 12000 /dev/urandom >"$t/new/inner/n"
  mv "$t/from/moved" "$t/to/moved"
  # A second name met before the first in the walk's order: the size moves with it.
  ln "$t/keep/linked" "$t/grow/linked"
  head -c 5000 /dev/urandom >"$t/$(printf 'caf\xe9')/f"
  "$scan" -o "$tmp/new.json" "$t" >/dev/null 2>&1 || fail "saving the second state"
  cp -a "$t" "$u"  # the same tree elsewhere: compared by paths below the roots, not whole paths

  for measure in "" --apparent-size; do
    for depth in 0 1 1000; do
      # shellcheck disable=SC2086
      "$scan" $measure --max-depth $depth "$t" >"$tmp/after" 2>/dev/null || fail "listing the second state"
      expected "$tmp/before$measure-$depth" "$tmp/after" >"$tmp/want"
      [ -s "$tmp/want" ] || fail "depth $depth$measure: the test expects no change"
      local how
      for how in "PATH" "-f NEW" "OLD's root"; do
        case $how in
          PATH) run --compare "$tmp/old.json" $measure --max-depth $depth "$t" ;;
          "-f NEW") run --compare "$tmp/old.json" $measure --max-depth $depth -f "$tmp/new.json" ;;
          *) run --compare "$tmp/old.json" $measure --max-depth $depth ;;
        esac
        expect_rc 0 "depth $depth$measure, $how"
        cmp -s "$tmp/want" "$tmp/out" ||
          fail "depth $depth$measure, $how: $(diff "$tmp/want" "$tmp/out" | head -n 8)"
      done
    done
  done
  # Shrinks carry a minus sign, growth none; the gone folder's subfolder is listed too.
  grep -q $'^-[0-9]*\t[0-9]*\t0\t'"$t/gone/sub$" "$tmp/out" || fail "the removed folder's subfolder: $(cat "$tmp/out")"
  grep -q $'^[0-9]*\t0\t[0-9]*\t'"$t/new/inner$" "$tmp/out" || fail "the new folder's subfolder"
  grep -q "$t/$(printf 'caf\xe9')\$" "$tmp/out" || fail "the name that is not UTF-8 is printed as its bytes"
  # Paths are printed under the new root.
  run --compare "$tmp/old.json" --max-depth 1 "$u"
  expect_rc 0 "a copy elsewhere"
  sed "s#\t$u#\t$t#" "$tmp/out" | cmp -s - <(expected "$tmp/before-1" <("$scan" --max-depth 1 "$t" 2>/dev/null)) ||
    fail "a copy elsewhere: $(head -n 4 "$tmp/out")"
  # -0 ends each line with NUL instead.
  "$scan" --compare "$tmp/old.json" --max-depth 9 "$t" >"$tmp/want" 2>/dev/null
  "$scan" --compare "$tmp/old.json" -0 --max-depth 9 "$t" 2>/dev/null | tr '\0' '\n' | cmp -s - "$tmp/want" ||
    fail "-0 differs from the newline output"
  # -o may overwrite OLD itself: it was read before; the file then holds the new scan.
  cp "$tmp/old.json" "$tmp/history.json"
  run --compare "$tmp/history.json" -o "$tmp/history.json" --max-depth 9 "$t"
  expect_rc 0 "-o over OLD"
  cmp -s "$tmp/want" "$tmp/out" || fail "-o over OLD: $(diff "$tmp/want" "$tmp/out" | head -n 4)"
  run --compare "$tmp/history.json" --max-depth 9 "$t"
  [ "$rc" -eq 0 ] && [ ! -s "$tmp/out" ] || fail "-o over OLD: it does not hold the new scan: $(head -n 3 "$tmp/out")"
  # A new scan that fails leaves that history as it was.
  cp "$tmp/history.json" "$tmp/history.before"
  run --compare "$tmp/history.json" -o "$tmp/history.json" -f "$tmp/history.json.missing"
  expect_rc 1 "-o over OLD, the new scan failing"
  cmp -s "$tmp/history.json" "$tmp/history.before" || fail "-o over OLD: a failed scan changed it"
  # Nothing changed: nothing printed, still 0.
  run --compare "$tmp/new.json" -f "$tmp/new.json" --max-depth 1000
  expect_rc 0 "the same scan twice"
  [ -s "$tmp/out" ] && fail "the same scan twice printed $(head -n 3 "$tmp/out")"
}

case_errors() {
  local t=$tmp/t as_user=()
  mkdir -p "$t/a" "$t/locked"
  echo one >"$t/a/f"
  echo secret >"$t/locked/s"
  "$scan" -o "$tmp/old.json" "$t" >/dev/null 2>&1 || fail "saving the first state"
  head -c 300 "$tmp/old.json" >"$tmp/cut.json"

  # A bad OLD is said before anything is scanned or printed.
  run --compare "$tmp/cut.json" "$t"
  expect_rc 1 "OLD cut short"
  [ -s "$tmp/out" ] && fail "OLD cut short: something was printed"
  expect_err "^ostrel-scan: '.*cut.json': byte [0-9]+: " "OLD cut short"
  grep -q 'folders,' "$tmp/err" && fail "OLD cut short: a scan ran"
  run --compare "$tmp/none.json" "$t"
  expect_rc 1 "OLD missing" "^ostrel-scan: '.*none.json': cannot open: No such file or directory$"
  run --compare "$tmp/old.json" -f "$tmp/cut.json"
  expect_rc 1 "NEW cut short" "^ostrel-scan: '.*cut.json': byte [0-9]+: "
  # OLD's root gone, and no PATH: nothing to scan again.
  sed "s#\"name\":\"$t\"#\"name\":\"$tmp/vanished\"#" "$tmp/old.json" >"$tmp/moved.json"
  run --compare "$tmp/moved.json"
  expect_rc 1 "OLD's root is gone" "^ostrel-scan: $tmp/vanished: no such folder$"
  # A stopped OLD is noted; the comparison still counts as done.
  sed 's/"state":"complete"/"state":"stopped"/' "$tmp/old.json" >"$tmp/stopped.json"
  run --compare "$tmp/stopped.json" "$t"
  expect_rc 0 "a stopped OLD" "^ostrel-scan: note: the earlier scan '.*stopped.json' is incomplete$"
  # A scan stopped before it reached its root, as -o writes it after an early Ctrl-C: whichever
  # way the new scan comes, there is nothing to compare with.
  printf '[1,2,{"progname":"ostrel-scan","progver":"1.3","state":"stopped"},[{"name":""}]]' >"$tmp/rootless.json"
  local new
  for new in "" "$t" "-f $tmp/old.json"; do
    # shellcheck disable=SC2086 # split on purpose
    run --compare "$tmp/rootless.json" $new
    expect_rc 1 "OLD without a root, new scan '$new'" "^ostrel-scan: '.*rootless.json' holds no scan to compare with$"
    [ -s "$tmp/out" ] && fail "OLD without a root, new scan '$new': printed $(head -n 3 "$tmp/out")"
    [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "OLD without a root, new scan '$new': more than one line: $(cat "$tmp/err")"
  done

  # Read errors in the new scan: the changes (the folder that can no longer be read shrank)
  # are printed, the status is 1.
  as_nobody "$t"
  chmod 000 "$t/locked"
  "${as_user[@]+"${as_user[@]}"}" "$scan" --compare "$tmp/old.json" "$t" >"$tmp/out" 2>"$tmp/err"; rc=$?
  expect_rc 1 "an unreadable folder in the new scan" "^ostrel-scan: cannot read directory '$t/locked': Permission denied$"
  grep -q $'\t'"$t/locked$" "$tmp/out" || fail "an unreadable folder: its shrink is printed: $(cat "$tmp/out")"
  chmod 755 "$t/locked"

  local usage
  for usage in "--compare" "--compare= $t" "--compare $tmp/old.json --breakdown $t" "--compare $tmp/old.json --files $t" \
               "--compare $tmp/old.json -o - $t" "--compare - -f -" "--compare $tmp/old.json -f $tmp/old.json $t"; do
    # shellcheck disable=SC2086 # split on purpose
    run $usage
    expect_rc 2 "bad usage '$usage'"
  done

  # A stop signal while OLD or NEW is read (each through a pipe, held open until the signal was
  # taken): nothing printed, 143 or 130.
  mkfifo "$tmp/fifo"
  local pid which sig status
  for which in OLD NEW; do
    if [ "$which" = OLD ]; then
      "$scan" --compare "$tmp/fifo" "$t" >"$tmp/out" 2>"$tmp/err" & sig=TERM status=143
    else
      "$scan" --compare "$tmp/old.json" -f "$tmp/fifo" >"$tmp/out" 2>"$tmp/err" & sig=INT status=130
    fi
    pid=$!
    exec 3>"$tmp/fifo"
    kill -"$sig" "$pid"
    wait_until signal_taken "$pid" "$(kill -l "$sig")" || fail "$which: the signal was never taken"
    cat "$tmp/old.json" >&3
    exec 3>&-
    wait "$pid"; rc=$?
    expect_rc "$status" "SIG$sig while $which is read"
    [ -s "$tmp/out" ] && fail "SIG$sig while $which is read: printed $(head -n 3 "$tmp/out")"
  done
}

run_case changes errors
