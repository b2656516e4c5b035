#!/usr/bin/env bash
# The setup program started by hand: it streams its project and shows its
# main form. Without the network client library it shows the three-line
# warning and ends without installing; with a stand-in library in the system
# directory it reaches the installation run (which, started without the
# loading program, fails with the loading-program message).
#   mainform.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1 e2e=$2 art=$3
top=$(cd "$(dirname "$0")/../.." && pwd)
wine=$top/scripts/wine
# A fresh prefix of its own, stopped again however the script ends.
export TW_WINE_DIR="$(cd "$bin/.." && pwd)/wine-e2e-mainform"
"$wine" --kill >/dev/null 2>&1
rm -rf "$TW_WINE_DIR"
eval "$("$wine" --env)"
mkdir -p "$art"
work=$(mktemp -d)
sys32="$WINEPREFIX/drive_c/windows/system32"
logname=tw-e2e-mainform-$$.log
log="$WINEPREFIX/drive_c/$logname"
export TARNWICK_LOG="C:\\$logname"
title="Installation of Kelvo Vantlex Console for NetWare"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cleanup() { "$wine" --kill >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

ui() { TW_WINE_NO_RESTART_WAIT=1 "$wine" "$bin/uidriver.exe" "$@" >"$work/ui.txt" 2>&1; }

# Starts the setup program, waits for its message box, saves a screenshot and
# the box's texts, clicks OK and returns the program's exit code in $rc.
run_to_box() { # screenshot-name
  rm -f "$log"
  "$wine" "$bin/vantlexsetup.exe" >"$work/setup.txt" 2>&1 &
  local pid=$!
  # A failed run shows "Setup incomplete" before its message.
  [ "${2:-}" = failure ] && { ui wait "Setup incomplete" "" 60000 && ui click "Setup incomplete" "Finish" || fail "no \"Setup incomplete\" page"; }
  if ui wait "$title" "#32770" 60000; then
    sleep 0.5
    "$top/scripts/screenshot" "$art/$1" || fail "no screenshot"
    ui texts "$title" "#32770"
    cp "$work/ui.txt" "$work/box.txt"
    ui click "$title" "OK" "#32770" || fail "OK not clicked"
  else
    fail "no message box appeared"
    ui list; cat "$work/ui.txt"
  fi
  wait "$pid"
  rc=$?
}

echo "== without CALWIN32.DLL"
rm -f "$sys32/CALWIN32.DLL"
run_to_box mainform-warning.png
tr -d '\r' <"$work/box.txt" >"$work/box1.txt"
grep -qF "In order to install Kelvo Vantlexconsole you need to have Novell Client installed." "$work/box1.txt" ||
  fail "first warning line missing"
grep -qF "The latest client software can be downloaded from:" "$work/box1.txt" || fail "second warning line missing"
grep -qF "http://download.novell.com/" "$work/box1.txt" || fail "download address missing"
[ "$rc" = 1 ] || fail "exit code $rc after the warning"
grep -q "nothing is installed" "$log" || fail "the log does not tell that nothing was installed"
grep -q "Installation started" "$log" && fail "the installation started after the warning"
cat "$work/box1.txt"

echo "== with a stand-in CALWIN32.DLL"
cp "$e2e/CALWIN32.DLL" "$sys32/CALWIN32.DLL"
run_to_box mainform-run.png failure
tr -d '\r' <"$work/box.txt" >"$work/box2.txt"
grep -qF "The path of the loading program was not passed correctly" "$work/box2.txt" ||
  fail "the run did not end with the loading-program message"
grep -q "Installation started" "$log" || fail "the installation run was not reached"
[ "$rc" = 1 ] || fail "exit code $rc after the failed run"
cat "$work/box2.txt"

echo "screenshots in $art"
[ $failures = 0 ] && echo "PASS" || { echo "$failures failure(s)"; exit 1; }
