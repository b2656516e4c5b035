#!/usr/bin/env bash
# Copying a distribution onto floppies: "setup.exe *TODISK" with drive A:
# mapped to a directory that stands for the disk in the drive and a disk
# capacity small enough that files.1 spans several disks. Each "Please insert
# disk N" prompt is answered after the test has taken the full disk out.
# Disk 1 holds the loading program with a "NOTSELFEXTRACT" record and
# "setup.1"; the disk set of files.1 lists every member of the distribution.
#   floppy.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_prefix floppy
"$wine" "$setup" -b >/dev/null 2>&1 || fail "the build failed"
mkdir -p "$work/drive"
ln -sfn "$work/drive" "$WINEPREFIX/dosdevices/a:"
export TARNWICK_DISK_SIZE=120000
export TARNWICK_LOG='C:\floppy-e2e.log'

"$wine" 'C:\KelvoBuild\dist\setup.exe' '*TODISK' >"$work/setup.txt" 2>&1 &
pid=$!
# The drive holds one disk at a time; the others wait in disk<N>.
current=1 prompts=""
while kill -0 "$pid" 2>/dev/null; do
  ui wait "Installation of Kelvo" "#32770" 3000 || continue
  ui texts "Installation of Kelvo" "#32770"
  text=$(tr -d '\r' <"$work/ui.txt" | sed -n 's/^Static\t\(..*\)$/\1/p' | tail -1)
  echo "   box: $text"
  wanted=$(sed -n 's/^Please insert disk \([0-9][0-9]*\)$/\1/p' <<<"$text")
  if [ -n "$wanted" ]; then
    prompts="$prompts $wanted"
    mkdir -p "$work/disk$current" "$work/disk$wanted"
    mv "$work/drive/"* "$work/disk$current/" 2>/dev/null
    mv "$work/disk$wanted/"* "$work/drive/" 2>/dev/null
    current=$wanted
  else
    fail "unexpected box: $text"
  fi
  ui click "Installation of Kelvo" "OK" "#32770"
done
wait "$pid"; rc=$?
mkdir -p "$work/disk$current"
mv "$work/drive/"* "$work/disk$current/" 2>/dev/null
disk=$(ls -d "$work"/disk* | wc -l)
echo "   prompts:$prompts"
tr -d '\r' <"$c/floppy-e2e.log" | sed 's/^/   /'
[ "$rc" = 0 ] || fail "the transfer ended with $rc"
grep -q '"-f"\| -f ' <(tr -d '\r' <"$c/floppy-e2e.log") || fail "the setup program was not started with -f"
echo "   $disk disks:"; (cd "$work" && ls -l disk*/ | sed 's/^/     /')
[ "$disk" -ge 3 ] || fail "files.1 did not span several disks"
"$distinfo" record "$work/disk1/setup.exe" >"$work/record.txt" || fail "disk 1 setup.exe checksum"
grep -q '^marker	NOTSELFEXTRACT$' "$work/record.txt" || fail "disk 1 setup.exe is not marked NOTSELFEXTRACT"
cmp -s -n "$(stat -c %s "$bin/TarnwickLoadProgram.exe")" "$bin/TarnwickLoadProgram.exe" "$work/disk1/setup.exe" ||
  fail "disk 1 setup.exe is not the loading program"
cmp -s "$dist/setup.1" "$work/disk1/setup.1" || fail "disk 1 setup.1 differs"
"$distinfo" list "$dist/files.1" | sort >"$work/members.txt"
"$distinfo" list "$work/disk1/files.1" | sort >"$work/disk-members.txt" || fail "the disk set's files.1 is unreadable"
diff "$work/members.txt" "$work/disk-members.txt" >/dev/null || fail "the disk set lists other members"
for d in $(seq 2 "$disk"); do ls "$work/disk$d" | grep -q '^files\.' || fail "disk $d holds no part of files.1"; done

echo "== disk 1's setup.exe starts the setup program from the disk"
rm -rf "$work/drive"; mv "$work/disk1" "$work/drive"
rm -f "$c/floppy-e2e.log"
"$wine" 'A:\setup.exe' >"$work/setup.txt" 2>&1 &
pid=$!
if ui wait "Installation of Kelvo" "#32770" 60000; then
  ui click "Installation of Kelvo" "OK" "#32770"
else
  fail "the setup program did not start from disk 1"; ui wait "Setup" "#32770" 1000 && ui click "Setup" "OK" "#32770"
fi
wait "$pid"
tr -d '\r' <"$c/floppy-e2e.log" | grep '^Command line' | sed 's/^/   /'
grep -q -- '-sA:' <(tr -d '\r' <"$c/floppy-e2e.log") || fail "not started with the disk as its source"

e2e_result
