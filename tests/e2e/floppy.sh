#!/usr/bin/env bash
# Copying a distribution onto floppies: "setup.exe *TODISK" with drive A:
# mapped to a directory that stands for the disk in the drive and a disk
# capacity small enough that files.1 spans several disks. Each "Please insert
# disk N" prompt is answered after the test has taken the full disk out.
# Disk 1 holds the loading program with a "NOTSELFEXTRACT" record and
# "setup.1"; the disk set of files.1 lists every member of the distribution.
# Installed from the disk set on XP, each disk request is answered by putting
# the wanted disk in the drive; Cancel at a request ends the run at once as
# the user's abort (exit code 2), asking nothing more.
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
sealed_loader "$work/loader.exe"
cmp -s -n "$(stat -c %s "$work/loader.exe")" "$work/loader.exe" "$work/disk1/setup.exe" ||
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

# Installing from the disk set on XP: a member on a later disk asks for it.
"$wine" reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null || fail "the Windows version was not set"
cp "$bin/../e2e/CALWIN32.DLL" "$c/windows/system32/CALWIN32.DLL"
dest="$c/Program Files/Kelvo/Vantlex 2006"
current=1
# Takes the disk in the drive out and puts disk N in.
insert_disk() { # N
  mkdir -p "$work/disk$current" "$work/disk$1"
  mv "$work/drive/"* "$work/disk$current/" 2>/dev/null
  mv "$work/disk$1/"* "$work/drive/" 2>/dev/null
  current=$1
}
# Starts setup.exe from disk 1 through the wizard and answers every disk
# request: OK with the wanted disk in the drive, or Cancel (answer Cancel).
# Finish on a closing page; a box after a Cancel is noted in asked_after.
# rc is the exit code, prompts the disks asked for.
install_from_disks() { # answer
  insert_disk 1
  rm -rf "$dest"; rm -f "$c/floppy-e2e.log"
  "$wine" 'A:\setup.exe' >"$work/setup.txt" 2>&1 &
  local pid=$! cancelled="" start=$SECONDS
  prompts="" asked_after="" closing=""
  e2e_wizard
  while kill -0 "$pid" 2>/dev/null; do
    if [ $((SECONDS - start)) -gt 240 ]; then fail "the installation from disks still runs"; "$wine" --kill >/dev/null 2>&1; break; fi
    for page in "Setup complete" "Setup incomplete"; do
      ui wait "$page" "" 300 && ui click "$page" "Finish" && closing=$page
    done
    ui wait "Installation of Kelvo" "#32770" 300 || continue
    ui texts "Installation of Kelvo" "#32770"
    text=$(tr -d '\r' <"$work/ui.txt" | sed -n 's/^Static\t\(..*\)$/\1/p' | tail -1)
    echo "   box: $text"
    if [ -n "$cancelled" ]; then
      asked_after="$asked_after [$text]"
      ui click "Installation of Kelvo" "Cancel" "#32770" || ui click "Installation of Kelvo" "OK" "#32770"
      continue
    fi
    wanted=$(sed -n 's/^Please insert disk #\([0-9][0-9]*\)$/\1/p' <<<"$text")
    if [ -z "$wanted" ]; then
      fail "unexpected box: $text"; ui click "Installation of Kelvo" "OK" "#32770"; continue
    fi
    prompts="$prompts $wanted"
    if [ "$1" = Cancel ]; then
      cancelled=1
      ui click "Installation of Kelvo" "Cancel" "#32770"
    else
      [ -d "$work/disk$wanted" ] || fail "disk $wanted asked for, which the set does not have"
      insert_disk "$wanted"
      ui click "Installation of Kelvo" "OK" "#32770"
    fi
  done
  wait "$pid"; rc=$?
  echo "   disks asked for:$prompts; closing page: ${closing:-none}; exit code $rc"
}

echo "== Cancel at a disk request ends the installation as the user's abort"
install_from_disks Cancel
[ -n "$prompts" ] || fail "no disk was asked for"
[ -z "$asked_after" ] || fail "asked again after Cancel:$asked_after"
[ "$rc" = 2 ] || fail "Cancel at a disk request ended with $rc"
[ "$closing" = "Setup incomplete" ] || fail "the run closed on ${closing:-no page}"
tr -d '\r' <"$c/floppy-e2e.log" | grep -i 'abort\|cancel\|exit code' | sed 's/^/   /'
grep -qi 'aborted by the user' <(tr -d '\r' <"$c/floppy-e2e.log") || fail "the log does not say that the user cancelled"

echo "== the installation from the disk set asks for each disk it needs"
install_from_disks OK
[ "$rc" = 0 ] || fail "the installation from disks ended with $rc"
[ "$closing" = "Setup complete" ] || fail "the run closed on ${closing:-no page}"
[ "$(wc -w <<<"$prompts")" -ge 1 ] || fail "no disk was asked for"
installed=0
while IFS= read -r -d '' f; do
  src=$(find "$c/KelvoBuild/bin" "$c/KelvoBuild/install/data" -maxdepth 1 -iname "$(basename "$f")" | head -n 1)
  [ -n "$src" ] || continue
  installed=$((installed + 1))
  cmp -s "$src" "$f" || fail "$(basename "$f") differs from its source"
done < <(find "$dest" -type f -print0 2>/dev/null)
echo "   $installed product files installed"
[ "$installed" -ge 3 ] || fail "only $installed product files installed"

e2e_result
