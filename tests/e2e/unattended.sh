#!/usr/bin/env bash
# setup.exe run by a deployment tool, with nobody at the screen, on a
# Windows XP prefix, watched for windows throughout:
#   - /VERYSILENT with /DIR, /GROUP and /LOG: no window at any time, exit
#     code 0, files, shortcuts and the uninstall entry where asked, and the
#     log names every file, the licence counted as accepted and the result;
#   - /DIR naming impossible paths: exit code 1, the reason in the log,
#     nothing left behind (no files, no record, no uninstall entry);
#   - the missing prerequisite under /VERYSILENT: exit code 1, logged;
#   - /SILENT: only the copy progress window appears (a screenshot), exit 0;
#   - a file in use under /VERYSILENT /NORESTART: exit code 3010, the
#     continuation registered with the mode and the log, Windows not
#     restarted; the next restart and logon complete the run.
#   unattended.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1 art=$3
source "$(dirname "$0")/lib.sh"
e2e_prefix unattended
# A read-me grown by 40 MB keeps the copy on the screen long enough to be seen.
python3 -c 'import os, sys; open(sys.argv[1], "ab").write(os.urandom(40 << 20))' "$c/KelvoBuild/install/data/Readme.wri"
e2e_user_site winxp
mkdir -p "$c/logs" "$art"
product='Kelvo Vantlex Console for NetWare 2006'
ukey="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
runonce='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
files="VORERURO.NLM voreruro.exe Voreruro.312 Readme.wri VORERURO.HLP voreruro.GID voreruro.cnt"
has_log() { # file text...
  local f=$1; shift
  for t in "$@"; do grep -qF -- "$t" <(tr -d '\r' <"$f") || fail "$(basename "$f") lacks: $t"; done
}
reg_value() {
  "$wine" reg query "$1" /v "$2" >"$work/reg.txt" 2>&1 || return 0
  tr -d '\r' <"$work/reg.txt" | sed -n 's/^ *.*    REG_[A-Z_]*    //p' | head -n 1
}
records() { "$wine" reg query 'HKLM\SOFTWARE\VOQ\Install' /s >"$work/records.txt" 2>&1; tr -d '\r' <"$work/records.txt"; }
records >"$work/records-before.txt"
nothing_installed() { # what
  [ -e "$c/Program Files/Kelvo" ] && fail "$1: files were left: $(find "$c/Program Files/Kelvo" | head -n 3)"
  "$wine" reg query "$ukey" >/dev/null 2>&1 && fail "$1: an uninstall entry was left"
  records | cmp -s - "$work/records-before.txt" || fail "$1: an install record was left: $(records | head -n 4)"
}

echo "== /DIR naming impossible paths"
for dir in 'Q:\No Drive\Vantlex' 'C:\Bad|Name\Vantlex' 'relative\path'; do
  log="$c/logs/bad-dir.log"; rm -f "$log"
  watched_run 'C:\Downloads\setup.exe' /VERYSILENT "/DIR=$dir" '/LOG=C:\logs\bad-dir.log'
  [ "$rc" = 1 ] || fail "/DIR=$dir: exit code $rc"
  has_log "$log" "The destination directory $dir" "Exit code 1"
  grep -F "destination directory" <(tr -d '\r' <"$log") | sed 's/^/   /'
  nothing_installed "/DIR=$dir"
done
[ -e "$c/No Drive" ] || [ -e "$c/Bad" ] && fail "a part of an impossible path was created"

echo "== the missing prerequisite"
mv "$c/windows/system32/CALWIN32.DLL" "$work/"
log="$c/logs/prerequisite.log"
watched_run 'C:\Downloads\setup.exe' /VERYSILENT '/LOG=C:\logs\prerequisite.log'
[ "$rc" = 1 ] || fail "without CALWIN32.DLL: exit code $rc"
has_log "$log" "CALWIN32.DLL does not load" "you need to have Novell Client installed" "Exit code 1"
nothing_installed "without CALWIN32.DLL"
mv "$work/CALWIN32.DLL" "$c/windows/system32/"

echo "== /VERYSILENT /DIR /GROUP /LOG"
log="$c/logs/install.log"
watch_limit=120 watched_run 'C:\Downloads\setup.exe' /verysilent '/DIR=C:\Deployed Apps\Vantlex' \
  '/GROUP=Deployed Vantlex' '/LOG=C:\logs\install.log'
[ "$rc" = 0 ] || fail "exit code $rc"
dest="$c/Deployed Apps/Vantlex"
for f in $files; do
  cmp -s "$c/KelvoBuild/bin/$f" "$dest/$f" 2>/dev/null || cmp -s "$c/KelvoBuild/install/data/$f" "$dest/$f" ||
    fail "$f is not in the destination"
  has_log "$log" "Extracted C:\\Deployed Apps\\Vantlex\\$f"
done
menu=$(find "$c/users" -type d -name 'Deployed Vantlex' | head -n 1)
[ -n "$menu" ] && [ -f "$menu/Server Console.LNK" ] && [ -f "$menu/uninstall.lnk" ] ||
  fail "the shortcuts are not in the Start-menu folder asked for: $(find "$c/users" -name '*.lnk' | head -n 3)"
[ "$(reg_value "$ukey" UninstallString)" = "C:\\Deployed Apps\\Vantlex\\Uninstall\\uninstall.exe $product" ] ||
  fail "UninstallString: $(reg_value "$ukey" UninstallString)"
has_log "$log" "Mode: very silent" "the licence agreement counts as accepted" "Shortcut " "Registry: HKLM\\" \
  "Stage: copying files" "Installation finished" "Exit code 0"
grep -qvE $'^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}  [^ ].*\r$' "$log" && fail "a line of the log is not stamped"
echo "   $(wc -l <"$log") log lines; the first ones:"; head -n 12 "$log" | tr -d '\r' | sed 's/^/   /'

echo "== /SILENT: only the copy progress shows"
"$wine" reg delete "$ukey" /f >/dev/null 2>&1
rm -rf "$c/Silent"
TW_WINE_NO_RESTART_WAIT=1 "$wine" "$bin/uidriver.exe" wait "Copying installation files" "" 60000 >"$work/copywait.txt" 2>&1 &&
  "$top/scripts/screenshot" "$art/unattended-silent-progress.png" &
shooter=$!
watch_allow='Copying installation files' watched_run 'C:\Downloads\setup.exe' /SILENT '/DIR=C:\Silent' \
  '/LOG=C:\logs\silent.log'
wait "$shooter"
[ "$rc" = 0 ] || fail "/SILENT: exit code $rc"
[ -f "$c/Silent/voreruro.exe" ] || fail "/SILENT installed nothing"
[ -s "$art/unattended-silent-progress.png" ] || fail "the progress window did not show under /SILENT"
has_log "$c/logs/silent.log" "Mode: silent" "Exit code 0"

echo "== a file in use, /VERYSILENT /NORESTART"
"$wine" 'C:\Deployed Apps\Vantlex\voreruro.exe' >/dev/null 2>&1 &
console=$!
ui wait '*' KelvoVantlexConsole 60000 || fail "the console did not start"
log="$c/logs/norestart.log"
watched_run 'C:\Downloads\setup.exe' /VERYSILENT /NORESTART '/DIR=C:\Deployed Apps\Vantlex' '/LOG=C:\logs\norestart.log'
# Wine hands only the low byte of an exit code to Linux: 3010 arrives as 194.
[ "$rc" = 194 ] || fail "/NORESTART with a file in use: exit code $rc"
kill -0 "$console" 2>/dev/null || fail "Windows was restarted: the console is gone"
has_log "$log" "In use: C:\\Deployed Apps\\Vantlex\\voreruro.exe is replaced at the next restart" \
  "Windows is not restarted (/NORESTART)" "Exit code 3010"
continuation=$(reg_value "$runonce" TarnwickUnfinished)
[[ "$continuation" == *'"*u2"'*'"*jC:\logs\norestart.log"'*'"*x"'* ]] ||
  fail "the continuation does not keep the mode and the log: $continuation"
ls "$dest" | grep -q '^voreruro\.[0-9]' || fail "no new copy waits for the restart"

echo "== the next restart and logon complete the run"
ui close '*' KelvoVantlexConsole
wait "$console" 2>/dev/null
"$wine" --reboot
ls "$dest" | grep -q '^voreruro\.[0-9]' && fail "the new copy was not renamed at the restart"
cmp -s "$c/KelvoBuild/bin/voreruro.exe" "$dest/voreruro.exe" || fail "voreruro.exe was not replaced at the restart"
# Wine does not run HKCU RunOnce: the logon is played here.
"$wine" reg delete "$runonce" /v TarnwickUnfinished /f >/dev/null
printf '%s\r\n' "@$continuation" >"$c/runonce-e2e.bat"
watched_run cmd /c 'C:\runonce-e2e.bat'
[ "$rc" = 0 ] || { fail "the continuation ended with $rc"; tail -n 8 "$log" | tr -d '\r' | sed 's/^/   /'; }
has_log "$log" "Mode: continue after a restart" "Exit code 0"
"$wine" reg query 'HKLM\SOFTWARE\VOQ\Install' >/dev/null 2>&1 && fail "the install record stayed after the continuation"
e2e_result
