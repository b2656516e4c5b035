# Shared by the end-to-end scripts that stage the Kelvo build tree. Source it
# with bin set to the build's bin directory.
#   e2e_prefix NAME        a fresh prefix build/win64/wine-e2e-NAME with the
#                          build tree staged; sets setup, c (drive C:), dist
#   e2e_user_site VERSION  the Windows version set, setup.exe built and copied
#                          to C:\Downloads, the CALWIN32.DLL stand-in in place
#   e2e_large_readme       the build tree's read-me grown to about 130 MB
#   e2e_damaged_archive    C:\Damaged\files.1 with a damaged member
#   e2e_wizard             goes through the wizard taking every default
#   e2e_finish PAGE        waits for a closing page ("Setup complete", ...) and clicks Finish
#   e2e_install PROGRAM... runs it in the background through the wizard and
#                          Finish on "Setup complete"; rc is its exit code
#   watched_run PROGRAM... runs it while watching for new visible windows; rc is its exit code
#   e2e_result             PASS, or the count of failures and exit code 1
# Whatever happens, the prefix's server, its Wine processes and its display
# are stopped when the script ends.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine=$top/scripts/wine
distinfo="$(cd "$bin/../../host/tools" && pwd)/distinfo"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
e2e_stop() {
  [ -z "${TW_WINE_DIR:-}" ] || "$wine" --kill >/dev/null 2>&1
  rm -rf "$work"
}
trap e2e_stop EXIT
trap 'exit 130' INT TERM
ui() { TW_WINE_NO_RESTART_WAIT=1 "$wine" "$bin/uidriver.exe" "$@" >"$work/ui.txt" 2>&1; }

e2e_prefix() {
  export TW_WINE_DIR="$(cd "$bin/.." && pwd)/wine-e2e-$1"
  # Nothing of an earlier run stays.
  "$wine" --kill >/dev/null 2>&1
  rm -rf "$TW_WINE_DIR"
  [ ! -e "$TW_WINE_DIR" ] || { echo "FAIL: $TW_WINE_DIR could not be removed"; exit 1; }
  setup=$("$top/scripts/stage-kelvo" 2>"$work/stage.txt") || {
    echo "FAIL: staging failed:"; sed 's/^/   /' "$work/stage.txt"; exit 1; }
  eval "$("$wine" --env)"
  c="$WINEPREFIX/drive_c"
  dist="$c/KelvoBuild/dist"
}

# The read-me of the build tree grown to about 130 MB, so that its copy takes seconds.
e2e_large_readme() {
  python3 - "$c/KelvoBuild/install/data/Readme.wri" <<'PY'
import os, sys
with open(sys.argv[1], 'ab') as f:
    for i in range(30):
        f.write(os.urandom(1 << 20))
        f.write((b'Kelvo Vantlex Console %d\r\n' % i) * 130000)
PY
}

# A copy of files.1 in C:\Damaged whose member voreruro.exe has damaged data
# (just behind its header, which ends with the member's stored name).
e2e_damaged_archive() {
  mkdir -p "$c/Damaged"
  cp "$dist/files.1" "$c/Damaged/files.1"
  python3 - "$c/Damaged/files.1" <<'PY'
import sys
p = sys.argv[1]; d = bytearray(open(p, 'rb').read())
at = d.find(b'voreruro.exe') + 256
for i in range(at, at + 64): d[i] ^= 0x5A
open(p, 'wb').write(d)
PY
}

e2e_user_site() {
  "$wine" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null || fail "the Windows version was not set"
  "$wine" reg query 'HKCU\Software\Wine' /v Version >"$work/version.txt" 2>&1
  grep -q "$1" "$work/version.txt" || fail "the prefix does not pretend to be $1: $(tr -d '\r' <"$work/version.txt")"
  "$wine" "$setup" -b >/dev/null 2>&1 || fail "the build failed"
  mkdir -p "$c/Downloads"
  cp "$dist/setup.exe" "$c/Downloads/setup.exe"
  cp "$bin/../e2e/CALWIN32.DLL" "$c/windows/system32/CALWIN32.DLL"
}

# A built setup.exe as a person downloads and starts it, on a prefix that
# pretends to be Windows version $2; sets c and pid (the running program).
e2e_start_setup() { # setup.exe version
  "$wine" reg add 'HKCU\Software\Wine' /v Version /d "$2" /f >/dev/null || fail "the version was not set"
  eval "$("$wine" --env)"
  c="$WINEPREFIX/drive_c"
  mkdir -p "$c/Downloads"
  cp "$1" "$c/Downloads/setup.exe"
  "$wine" 'C:\Downloads\setup.exe' >"$work/setup.txt" 2>&1 &
  pid=$!
}

# Accept on the licence page, Next on the destination and the folder page,
# as a person who takes every default would. When a page does not come, the
# prefix is stopped so that the program waiting on it ends too.
e2e_wizard() {
  if ! ui wait "Software license agreement" "" 90000; then
    fail "the licence page did not show"; ui list; sed 's/^/   window: /' "$work/ui.txt"
    "$wine" --kill >/dev/null 2>&1; return 1
  fi
  if ! { ui click "Software license agreement" "Accept >" &&
         ui click "Choose Destination Location" "Next >" &&
         ui click "Select folder in start menu" "Next >"; }; then
    fail "the wizard could not be gone through"; "$wine" --kill >/dev/null 2>&1; return 1
  fi
}

e2e_finish() {
  if ui wait "$1" "" 180000; then
    ui click "$1" "Finish" || fail "Finish on \"$1\" not clicked"
  else
    fail "no page \"$1\""; ui list; sed 's/^/   window: /' "$work/ui.txt"
    "$wine" --kill >/dev/null 2>&1; return 1
  fi
}

e2e_install() {
  "$wine" "$@" >"$work/setup.txt" 2>&1 &
  local pid=$!
  e2e_wizard && e2e_finish "Setup complete"
  wait "$pid"
  rc=$?
}

# Runs a program in the background and lists the visible top-level windows
# until it ends; a window that was not there before it started is one of
# the run's (listed in $work/new.txt). Leaves the exit code in $rc.
watched_run() { # program args...
  ui list; sort "$work/ui.txt" >"$work/before.txt"
  : >"$work/new.txt"
  "$wine" "$@" >"$work/run.txt" 2>&1 &
  local pid=$! start=$SECONDS
  while kill -0 "$pid" 2>/dev/null; do
    ui list; sort "$work/ui.txt" | comm -13 "$work/before.txt" - >>"$work/new.txt"
    if [ $((SECONDS - start)) -gt "${watch_limit:-60}" ]; then
      fail "$* still runs after ${watch_limit:-60} s"; "$wine" --kill >/dev/null 2>&1; break
    fi
  done
  wait "$pid"; rc=$?
  # Windows the run is meant to show (a pattern in watch_allow) do not count.
  [ -z "${watch_allow:-}" ] || { grep -vE -- "$watch_allow" "$work/new.txt" >"$work/new2.txt"; mv "$work/new2.txt" "$work/new.txt"; }
  if [ -s "$work/new.txt" ]; then
    fail "$* showed windows:"; sort -u "$work/new.txt" | sed 's/^/   window: /'
  fi
}

# The loading program as a build copies it into setup.exe: its PE CheckSum
# field and security entry zero.
sealed_loader() { # out
  python3 - "$bin/TarnwickLoadProgram.exe" "$1" <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
pe = struct.unpack_from('<I', d, 0x3C)[0]
d[pe + 24 + 64:pe + 24 + 68] = bytes(4)
d[pe + 24 + 112 + 32:pe + 24 + 112 + 40] = bytes(8)
open(sys.argv[2], 'wb').write(d)
PY
}

e2e_result() {
  if [ $failures = 0 ]; then echo "PASS"; else echo "$failures failure(s)"; exit 1; fi
}
