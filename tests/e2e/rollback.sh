#!/usr/bin/env bash
# Nothing half done. Each case starts from a machine that holds a file of the
# user's beside the destination and an empty folder of the user's, and
# checks that both stay:
# - Cancel at about 40 % of a first installation, Yes: the files, the Start
#   menu and the registry (HKLM and HKCU exported) are as before; exit code 2;
# - a failure (a damaged member; a full disk): exit code 1, only the record
#   is left;
# - Cancel during an upgrade over an installed product whose files all
#   differ: every old file is back, byte for byte with its date, and the old
#   uninstall entry and records are unchanged;
# - the setup program killed mid-copy, then setup.exe started again: it
#   undoes the killed run, removes what it left, and ends on "Setup
#   complete" with every file recorded once.
#   rollback.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_prefix rollback
e2e_large_readme
e2e_user_site winxp
export TARNWICK_LOG='C:\rollback-e2e.log'
log="$c/rollback-e2e.log"
parent="$c/Program Files/Kelvo"
dest="$parent/Vantlex 2006"
temp=$(echo "$c/users/"*/Temp)
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo Vantlex Console for NetWare 2006'
copying="Copying installation files"

# The user's own things beside the destination.
mkdir -p "$parent/My empty folder"
printf 'my notes\r\n' >"$parent/notes.txt"
touch -d '2005-05-05 05:05:05' "$parent/notes.txt"

# The machine as a listing: every file with its size, date and checksum, every
# directory, and the registry of both roots (Wine's own bookkeeping left out).
snapshot() { # name
  (cd "$c" && find . \( -path ./windows -o -path ./Downloads -o -path ./KelvoBuild -o -path ./Damaged \
      -o -name '*.log' -o -path './users/*/Temp' -o -path './users/*/AppData/Local/Temp' \) -prune \
      -o -type d -printf 'd %p\n' -o -type f -printf 'f %p %s %T@\n' | sort) >"$work/$1.files"
  (cd "$c" && find . \( -path ./windows -o -path ./Downloads -o -path ./KelvoBuild -o -path ./Damaged \
      -o -path './users/*/Temp' -o -path './users/*/AppData/Local/Temp' \) -prune -o -type f ! -name '*.log' \
      -print0 | sort -z | xargs -0 md5sum) >>"$work/$1.files"
  for root in HKLM HKCU; do
    "$wine" reg export "$root" "C:\\$1-$root.reg" /y >/dev/null 2>&1 || fail "$root could not be exported"
    iconv -f UTF-16LE -t UTF-8 "$c/$1-$root.reg" 2>/dev/null | tr -d '\r' |
      awk '/^\[/ { k = tolower($0); keep = k !~ /^\[hkey_current_user\\console|\\(wine|volatile environment|sessioninformation)|\\software\\voq|^\[hkey_local_machine\\(hardware|system)|\\software\\microsoft\\windows\\currentversion\\explorer|\\software\\microsoft\\windows nt\\currentversion\\(perflib|time zones)|\\dyndata/ } keep' \
      >"$work/$1-$root.txt"
    rm -f "$c/$1-$root.reg"
  done
}
same_as() { # before after what
  for part in files HKLM.txt HKCU.txt; do
    local a="$work/$1.$part" b="$work/$2.$part"
    [ "$part" = files ] || { a="$work/$1-$part"; b="$work/$2-$part"; }
    if ! diff -q "$a" "$b" >/dev/null; then
      fail "$3: the machine's ${part%.txt} changed"
      diff "$a" "$b" | head -n 20 | sed 's/^/   /'
    fi
  done
}
user_things_stay() { # what
  [ -d "$parent/My empty folder" ] && [ -z "$(ls -A "$parent/My empty folder")" ] || fail "$1: the user's empty folder changed"
  [ "$(tr -d '\r' <"$parent/notes.txt")" = "my notes" ] || fail "$1: the user's notes changed"
}
# Starts setup.exe through the wizard; when the copy's total bar stands at
# 40 % or more, presses the button (none: returns at once to act itself).
copy_to_40() { # [button]
  rm -f "$log"
  "$wine" 'C:\Downloads\setup.exe' >"$work/setup.txt" 2>&1 &
  pid=$!
  e2e_wizard || return 1
  ui at "$copying" 40 "${1:-}" 60000 || { fail "the copy was not seen at 40 %"; return 1; }
  echo "   at $(tr -d '\r' <"$work/ui.txt") %"
}
cancel_at_40() {
  copy_to_40 Cancel || return 1
  if ui wait "Installation of Kelvo" "#32770" 20000; then ui click "Installation of Kelvo" "Yes" "#32770"
  else fail "Cancel did not ask"; fi
  e2e_finish "Setup incomplete"
  wait "$pid"; rc=$?
}
undone_lines() { tr -d '\r' <"$log" | grep -c 'Undone: ' ; }

echo "== Cancel at 40 % of a first installation"
snapshot before
cancel_at_40
[ "$rc" = 2 ] || fail "the cancelled installation ended with $rc"
echo "   $(undone_lines) changes undone"
snapshot cancelled
same_as before cancelled "after Cancel"
user_things_stay "after Cancel"
"$wine" reg query 'HKLM\SOFTWARE\VOQ\Install' >/dev/null 2>&1 && fail "the record is left after Cancel"

echo "== a damaged member"
e2e_damaged_archive
cp "$c/KelvoBuild/install/data/LICENSE.rtf" "$c/KelvoBuild/setup/License.rtf"
"$wine" "$setup" '-sC:\Damaged' >/dev/null 2>&1 &
pid=$!
e2e_wizard
e2e_finish "Setup incomplete"
if ui wait "Installation of Kelvo" "#32770" 30000; then ui click "Installation of Kelvo" "OK" "#32770"; fi
wait "$pid"; rc=$?
[ "$rc" = 1 ] || fail "a damaged member ended with $rc"
grep -q 'Undone: deleted .*Vantlex 2006' <(tr -d '\r' <"$log") || fail "the log lists nothing undone"
"$wine" reg query 'HKLM\SOFTWARE\VOQ\Install' >/dev/null 2>&1 ||
  { fail "the record of the failed run is gone"; tr -d '\r' <"$log" | tail -n 30 | sed 's/^/   /'; }
snapshot damaged
same_as before damaged "after a damaged member"
user_things_stay "after a damaged member"
"$wine" reg delete 'HKLM\SOFTWARE\VOQ' /f >/dev/null 2>&1

echo "== a full disk"
if full=$(mktemp -d /tmp/tw-full.XXXXXX) && mount -t tmpfs -o size=3m tmpfs "$full" 2>/dev/null; then
  trap 'e2e_stop; umount "$full"; rmdir "$full"' EXIT
  mkdir -p "$full/Kelvo/My empty folder"
  printf 'my notes\r\n' >"$full/Kelvo/notes.txt"
  ln -sfn "$full" "$WINEPREFIX/dosdevices/t:"
  (cd "$full" && find . -printf '%y %p %s\n' | sort) >"$work/full-before.txt"
  snapshot before-full
  "$wine" 'C:\Downloads\setup.exe' >/dev/null 2>&1 &
  pid=$!
  ui wait "Software license agreement" "" 90000 && ui click "Software license agreement" "Accept >" &&
    ui wait "Choose Destination Location" "" 20000 && ui type "Choose Destination Location" 0 'T:\Kelvo\Vantlex' &&
    ui click "Choose Destination Location" "Next >" && ui click "Select folder in start menu" "Next >" ||
    fail "the wizard could not be gone through to T:"
  e2e_finish "Setup incomplete"
  if ui wait "Installation of Kelvo" "#32770" 30000; then ui click "Installation of Kelvo" "OK" "#32770"; fi
  wait "$pid"; rc=$?
  [ "$rc" = 1 ] || fail "a full disk ended with $rc"
  (cd "$full" && find . -printf '%y %p %s\n' | sort) >"$work/full-after.txt"
  diff "$work/full-before.txt" "$work/full-after.txt" >/dev/null ||
    { fail "the full disk is not as before"; diff "$work/full-before.txt" "$work/full-after.txt" | head | sed 's/^/   /'; }
  snapshot after-full
  same_as before-full after-full "after a full disk"
  "$wine" reg query 'HKLM\SOFTWARE\VOQ\Install' >/dev/null 2>&1 || fail "the record of the failed run is gone"
  "$wine" reg delete 'HKLM\SOFTWARE\VOQ' /f >/dev/null 2>&1
  rm -f "$WINEPREFIX/dosdevices/t:"
else
  echo "   skipped: a size-limited disk needs root to mount"
fi

echo "== killed mid-copy, then started again"
ls "$temp" | grep '^twsetup-' >"$work/dirs-before.txt"
copy_to_40
pkill -9 -f 'twsetup-.*vantlexsetup' || fail "no setup program to kill"
wait "$pid" 2>/dev/null
killed=$(ls "$temp" | grep '^twsetup-' | grep -vxFf "$work/dirs-before.txt")
[ -n "$killed" ] || fail "the killed run left no unpacked directory (was it killed?)"
rm -f "$log"
e2e_install 'C:\Downloads\setup.exe'
[ "$rc" = 0 ] || fail "the run after the killed one ended with $rc"
grep -q 'did not end' <(tr -d '\r' <"$log") || fail "the killed run was not undone"
ls "$temp" | grep -x "${killed:-none}\|tw-journal.*" &&
  { fail "the killed run's directory or journal is left"; tr -d '\r' <"$log" | grep -i 'earlier run' | sed 's/^/   /'; }
find "$c" -name '*.tw~' -o -name '*.tw-old*' | grep . && fail "kept or half-written files are left"
"$wine" reg query "$uninstall_key\\Files" >"$work/files.txt" 2>&1
tr -d '\r' <"$work/files.txt" | awk '$1 ~ /^File[0-9]+$/ { $1 = $2 = ""; print }' | sort >"$work/recorded.txt"
[ -s "$work/recorded.txt" ] || fail "no files record"
sort -u "$work/recorded.txt" | cmp -s - "$work/recorded.txt" || fail "a file is recorded twice: $(uniq -d "$work/recorded.txt" | head -n 3)"
cmp -s "$c/KelvoBuild/install/data/Readme.wri" "$dest/Readme.wri" || fail "Readme.wri is not whole"
user_things_stay "after the killed run"
snapshot installed

echo "== Cancel during an upgrade"
# The installed product made older: every file differs and is dated 2001.
find "$dest" -type f | while read -r f; do printf 'old build\r\n' >>"$f"; touch -d '2001-01-01 01:01:01' "$f"; done
(cd "$dest" && find . -type f -print0 | sort -z | xargs -0 md5sum; find . -type f -printf '%p %T@\n' | sort) >"$work/old.txt"
"$wine" reg export "$uninstall_key" 'C:\entry-before.reg' /y >/dev/null 2>&1
cancel_at_40
[ "$rc" = 2 ] || fail "the cancelled upgrade ended with $rc"
grep -q 'Undone: restored' <(tr -d '\r' <"$log") || fail "no old file was restored"
(cd "$dest" && find . -type f -print0 | sort -z | xargs -0 md5sum; find . -type f -printf '%p %T@\n' | sort) >"$work/old-after.txt"
diff "$work/old.txt" "$work/old-after.txt" >/dev/null ||
  { fail "the old files changed"; diff "$work/old.txt" "$work/old-after.txt" | head | sed 's/^/   /'; }
"$wine" reg export "$uninstall_key" 'C:\entry-after.reg' /y >/dev/null 2>&1
cmp -s "$c/entry-before.reg" "$c/entry-after.reg" || fail "the old uninstall entry changed"
find "$c" -name '*.tw~' -o -name '*.tw-old*' | grep . && fail "kept or half-written files are left"
user_things_stay "after the cancelled upgrade"

e2e_result
