# What the tool's shell tests share, sourced by a script run as SCRIPT CASE SCAN: it sets $case
# and $scan (the tool); the script makes $tmp (make_tmp, or its own way) and ends with run_case.
set -uo pipefail
export LC_ALL=C  # names are bytes; strerror texts in English
[ $# -ge 2 ] || { echo "usage: ${0##*/} CASE SCAN" >&2; exit 2; }
case=$1 scan=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIP: $*"; exit 77; }

# make_tmp NAME: $tmp, a folder of the script's own, removed on exit with whatever was locked in it.
make_tmp() {
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-$1.XXXXXX") || exit 1
  trap 'chmod -R u+rwx "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
}
# run_case CASES...: runs case_$case (dashes as underscores) when $case is one of CASES, then
# says how it went and exits with it.
run_case() {
  [[ " $* " == *" $case "* ]] || { echo "${0##*/}: unknown case $case" >&2; exit 2; }
  "case_${case//-/_}"
  finish
}
finish() {
  [ "$failures" -eq 0 ] || { echo "$case: $failures failed"; exit 1; }
  echo "$case: passed"
  exit 0
}

# as_nobody TREE: root reads everything, so a test of what cannot be read runs the tool as
# nobody (the command prefix in the array as_user, empty when not root), with the tool and $tmp
# reachable and writable for nobody, except what the test locks on purpose.
as_nobody() {
  as_user=()
  [ "$(id -u)" -eq 0 ] || return 0
  command -v setpriv >/dev/null || skip "setpriv is missing: cannot scan as an ordinary user"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  mkdir -p "$tmp/bin" && cp "$scan" "$tmp/bin/ostrel-scan" && scan=$tmp/bin/ostrel-scan
  chmod -R a+rX "$tmp" && chmod a+w "$tmp"
  "${as_user[@]}" test -x "$1" || skip "nobody cannot reach $1 here"
}

# run ARGS...: the tool's stdout in $tmp/out, stderr in $tmp/err, status in $rc.
run() { "$scan" "$@" >"$tmp/out" 2>"$tmp/err"; rc=$?; }
expect_rc() {  # STATUS WHAT [ERE...]: the status, and for each ERE some stderr line matching it
  [ "$rc" -eq "$1" ] || fail "$2: exit status $rc, expected $1; stderr: $(head -c 2000 "$tmp/err")"
  local what=$2 ere
  shift 2
  for ere; do expect_err "$ere" "$what"; done
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
opened() { ls -l "/proc/$1/fd" 2>/dev/null | grep -qF -- "-> $2"; }  # process $1 holds file $2 open
has_ended() { local s; s=$(cut -d ' ' -f 3 "/proc/$1/stat" 2>/dev/null) || return 0; [ "$s" = Z ]; }
signal_taken() {  # signal $2 is pending neither for process $1 nor for one of its threads
  local mask
  for mask in $(sed -n 's/^\(SigPnd\|ShdPnd\):[[:space:]]*//p' "/proc/$1/status"); do
    (((0x$mask >> ($2 - 1)) & 1)) && return 1
  done
  return 0
}
