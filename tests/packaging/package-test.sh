#!/usr/bin/env bash
# The Debian package made from a build folder: its name, metadata, file list, and what its
# files do once unpacked into a throwaway root (dpkg -x): the programs run, the manual pages
# have no warnings, the desktop entry and the AppStream metadata validate.
#
# usage: package-test.sh BUILD-DIR VERSION
set -uo pipefail
export LC_ALL=C.UTF-8
[ $# -eq 2 ] || { echo "usage: package-test.sh BUILD-DIR VERSION" >&2; exit 2; }
build=$1 version=$2
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-package-test.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; echo "FAIL: cpack"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$tmp/out/ostrel_${version}_${arch}.deb
[ -f "$deb" ] || { ls "$tmp/out"; echo "FAIL: no $deb"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ostrel ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
# Package names only, from "name (>= version), ...".
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
for lib in libc6 libstdc++6 libqt6widgets6 libqt6charts6; do
  grep -qxF "$lib" <<<"$depends" || fail "Depends lacks $lib: $(field Depends)"
done

# Exactly these files, nothing of the tests or the benchmark.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $NF); print $NF }' | sort >"$tmp/files"
sort >"$tmp/want" <<'LIST'
usr/bin/ostrel
usr/bin/ostrel-scan
usr/share/applications/ostrel.desktop
usr/share/doc/ostrel/changelog.gz
usr/share/doc/ostrel/compare.png
usr/share/doc/ostrel/copyright
usr/share/doc/ostrel/main-files.png
usr/share/doc/ostrel/main-treemap.png
usr/share/doc/ostrel/ostrel.html
usr/share/icons/hicolor/scalable/apps/ostrel.svg
usr/share/man/man1/ostrel-scan.1.gz
usr/share/man/man1/ostrel.1.gz
usr/share/metainfo/example.pelworth.ostrel.metainfo.xml
LIST
diff "$tmp/want" "$tmp/files" >"$tmp/diff" || fail "file list: $(cat "$tmp/diff")"

root=$tmp/root
dpkg -x "$deb" "$root" || { echo "FAIL: dpkg -x"; exit 1; }
"$root/usr/bin/ostrel-scan" --help >/dev/null || fail "ostrel-scan --help"
mkdir -p "$tmp/tree/sub" && head -c 5000 /dev/urandom >"$tmp/tree/sub/f"
[ "$("$root/usr/bin/ostrel-scan" --apparent-size --max-depth 0 "$tmp/tree" 2>/dev/null | cut -f 1)" = 5000 ] ||
  fail "the unpacked ostrel-scan does not scan"
for page in ostrel ostrel-scan; do
  out=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$out" ] || fail "man $page warns: $out"
  MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^NAME" || fail "man $page: no NAME"
done
desktop-file-validate "$root/usr/share/applications/ostrel.desktop" || fail "the desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.pelworth.ostrel.metainfo.xml" >"$tmp/as" 2>&1 ||
  fail "AppStream metadata: $(cat "$tmp/as")"
grep -q "<id>example.pelworth.ostrel</id>" "$root/usr/share/metainfo/example.pelworth.ostrel.metainfo.xml" ||
  fail "AppStream id"
zcat "$root/usr/share/doc/ostrel/changelog.gz" | head -n 1 | grep -q "^ostrel ($version)" ||
  fail "the changelog's first entry is not $version"
grep -q "Pelworth Software" "$root/usr/share/doc/ostrel/copyright" && grep -q "^License: MIT" "$root/usr/share/doc/ostrel/copyright" ||
  fail "copyright holder or licence"

if [ "$failures" -ne 0 ]; then
  echo "package: $failures failed"
  exit 1
fi
echo "package: passed ($(basename "$deb"))"
