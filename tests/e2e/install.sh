#!/usr/bin/env bash
# The installation run from the built setup.exe on a Windows XP prefix, as a
# user would start it: every product file below "C:\Program Files\Kelvo\
# Vantlex 2006" as in the archive, the uninstaller in "Uninstall", the
# shortcuts, the setup program's registry record used during the run and
# removed at its end, the unpacked directory removed after the program ends;
# "ShFolder.Exe" installed and run with /Q:A only when SHFOLDER.DLL cannot
# load (disabled through a DLL override).
#   install.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_prefix install
e2e_user_site winxp
export TARNWICK_LOG='C:\install-e2e.log'
log="$c/install-e2e.log"
dest="$c/Program Files/Kelvo/Vantlex 2006"
temp=$(echo "$c/users/"*/Temp)

reg_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo Vantlex Console for NetWare 2006'

run_setup() {
  rm -f "$log" "$temp/shfolder-ran.txt"
  "$wine" reg delete 'HKCU\Software\Kelvo' /f >/dev/null 2>&1
  e2e_install 'C:\Downloads\setup.exe'
  # The clean-up batch waits for the program to end.
  for _ in $(seq 40); do ls "$temp" | grep -q '^twsetup-' || break; sleep 0.25; done
  tr -d '\r' <"$log" | sed 's/^/   /'
}

# Runs a program through the wizard to "Setup incomplete" and its message
# box; rc is its exit code. With dest_dir set, that is typed as the
# destination.
run_failing() { # program [args]
  rm -f "$log"
  "$wine" "$@" >/dev/null 2>&1 &
  local pid=$!
  if [ -n "${dest_dir:-}" ]; then
    ui wait "Software license agreement" "" 90000 && ui click "Software license agreement" "Accept >" &&
      ui wait "Choose Destination Location" "" 20000 && ui type "Choose Destination Location" 0 "$dest_dir" &&
      ui click "Choose Destination Location" "Next >" && ui click "Select folder in start menu" "Next >" ||
      fail "the wizard could not be gone through to $dest_dir"
  else
    e2e_wizard
  fi
  e2e_finish "Setup incomplete"
  if ui wait "Installation of Kelvo" "#32770" 60000; then
    ui texts "Installation of Kelvo" "#32770"; tr -d '\r' <"$work/ui.txt" >"$work/box.txt"
    sed 's/^/   box: /' "$work/box.txt"
    ui click "Installation of Kelvo" "OK" "#32770"
  else
    fail "no message box after the failure"
  fi
  wait "$pid"; rc=$?
}

check_installed() { # build-tree-dir name [dest-subdir]
  local src="$c/KelvoBuild/$1/$2" dst="$dest/${3:+$3/}$2"
  [ -f "$dst" ] || { fail "$2 not installed"; return; }
  cmp -s "$src" "$dst" || fail "$2 differs from the build tree"
  local a b; a=$(stat -c %Y "$src"); b=$(stat -c %Y "$dst")
  [ $((a - b)) -le 2 ] && [ $((b - a)) -le 2 ] || fail "date of $2: $(date -d @"$b") instead of $(date -d @"$a")"
}

echo "== first run"
run_setup
[ "$rc" = 0 ] || fail "exit code $rc"
for f in VORERURO.NLM voreruro.exe Voreruro.312 VORERURO.HLP voreruro.GID voreruro.cnt; do check_installed bin "$f"; done
check_installed install/data Readme.wri
check_installed install/data uninstall.exe Uninstall
[ -e "$dest/ShFolder.Exe" ] && fail "ShFolder.Exe installed although SHFOLDER.DLL loads"
[ -e "$temp/shfolder-ran.txt" ] && fail "ShFolder.Exe ran although SHFOLDER.DLL loads"
[ "$(find "$c/users" -path '*Kelvo Vantlex  Console 2006*' -iname '*.lnk' | wc -l)" = 4 ] || fail "not four shortcuts"
grep -q 'Install record: \\SOFTWARE\\VOQ\\Install\\Install0$' <(tr -d '\r' <"$log") || fail "record Install0 not used"
reg_exists 'HKLM\SOFTWARE\VOQ\Install' && fail "the install record is left after the run"
reg_exists "$uninstall_key" || fail "no uninstall entry"
ls "$temp" | grep -q '^twsetup-' && fail "the unpacked directory is left"

# A run that fails keeps its record; the same setup.exe finds it again, a
# setup.exe with a newer setup program makes one of its own.
record_of_run() { tr -d '\r' <"$log" | sed -n 's/^.*Install record: .*\\\(Install[0-9]*\)$/\1/p'; }
echo "== a failed run (the destination is taken by a file)"
rm -rf "$dest"; mkdir -p "$(dirname "$dest")"; echo "in the way" >"$dest"
run_failing 'C:\Downloads\setup.exe'
[ "$rc" = 1 ] || fail "the failed run ended with $rc"
[ "$(record_of_run)" = Install0 ] || fail "the failed run used record $(record_of_run)"
reg_exists 'HKLM\SOFTWARE\VOQ\Install\Install0' || fail "the failed run's record is gone"

echo "== a failed run of a rebuilt setup.exe"
touch "$c/KelvoBuild/setup/vantlexsetup.exe"
"$wine" "$setup" -b >/dev/null 2>&1 || fail "the rebuild failed"
cp "$dist/setup.exe" "$c/Downloads/rebuilt.exe"
run_failing 'C:\Downloads\rebuilt.exe'
[ "$(record_of_run)" = Install1 ] || fail "the rebuilt setup.exe used record $(record_of_run)"

echo "== the first setup.exe again, with SHFOLDER.DLL disabled"
rm -f "$dest"
TW_WINEDLLOVERRIDES="shfolder=d" run_setup
[ "$rc" = 0 ] || fail "exit code $rc"
grep -q 'SHFOLDER.DLL does not load' <(tr -d '\r' <"$log") || fail "SHFOLDER.DLL still loads"
check_installed install/data ShFolder.Exe
[ -f "$temp/shfolder-ran.txt" ] && grep -q '/Q:A' "$temp/shfolder-ran.txt" || fail "ShFolder.Exe did not run with /Q:A"
[ "$(record_of_run)" = Install0 ] || fail "the same setup.exe did not find its record again: $(record_of_run)"
reg_exists 'HKLM\SOFTWARE\VOQ\Install\Install0' && fail "the record is left after the good run"
reg_exists 'HKLM\SOFTWARE\VOQ\Install\Install1' || fail "the other setup.exe's record is gone"
"$wine" reg delete 'HKLM\SOFTWARE\VOQ\Install\Install1' /f >/dev/null 2>&1

echo "== the destination disk is full"
# Drive T: is a small disk holding the user's notes and an earlier program.
if full=$(mktemp -d /tmp/tw-full.XXXXXX) && mount -t tmpfs -o size=400k tmpfs "$full" 2>/dev/null; then
  trap 'e2e_stop; umount "$full"; rmdir "$full"' EXIT
  mkdir -p "$full/Vantlex"
  echo "my notes" >"$full/Vantlex/notes.txt"
  echo "an earlier program" >"$full/Vantlex/voreruro.exe"
  mkdir -p "$full/Vantlex/Uninstall"; echo "an earlier program" >"$full/Vantlex/Uninstall/uninstall.exe"
  ln -sfn "$full" "$WINEPREFIX/dosdevices/t:"
  dest_dir='T:\Vantlex' run_failing 'C:\Downloads\setup.exe'
  [ "$rc" = 1 ] || fail "a full disk ended with $rc"
  grep -qi 'disk is full' "$work/box.txt" || fail "the message does not say that the disk is full"
  [ "$(cat "$full/Vantlex/notes.txt")" = "my notes" ] || fail "the user's notes were touched"
  # The earlier programs are back, and nothing else is left.
  (cd "$full/Vantlex" && find . -type f ! -name notes.txt) | while read -r f; do
    grep -qx "an earlier program" "$full/Vantlex/$f" 2>/dev/null || echo "FAIL: a partial or stray file $f"
  done | tee "$work/partial.txt"
  echo "   on the full disk: $(cd "$full/Vantlex" && find . -type f | sort | tr '\n' ' ')"
  [ -s "$work/partial.txt" ] && failures=$((failures + 1))
  [ -f "$full/Vantlex/voreruro.exe" ] && [ -f "$full/Vantlex/Uninstall/uninstall.exe" ] ||
    fail "an earlier program on the full disk is gone"
  reg_exists 'HKLM\SOFTWARE\VOQ\Install' || fail "the record of the failed run is gone"
  rm -f "$WINEPREFIX/dosdevices/t:"
else
  echo "   skipped: a size-limited disk needs root to mount"
fi

echo "== a damaged files.1"
rm -rf "$dest"
e2e_damaged_archive
# The licence the wizard shows lies beside the program, as the loading program leaves it.
cp "$c/KelvoBuild/install/data/LICENSE.rtf" "$c/KelvoBuild/setup/License.rtf"
run_failing "$setup" '-sC:\Damaged'
tr -d '\r' <"$log" | sed 's/^/   /'
[ "$rc" = 1 ] || fail "a damaged archive ended with $rc"
[ -e "$dest/voreruro.exe" ] && fail "a half-extracted voreruro.exe was left"
# The files the run installed before the damaged member are taken away again.
for f in VORERURO.HLP Voreruro.312 voreruro.GID voreruro.cnt Readme.wri; do
  [ -e "$dest/$f" ] && fail "$f of the failed run is left"
done
grep -q 'Undone: deleted .*VORERURO.HLP' <(tr -d '\r' <"$log") || fail "the log does not list what was undone"
grep -q 'Installation failed' <(tr -d '\r' <"$log") || fail "the failure is not reported"
grep -q 'Installation finished' <(tr -d '\r' <"$log") && fail "a damaged archive was reported as a success"
"$wine" reg query 'HKLM\SOFTWARE\VOQ\Install' >/dev/null 2>&1 || fail "the record of the failed run is gone"

echo "== a Windows version the project does not name"
"$wine" reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null
"$wine" reg query 'HKLM\SOFTWARE\VOQ\Install' >"$work/records-before.txt" 2>&1
"$wine" 'C:\Downloads\setup.exe' >/dev/null 2>&1 &
pid=$!
e2e_finish "Setup incomplete"
if ui wait "Installation of Kelvo" "#32770" 60000; then
  ui texts "Installation of Kelvo" "#32770"; tr -d '\r' <"$work/ui.txt" >"$work/box.txt"
  ui click "Installation of Kelvo" "OK" "#32770"
fi
wait "$pid"; rc=$?
grep -q 'cannot be installed on this version of Windows' "$work/box.txt" || fail "no message about the Windows version"
[ "$rc" = 1 ] || fail "a run that installed nothing ended with $rc"
"$wine" reg query 'HKLM\SOFTWARE\VOQ\Install' >"$work/records-after.txt" 2>&1
cmp -s "$work/records-before.txt" "$work/records-after.txt" || fail "the run made a record"

e2e_result
