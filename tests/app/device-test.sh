#!/usr/bin/env bash
# ostrel-scan --read-device and --device as a shell runs them, one case per ctest:
#   images   ext4, ext4 without extents, ext2, ext3, 1 KiB blocks, inline data, each image
#            mounted read-only on a loop device in a mount namespace of its own: the device's
#            full listing in both measures, its stderr and its scan file are the walk's (hard
#            links across folders, sparse files, names of any bytes, a folder nobody may read,
#            a fifo and symbolic links, a hashed folder of 100,000 files, a chain of 3,000)
#   corrupt  an image read by itself (--device): random bytes over a folder's block, with and
#            without checksums, and the image cut short: problems reported with their reasons,
#            the rest of the tree listed, never a crash
#
# usage: device-test.sh CASE SCAN
# Exit: 0 passed, 1 failed, 77 skipped (the reason is printed).
. "$(dirname "${BASH_SOURCE[0]}")/clitest.sh"
if [ "$case" = images-inside ]; then
  tmp=$3  # the outer run's folder: removed by it once the namespace and its mounts are gone
else
  make_tmp device-test
fi
command -v mkfs.ext4 >/dev/null && command -v debugfs >/dev/null || skip "e2fsprogs is missing"
# The stderr of the last run but the summary's seconds.
err_lines() { sed 's/, [0-9.]* s/, s/' "$tmp/err"; }

# A tree with what a listing can get wrong, in $tmp/src.
make_tree() {
  local s=$tmp/src
  mkdir -p "$s/data" "$s/links/inner" "$s/span/a" "$s/span/b" "$s/names" "$s/locked/in"
  head -c 100000 /dev/urandom >"$s/data/real"
  truncate -s 5G "$s/data/sparse"
  dd if=/dev/urandom of="$s/data/holey" bs=4096 count=2 seek=300 status=none
  : >"$s/data/zero"
  echo small >"$s/data/small"
  ln -s ../data/real "$s/data/link"
  ln -s "$(printf 'x%.0s' {1..100})" "$s/data/longlink"
  mkfifo "$s/data/fifo"
  head -c 30000 /dev/urandom >"$s/links/one"
  for name in two inner/three; do ln "$s/links/one" "$s/links/$name"; done
  head -c 7000 /dev/urandom >"$s/span/b/x"
  ln "$s/span/b/x" "$s/span/a/y"
  for name in $'tab\there' $'new\nline' $'\xff\xfe' ' lead' '-dash' 'é'; do echo "$name" >"$s/names/$name"; done
  mkdir "$s/names/"$'dir\nname'
  echo inside >"$s/locked/in/f"
  chmod 000 "$s/locked"
}

case_images() {
  [ "$(id -u)" -eq 0 ] || skip "mounting an image needs root"
  unshare -m true 2>/dev/null || skip "no private mount namespace here"
  [ -e /dev/loop-control ] || skip "no loop devices here"
  make_tree
  # The images are mounted, and the tree removed, only inside the child's namespace.
  unshare -m bash "$0" images-inside "$scan" "$tmp"
  exit $?
}

# same_as_walk WHAT MNT: --read-device on MNT lists, says and saves what a walk does.
same_as_walk() {
  local what=$1 mnt=$2 measure
  for measure in "" --apparent-size; do
    # shellcheck disable=SC2086 # no measure option is no word
    run --read-device --files --max-depth 100000 $measure -o "$tmp/device.json" "$mnt"
    local drc=$rc
    err_lines >"$tmp/device.err"
    cp "$tmp/out" "$tmp/device.out"
    # shellcheck disable=SC2086
    run --files --max-depth 100000 $measure -o "$tmp/walk.json" "$mnt"
    [ "$drc" -eq "$rc" ] || fail "$what $measure: exit status $drc from the device, $rc from the walk"
    cmp -s "$tmp/device.out" "$tmp/out" ||
      fail "$what $measure: the listing differs from the walk's: $(diff "$tmp/device.out" "$tmp/out" | head -n 6)"
    err_lines | cmp -s "$tmp/device.err" - || fail "$what $measure: stderr differs: $(cat "$tmp/device.err")"
    # The scan files differ in when they were made alone.
    cmp -s <(sed 's/"timestamp":[0-9]*//' "$tmp/device.json") <(sed 's/"timestamp":[0-9]*//' "$tmp/walk.json") ||
      fail "$what $measure: the scan file differs from the walk's"
  done
}

case_images_inside() {
  mount --make-rprivate / 2>/dev/null || skip "cannot make the mounts private"
  local variant mkfs opts img=$tmp/img mnt=$tmp/mnt
  mkdir -p "$mnt"
  while read -r variant mkfs opts; do
    rm -f "$img"
    # shellcheck disable=SC2086 # the options are words
    "$mkfs" -q -F $opts -d "$tmp/src" "$img" 256M >/dev/null 2>&1 || { fail "$variant: $mkfs $opts"; continue; }
    if [ "$variant" = ext4 ]; then
      # Written through the kernel: the big folder is hashed as it grows, and the chain is
      # deeper than a path may be long.
      mount -o loop "$img" "$mnt" || { fail "$variant: mount"; continue; }
      mkdir "$mnt/big" && (cd "$mnt/big" && seq -f 'entry%06g' 1 100000 | xargs touch) && echo data >"$mnt/big/entry000007"
      perl -e 'chdir $ARGV[0] or die; for (1 .. 3000) { mkdir "d" or die "$!"; chdir "d" or die "$!" }
               open my $f, ">", "foot" or die; print $f "x" x 5000; close $f or die' "$mnt"
      umount "$mnt"
      (( $(debugfs -R "stat /big" "$img" 2>/dev/null | sed -n 's/.*Flags: \(0x[0-9a-f]*\).*/\1/p') & 0x1000 )) ||
        fail "$variant: the big folder is not hashed"
      # Changed since the big folder was hashed: the kernel lists it by the hash its index names.
      debugfs -w -R "ssv def_hash_version tea" "$img" >/dev/null 2>&1 || fail "$variant: changing the default hash"
    fi
    mount -o loop,ro "$img" "$mnt" || { fail "$variant: mount"; continue; }
    local before=$failures
    same_as_walk "$variant" "$mnt"
    # The device was read: no note of a walk instead.
    grep -q 'note:' "$tmp/device.err" && fail "$variant: $(cat "$tmp/device.err")"
    if [ "$variant" = ext4 ]; then
      # Mounted below the root: another file system, and a folder of this one seen again,
      # earlier in the tree's order than where it lies.
      mount -t tmpfs none "$mnt/names" && echo on-tmpfs >"$mnt/names/t" && mount --bind "$mnt/span" "$mnt/data" &&
        same_as_walk "$variant with mounts" "$mnt" || fail "$variant: mounts below the root"
      grep -q 'note:' "$tmp/device.err" && fail "$variant with mounts: $(cat "$tmp/device.err")"
      grep -q $'\t'"$mnt/names/t"'$' "$tmp/device.out" || fail "$variant: the tmpfs is not shown"
      # No ext2/3/4 here, and a device nobody may read: said, and walked as before.
      run --read-device --files --max-depth 100000 "$mnt/names"
      expect_rc 0 "a tmpfs" "^ostrel-scan: note: '$mnt/names' lies on a tmpfs file system, not ext2/3/4: walking the folders instead$"
      umount "$mnt/data" "$mnt/names"
      chmod a+x "$tmp"
      local nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
      "${nobody[@]}" "$scan" --files --max-depth 100000 "$mnt" >"$tmp/walk.out" 2>/dev/null; local wrc=$?
      "${nobody[@]}" "$scan" --read-device --files --max-depth 100000 "$mnt" >"$tmp/out" 2>"$tmp/err"; rc=$?
      expect_rc "$wrc" "no access to the device" \
        "^ostrel-scan: note: cannot read '/dev/loop[0-9]+': Permission denied: walking the folders instead$"
      cmp -s "$tmp/walk.out" "$tmp/out" || fail "no access to the device: the listing is not the walk's"
    fi
    umount "$mnt"
    [ "$failures" -gt "$before" ] || echo "$variant: the device's listing is the walk's"
  done <<'EOF'
ext4 mkfs.ext4 -N 110000
no-extents mkfs.ext4 -O ^extent,^64bit
ext2 mkfs.ext2
ext3 mkfs.ext3
blocks-1k mkfs.ext4 -b 1024
inline mkfs.ext4 -O inline_data
EOF
}

case_corrupt() {
  make_tree
  chmod 755 "$tmp/src/locked"
  mkdir -p "$tmp/src/hurt" "$tmp/src/whole"
  for i in $(seq 1 40); do echo "$i" >"$tmp/src/hurt/file-with-a-longer-name-$i"; done
  echo kept >"$tmp/src/whole/kept"
  local img=$tmp/img block opts
  for opts in "" "-O ^metadata_csum"; do
    rm -f "$img"
    # shellcheck disable=SC2086
    mkfs.ext4 -q -F -b 4096 $opts -d "$tmp/src" "$img" 16M >/dev/null 2>&1 || { fail "mkfs.ext4 $opts"; continue; }
    block=$(debugfs -R "blocks /hurt" "$img" 2>/dev/null | awk '{ print $1 }')
    [ -n "$block" ] || { fail "no block of /hurt"; continue; }
    dd if=/dev/urandom of="$img" bs=4096 seek="$block" count=1 conv=notrunc status=none
    local reason="Structure needs cleaning" inode=()
    if [ -z "$opts" ]; then
      # With checksums, also a file's inode with two bytes of its time changed.
      reason="Bad message"
      read -r -a inode < <(debugfs -R "imap /data/small" "$img" 2>/dev/null |
                           sed -n 's/.*located at block \([0-9]*\), offset \(0x[0-9a-f]*\).*/\1 \2/p')
      [ "${#inode[@]}" -eq 2 ] || { fail "no place of /data/small's inode"; continue; }
      printf '\125\252' | dd of="$img" bs=1 seek=$((inode[0] * 4096 + inode[1] + 16)) conv=notrunc status=none
      # And a folder's block whose entries still make sense, one name's letter changed.
      local whole at
      whole=$(debugfs -R "blocks /whole" "$img" 2>/dev/null | awk '{ print $1 }')
      at=$(dd if="$img" bs=4096 skip="$whole" count=1 status=none | grep -obUa kept | head -n 1 | cut -d: -f1)
      [ -n "$at" ] || { fail "no name 'kept' in /whole's block"; continue; }
      printf K | dd of="$img" bs=1 seek=$((whole * 4096 + at)) conv=notrunc status=none
    fi
    run --device "$img" --files --max-depth 100000 /
    expect_rc 1 "random bytes over a folder's block ($opts)" "^ostrel-scan: cannot read directory '/hurt': $reason$"
    if [ -z "$opts" ]; then
      expect_err "^ostrel-scan: cannot access '/data/small': Bad message$" "an inode's checksum"
      expect_err "^ostrel-scan: cannot read directory '/whole': Bad message$" "a folder block's checksum"
    fi
    grep -qx $'[0-9]*\t/data/real' "$tmp/out" || fail "the rest of the tree ($opts): $(head -n 5 "$tmp/out")"
  done
  # Cut short: the superblock and the group descriptors are there, much of the rest is not.
  truncate -s 1M "$img"
  run --device "$img" --files --max-depth 100000 /
  expect_rc 1 "an image cut short" "^ostrel-scan: cannot (read directory|access) '/.*': Input/output error$"
  grep -qx $'[0-9]*\t/' "$tmp/out" || fail "an image cut short: no root line: $(head -n 3 "$tmp/out")"
  # Not an ext2/3/4 file system at all, and no such folder in it.
  head -c 1M /dev/zero >"$img"
  run --device "$img" /
  expect_rc 1 "no file system" "^ostrel-scan: '$img' holds no ext2/3/4 file system$"
}

run_case images images-inside corrupt
