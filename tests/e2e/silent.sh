#!/usr/bin/env bash
# setup.exe started by a deployment tool: under /VERYSILENT a damaged copy,
# an unknown switch and /? show no window at any time, end with their exit
# codes (6, 1, 0), write why to the /LOG file (stamped lines, CR LF) and
# unpack nothing.
#   silent.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_prefix silent
e2e_user_site winxp
mkdir -p "$c/logs"
cp "$c/Downloads/setup.exe" "$c/Downloads/damaged.exe"
python3 - "$c/Downloads/damaged.exe" <<'PY'
import sys
p = sys.argv[1]; d = bytearray(open(p, 'rb').read()); d[len(d) // 2] ^= 0x20; open(p, 'wb').write(d)
PY
unpacked() { ls "$c/users/"*/Temp 2>/dev/null | grep -c '^twsetup-' || true; }

# Runs the program watched, with /LOG=C:\logs\LOG after its arguments;
# checks the exit code, that nothing was unpacked, and the log's lines and
# texts.
check_run() { # code program log args... -- texts...
  local code=$1 program=$2 log=$3; shift 3
  local args=()
  while [ "$1" != -- ]; do args+=("$1"); shift; done; shift
  echo "== $program ${args[*]} /LOG=C:\\logs\\$log"
  local before; before=$(unpacked)
  watched_run "$program" "${args[@]}" "/LOG=C:\\logs\\$log"
  [ "$rc" = "$code" ] || fail "exit code $rc, not $code"
  [ "$(unpacked)" = "$before" ] || fail "something was unpacked"
  local f="$c/logs/$log"
  [ -s "$f" ] || { fail "no log $log"; return; }
  tr -d '\r' <"$f"
  # Every line: the local time, two blanks, the text, CR LF.
  grep -qvE $'^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}  [^ ].*\r$' "$f" && fail "a line of $log is not stamped"
  for text in "Loading program started: " "$@" "Loading program ends with exit code $code"; do
    grep -qF -- "$text" "$f" || fail "$log lacks: $text"
  done
}

valid=("/SILENT" "/VERYSILENT" "/DIR=path" "/GROUP=name" "/LOG=file" "/NORESTART" "/HELP or /?" "*TODISK")
check_run 6 'C:\Downloads\damaged.exe' damaged.log /VERYSILENT -- \
  "Error: The setup file is damaged: its contents do not match its checksum."
check_run 1 'C:\Downloads\setup.exe' unknown.log /VERYSILENT /FOO -- "Error: Unknown switch: /FOO" "${valid[@]}"
# The switches are read before the file is checked.
check_run 1 'C:\Downloads\damaged.exe' unknown-damaged.log /verysilent /DIR -- \
  "Error: The switch /DIR needs a value: /DIR=path" "${valid[@]}"
check_run 0 'C:\Downloads\setup.exe' help.log '/?' /VERYSILENT -- "${valid[@]}"

e2e_result
