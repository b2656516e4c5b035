#!/usr/bin/env bash
# Unattended removal, as a deployment tool does it, after an installation from
# setup.exe on a Windows XP prefix:
# - the entry's QuietUninstallString, run with /LOG="..." (a quoted path with
#   blanks) added, shows no window at any time, ends with 0 and removes every
#   recorded file, shortcut and folder and the key; the log, in the line
#   format of the product's programs, lists the files it removed;
# - after a second installation, /SILENT while the console runs ends with
#   3010 without a window: the console's program is left for the restart
#   (a pending deletion), which removes it, and the quiet command run again
#   then finishes the rest.
#   uninstall-silent.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_prefix uninstall-silent
e2e_user_site winxp
product='Kelvo Vantlex Console for NetWare 2006'
ukey="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
help_key='HKLM\SOFTWARE\Microsoft\Windows\Help'
dest="$c/Program Files/Kelvo/Vantlex 2006"
wdest='C:\Program Files\Kelvo\Vantlex 2006'
mkdir -p "$c/uninstall logs"

reg_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }
reg_value() { # key name: the value's data, empty when missing
  "$wine" reg query "$1" /v "$2" >"$work/reg.txt" 2>&1 || return 0
  tr -d '\r' <"$work/reg.txt" | sed -n 's/^ *.*    REG_[A-Z_]*    //p' | head -n 1
}
unix_path() { local p=${1#[Cc]:}; printf '%s\n' "$c${p//\\//}"; }
install() {
  e2e_install 'C:\Downloads\setup.exe'
  [ "$rc" = 0 ] || { fail "the installation ended with $rc"; e2e_result; }
}
# Runs a command line as the shell does and lists the visible top-level
# windows meanwhile, and afterwards until PATH is gone (the uninstaller
# removes itself once it has ended); windows that were not there before go
# to $work/new-windows.txt. rc is the command's exit code.
run_watched() { # command-line [path]
  ui list; sort -u "$work/ui.txt" >"$work/before.txt"
  : >"$work/new-windows.txt"
  TW_WINE_NO_RESTART_WAIT=1 "$wine" "$bin/uidriver.exe" run "$1" >"$work/run.txt" 2>&1 &
  local pid=$! ended=0
  for _ in $(seq 600); do
    kill -0 "$pid" 2>/dev/null || ended=$((ended + 1))
    ui list; grep -vxFf "$work/before.txt" "$work/ui.txt" >>"$work/new-windows.txt"
    [ $ended -gt 0 ] && { [ -z "${2:-}" ] || [ ! -e "$2" ]; } && break
  done
  kill -0 "$pid" 2>/dev/null && { fail "\"$1\" did not end"; "$wine" --kill >/dev/null 2>&1; }
  wait "$pid"; rc=$?
  [ -s "$work/new-windows.txt" ] &&
    fail "windows showed during \"$1\": $(sort -u "$work/new-windows.txt" | tr '\t\n' ' |')"
}
# Checks the line format of a log file and leaves its lines in $work/log.txt.
read_log() { # unix-path
  [ -f "$1" ] || { fail "no log $1"; : >"$work/log.txt"; return; }
  grep -qvP '\r$' "$1" && fail "log lines without CR LF in $1"
  tr -d '\r' <"$1" >"$work/log.txt"
  grep -vP '^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  \S' "$work/log.txt" | sed 's/^/   bad log line: /' | grep . &&
    fail "log lines not in the format \"YYYY-MM-DD HH:MM:SS  text\""
}
logged() { grep -qF -- "  $1" "$work/log.txt" || fail "the log lacks \"$1\""; }

echo "== install"
install
quiet=$(reg_value "$ukey" QuietUninstallString)
[ "$quiet" = "$wdest\\Uninstall\\uninstall.exe /VERYSILENT $product" ] || fail "QuietUninstallString: \"$quiet\""
"$wine" reg query "$ukey" /s >"$work/entry.txt" 2>&1
tr -d '\r' <"$work/entry.txt" | sed -n 's/^ *File[0-9]*    REG_SZ    //p' >"$work/recorded.txt"
[ "$(wc -l <"$work/recorded.txt")" -gt 8 ] || fail "only $(wc -l <"$work/recorded.txt") files recorded"
grep -qi '\.lnk$' "$work/recorded.txt" || fail "no shortcut recorded"
while IFS= read -r f; do [ -e "$(unix_path "$f")" ] || fail "recorded but not installed: $f"; done <"$work/recorded.txt"
menu=$(find "$c/users" -type d -name 'Kelvo Vantlex  Console 2006' | head -n 1)
[ -n "$menu" ] || fail "no Start-menu folder after the installation"

echo "== the quiet command with a log"
wlog='C:\uninstall logs\kelvo uninstall.log'
command="${quiet%%/VERYSILENT*}/VERYSILENT /LOG=\"$wlog\"${quiet#*/VERYSILENT}"
run_watched "$command" "$dest"
[ "$rc" = 0 ] || fail "the quiet uninstall ended with $rc"
while IFS= read -r f; do [ -e "$(unix_path "$f")" ] && fail "left: $f"; done <"$work/recorded.txt"
[ -e "$menu" ] && fail "the Start-menu folder is left"
[ "$(find "$c/users" -iname '*.lnk' -path '*Kelvo*' | wc -l)" = 0 ] || fail "shortcuts are left"
reg_exists "$ukey" && fail "the uninstall entry is left"
[ -z "$(reg_value "$help_key" VORERURO.HLP)" ] || fail "help value VORERURO.HLP is left"
[ -e "$dest" ] && fail "the installation folder is left: $(ls -R "$dest" | tr '\n' ' ')"
# Empty folders go up to the installation directory, never above it: which
# folders above it the setup program made is not recorded.
[ -d "$c/Program Files/Kelvo" ] || fail "the folder Kelvo above the installation directory was removed"
read_log "$c/uninstall logs/kelvo uninstall.log"
grep -F "  Uninstaller started: " "$work/log.txt" | grep -qF "${command#*uninstall.exe}" ||
  fail "the log does not say what the uninstaller was started with"
logged "Question answered Yes (silent run, not asked): Are you sure you want to remove $product"
while IFS= read -r f; do
  case "$f" in *.lnk|*.LNK) logged "Shortcut removed: $f" ;; *) logged "File removed: $f" ;; esac
done <"$work/recorded.txt"
logged "Registry value removed: $help_key \"VORERURO.HLP\""
link=$(grep -im1 '\.lnk$' "$work/recorded.txt")
logged "Folder removed: ${link%\\*}"
logged "Registry key removed: $ukey"
logged "Message (silent run, no box shown): $product was removed from your computer."
logged "Result: removed; exit code 0"

echo "== install again; /SILENT while the console runs"
install
"$wine" "$wdest\\voreruro.exe" >/dev/null 2>&1 &
console=$!
ui wait "Vantlex Server Console" "" 60000 || fail "the console did not start"
uninstall_string=$(reg_value "$ukey" UninstallString)
run_watched "${uninstall_string% $product} /silent /log=C:\\silent-uninstall.log $product"
# Wine hands only the low 8 bits of an exit code to Linux: 3010 is 194
# here; the log holds the whole code.
[ "$rc" = $((3010 & 255)) ] || fail "a removal with a file in use ended with $rc"
[ -f "$dest/voreruro.exe" ] || fail "the running console was removed"
[ -e "$dest/VORERURO.NLM" ] && fail "VORERURO.NLM was not removed"
[ "$(reg_value "$ukey\\Files" File1)" = "$wdest\\voreruro.exe" ] || fail "record left: $(reg_value "$ukey\\Files" File1)"
"$wine" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
  >"$work/pending.txt" 2>&1
grep -qiF "$wdest\\voreruro.exe" "$work/pending.txt" ||
  fail "no deletion at the restart: $(tr -d '\r' <"$work/pending.txt" | tr '\n' ' ')"
read_log "$c/silent-uninstall.log"
logged "Left, in use"
grep -qF "removed at the next restart: $wdest\\voreruro.exe" "$work/log.txt" || fail "the log lacks the file in use"
logged "Message (silent run, no box shown): $product was not removed completely."
logged "$wdest\\voreruro.exe"
logged "Result: removed, files in use are left for the restart; exit code 3010"

echo "== restart, then the quiet command finishes"
ui close "Vantlex Server Console"
ui gone "Vantlex Server Console" "" 20000 || fail "the console did not close"
wait "$console"
"$wine" --reboot || fail "the restart failed"
[ -e "$dest/voreruro.exe" ] && fail "voreruro.exe is still there after the restart"
run_watched "$(reg_value "$ukey" QuietUninstallString)" "$dest"
[ "$rc" = 0 ] || fail "the run after the restart ended with $rc"
reg_exists "$ukey" && fail "the uninstall entry is left after the run after the restart"
[ -e "$dest" ] && fail "the installation folder is left after the run after the restart"

e2e_result
