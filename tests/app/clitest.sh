# What the tool's shell tests share; sourced. The sourcing script sets $scan (the tool) and $tmp
# (its own folder) and reads $failures at the end.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIP: $*"; exit 77; }

# run ARGS...: the tool's stdout in $tmp/out, stderr in $tmp/err, status in $rc.
run() { "$scan" "$@" >"$tmp/out" 2>"$tmp/err"; rc=$?; }
expect_rc() {  # STATUS WHAT
  [ "$rc" -eq "$1" ] || fail "$2: exit status $rc, expected $1; stderr: $(head -c 2000 "$tmp/err")"
}
expect_err() {  # ERE WHAT: some stderr line matches
  grep -Eq -- "$1" "$tmp/err" || fail "$2: no stderr line matches '$1'; stderr: $(head -c 2000 "$tmp/err")"
}

# Waits for a condition, bounded (~20 s: a loaded machine, a sanitizer build).
wait_until() {
  local tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ "$tries" -lt 2000 ] || return 1
    sleep 0.01
  done
}
has_ended() { local s; s=$(cut -d ' ' -f 3 "/proc/$1/stat" 2>/dev/null) || return 0; [ "$s" = Z ]; }
signal_taken() {  # signal $2 is pending neither for process $1 nor for one of its threads
  local mask
  for mask in $(sed -n 's/^\(SigPnd\|ShdPnd\):[[:space:]]*//p' "/proc/$1/status"); do
    (((0x$mask >> ($2 - 1)) & 1)) && return 1
  done
  return 0
}
