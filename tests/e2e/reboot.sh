#!/usr/bin/env bash
# A destination file in use: the installed console runs while setup.exe
# installs again. The new file goes in under a temporary name with a delayed
# replacement, "TarnwickUnfinished" is registered in RunOnce, Windows
# restarts (ExitWindowsEx: Wine ends the prefix's programs and carries out
# the pending renames), and the continuation with -r completes the
# unfinished items and removes the record and the unpacked directory.
# On Windows XP the RunOnce entry is in HKCU and the test runs it as a logon
# would; on Windows 98 it is in HKLM, which the restart itself runs.
#   reboot.sh BIN_DIR E2E_DIR ARTEFACT_DIR [winxp|win98]
set -uo pipefail
bin=$1 version=${4:-winxp}
source "$(dirname "$0")/lib.sh"
e2e_prefix "reboot-$version"
e2e_user_site "$version"
export TARNWICK_LOG='C:\reboot-e2e.log'
log="$c/reboot-e2e.log"
dest="$c/Program Files/Kelvo/Vantlex 2006"
temp=$(echo "$c/users/"*/Temp)
if [ "$version" = win98 ]; then runonce='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'
else runonce='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'; fi
showlog() { tr -d '\r' <"$log" | sed 's/^/   /'; }

echo "== first installation"
e2e_install 'C:\Downloads\setup.exe'
[ "$rc" = 0 ] || fail "first installation failed"
[ -f "$dest/voreruro.exe" ] || { fail "nothing installed"; exit 1; }

echo "== second installation while the console runs"
# An older console runs: the new one must replace it.
printf 'old console' >"$work/marker"
"$wine" "C:\\Program Files\\Kelvo\\Vantlex 2006\\voreruro.exe" >/dev/null 2>&1 &
console=$!
ui wait '*' KelvoVantlexConsole 60000 || fail "the console did not start"
rm -f "$log"
e2e_install 'C:\Downloads\setup.exe'
echo "   setup.exe ended with $rc"
wait "$console" 2>/dev/null
showlog
grep -q 'Restarting Windows' <(tr -d '\r' <"$log") || fail "no restart"
ls "$dest" | grep -q '^voreruro\.[0-9]' && fail "the temporary copy was not renamed at the restart: $(ls "$dest")"
cmp -s "$c/KelvoBuild/bin/voreruro.exe" "$dest/voreruro.exe" || fail "voreruro.exe was not replaced at the restart"
record_left() { "$wine" reg query 'HKLM\SOFTWARE\VOQ\Install' >/dev/null 2>&1; }
unpacked_left() {
  for _ in $(seq 40); do ls "$temp" | grep -q '^twsetup-' || return 1; sleep 0.25; done
  return 0
}

if [ "$version" = win98 ]; then
  echo "== the restart ran the HKLM RunOnce entry"
  "$wine" reg query "$runonce" /v TarnwickUnfinished >/dev/null 2>&1 && fail "the RunOnce entry was not run"
  [ -f "$c/windows/wininit.bak" ] || fail "WININIT.INI was not carried out"
  record_left && fail "the record is left after the continuation"
  unpacked_left && fail "the unpacked directory is left"
else
  "$wine" reg query "$runonce" /v TarnwickUnfinished >"$work/runonce.txt" 2>&1 || fail "TarnwickUnfinished not in RunOnce"
  command=$(tr -d '\r' <"$work/runonce.txt" | sed -n 's/^ *TarnwickUnfinished *REG_SZ *//p')
  echo "   RunOnce: $command"
  grep -q -- ' -r' <<<"$command" || fail "the RunOnce command lacks -r"
  record_left || fail "the record is gone before the continuation"

  echo "== logon: the RunOnce command"
  "$wine" reg delete "$runonce" /v TarnwickUnfinished /f >/dev/null 2>&1
  rm -f "$log"
  printf '%s\r\n' "@$command" >"$c/runonce-e2e.bat"
  "$wine" cmd /c 'C:\runonce-e2e.bat'
  rc=$?
  unpacked_left && fail "the unpacked directory is left"
  showlog
  [ "$rc" = 0 ] || fail "the continuation ended with $rc"
  grep -q 'Mode: continue after a restart' <(tr -d '\r' <"$log") || fail "not continued with -r"
  record_left && fail "the record is left after the continuation"
fi

e2e_result
