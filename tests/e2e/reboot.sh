#!/usr/bin/env bash
# A destination file in use: the installed console runs while setup.exe
# installs again. The new file goes in under a temporary name with a delayed
# replacement, "TarnwickUnfinished" is registered in RunOnce, Windows
# restarts (ExitWindowsEx: Wine ends the prefix's programs and carries out
# the pending renames), and the continuation with -r completes the
# unfinished items and removes the record and the unpacked directory.
# On Windows XP the RunOnce entry is in HKCU and the test runs it as a logon
# would; on Windows 98 it is in HKLM, which the restart itself runs.
# "Reboot windows" preselects Yes. On 98 Yes restarts at once; on XP No and
# Finish end the program without a restart, RunOnce stays, and a later
# restart and logon continue the run, which ends on "Setup complete".
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
"$wine" 'C:\Downloads\setup.exe' >"$work/setup.txt" 2>&1 &
pid=$!
e2e_wizard
if ui wait "Reboot windows" "" 180000; then
  ui texts "Reboot windows"; tr -d '\r' <"$work/ui.txt" >"$work/reboot.txt"
  "$top/scripts/screenshot" "$3/reboot-question-$version.png"
  grep -qF "Several components could not be installed on your system because they were in use." "$work/reboot.txt" ||
    fail "the reboot page lacks its text"
  grep -qP '^Button\tYes, I would like to reboot windows\tchecked' "$work/reboot.txt" || fail "Yes is not preselected"
  grep -qP '^Button\tFinish' "$work/reboot.txt" || fail "no Finish on the reboot page"
  if [ "$version" = winxp ]; then
    ui click "Reboot windows" "No, I would not like to reboot windows"
  else
    # On 98 the restart itself continues the run, which ends on "Setup
    # complete". No program starts while the restart runs, so the driver
    # that answers that page is started first.
    TW_WINE_NO_RESTART_WAIT=1 "$wine" "$bin/uidriver.exe" click "Setup complete" "Finish" "" 180000 \
      >"$work/finish.txt" 2>&1 &
    finisher=$!
  fi
  ui click "Reboot windows" "Finish"
else
  fail "no reboot question"
fi
if [ "$version" = win98 ]; then wait "$finisher" || fail "Finish on \"Setup complete\" after the restart not clicked"; fi
wait "$pid"; rc=$?
echo "   setup.exe ended with $rc"
if [ "$version" = winxp ]; then
  grep -q 'Restarting Windows' <(tr -d '\r' <"$log") && fail "No restarted all the same"
  ls "$dest" | grep -q '^voreruro\.[0-9]' || fail "no temporary copy waits for the restart"
  echo "== a later restart, after the console was closed"
  ui close '*' KelvoVantlexConsole
fi
wait "$console" 2>/dev/null
[ "$version" = winxp ] && "$wine" --reboot
showlog
[ "$version" = win98 ] && { grep -q 'Restarting Windows' <(tr -d '\r' <"$log") || fail "no restart"; }
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
  "$wine" cmd /c 'C:\runonce-e2e.bat' &
  pid=$!
  e2e_finish "Setup complete"
  wait "$pid"; rc=$?
  unpacked_left && fail "the unpacked directory is left"
  showlog
  [ "$rc" = 0 ] || fail "the continuation ended with $rc"
  grep -q 'Mode: continue after a restart' <(tr -d '\r' <"$log") || fail "not continued with -r"
  record_left && fail "the record is left after the continuation"
fi

e2e_result
