#!/usr/bin/env bash
# The uninstaller as a person uses it, after an installation from setup.exe
# on a Windows XP prefix: the uninstall entry's command started as the
# control panel starts it, its question answered with Yes. While the console
# runs, its program file cannot go: it is left for the restart (exit code
# 3010), the entry stays with only what remains, and a message lists it. Once the console is closed a second run removes
# every recorded file, shortcut and emptied folder, the help values, the
# ActiveX registrations, the entry and at last the uninstaller and its
# folder; a file the user made in the installation folder stays with its
# folder, and a shared ActiveX server that another product also counts
# stays registered, its count lowered.
#   uninstall.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1 art=$3
source "$(dirname "$0")/lib.sh"
e2e_prefix uninstall
e2e_user_site winxp
mkdir -p "$art"
product='Kelvo Vantlex Console for NetWare 2006'
ukey="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
shared_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs'
help_key='HKLM\SOFTWARE\Microsoft\Windows\Help'
com_key='HKCU\Software\TarnwickTests\ComServer'
dest="$c/Program Files/Kelvo/Vantlex 2006"
wdest='C:\Program Files\Kelvo\Vantlex 2006'

reg_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }
reg_value() { # key name: the value's data, empty when missing
  "$wine" reg query "$1" /v "$2" >"$work/reg.txt" 2>&1 || return 0
  tr -d '\r' <"$work/reg.txt" | sed -n 's/^ *.*    REG_[A-Z_]*    //p' | head -n 1
}
has() { grep -qF -- "$1" "$work/texts.txt" || fail "$2: no \"$1\" in: $(tr '\n' '|' <"$work/texts.txt")"; }
# Waits for the box "Uninstall" whose texts match the extended pattern; leaves them in $work/texts.txt.
box_with() {
  for _ in $(seq 240); do
    ui texts "Uninstall" "#32770" && tr -d '\r' <"$work/ui.txt" >"$work/texts.txt" &&
      grep -qE -- "$1" "$work/texts.txt" && return 0
    sleep 0.25
  done
  return 1
}
gone_within() { # path: waits up to 20 s for it to disappear
  for _ in $(seq 80); do [ -e "$1" ] || return 0; sleep 0.25; done
  return 1
}

echo "== install"
e2e_install 'C:\Downloads\setup.exe'
[ "$rc" = 0 ] || { fail "the installation ended with $rc"; e2e_result; }
uninstall_string=$(reg_value "$ukey" UninstallString)
[ "$uninstall_string" = "$wdest\\Uninstall\\uninstall.exe $product" ] ||
  fail "UninstallString: \"$uninstall_string\""
[ "$(reg_value "$help_key" VORERURO.HLP)" = "$wdest" ] || fail "no help value for VORERURO.HLP after the installation"
[ "$(reg_value "$help_key" VORERURO.CNT)" = "$wdest" ] || fail "no help value for VORERURO.CNT after the installation"
menu=$(find "$c/users" -type d -name 'Kelvo Vantlex  Console 2006' | head -n 1)
[ -n "$menu" ] || fail "no Start-menu folder after the installation"
recorded=$(reg_value "$ukey\\Files" Entries)
[ -n "$recorded" ] && [ "$recorded" -gt 8 ] || fail "only \"$recorded\" files recorded"

# The Kelvo project carries no ActiveX server and no shared library. What the
# setup program records for such files is added: the product's own server
# (counted once), and a server in a common folder that another product has
# installed and counted too.
own="$wdest\\kvctl.dll" shared='C:\Program Files\Common Files\Kelvo Shared\kvshared.dll'
cp "$bin/comserver.dll" "$dest/kvctl.dll"
mkdir -p "$c/Program Files/Common Files/Kelvo Shared"
cp "$bin/comserver.dll" "$c/Program Files/Common Files/Kelvo Shared/kvshared.dll"
for f in "$own" "$shared"; do
  ui run "rundll32.exe \"$f\",DllRegisterServer"
  [ "$(reg_value "$com_key" "$f")" = 0x1 ] || fail "$f was not registered"
done
"$wine" reg add "$ukey\\ActiveX" /v Entries /d 2 /f >/dev/null
"$wine" reg add "$ukey\\ActiveX" /v File1 /d "$own;0" /f >/dev/null
"$wine" reg add "$ukey\\ActiveX" /v File2 /d "$shared;0" /f >/dev/null
"$wine" reg add "$shared_key" /v "$own" /t REG_DWORD /d 1 /f >/dev/null
"$wine" reg add "$shared_key" /v "$shared" /t REG_DWORD /d 2 /f >/dev/null
other='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo Shared Components'
"$wine" reg add "$other\\ActiveX" /v Entries /d 1 /f >/dev/null
"$wine" reg add "$other\\ActiveX" /v File1 /d "$shared;0" /f >/dev/null
# The user's own file in the installation folder.
printf 'my notes\r\n' >"$dest/My notes.txt"

# Runs the uninstall entry's command and answers its question with Yes;
# leaves the texts of the closing message in $work/result.txt; rc is the exit code.
uninstall() { # screenshot-name
  TW_WINE_NO_RESTART_WAIT=1 "$wine" "$bin/uidriver.exe" run "$(reg_value "$ukey" UninstallString)" \
    >"$work/uninstall.txt" 2>&1 &
  local pid=$!
  if box_with "Are you sure"; then
    has "Are you sure you want to remove $product and all of its components?" question
    has "Yes" question; has "No" question
    [ -z "$1" ] || "$top/scripts/screenshot" "$art/$1" || fail "no screenshot $1"
    ui click "Uninstall" "Yes" "#32770" || fail "Yes not clicked"
    if box_with "from your computer|not removed completely"; then
      cp "$work/texts.txt" "$work/result.txt"
      sed 's/^/   box: /' "$work/result.txt"
      [ -z "$1" ] || "$top/scripts/screenshot" "$art/${1%.png}-result.png" || fail "no screenshot"
      ui click "Uninstall" "OK" "#32770" || fail "OK not clicked"
    else
      fail "no closing message"; : >"$work/result.txt"
    fi
  else
    fail "no question"; ui list; sed 's/^/   window: /' "$work/ui.txt"
    "$wine" --kill >/dev/null 2>&1
  fi
  wait "$pid"; rc=$?
}

echo "== uninstall while the console runs"
"$wine" "$wdest\\voreruro.exe" >/dev/null 2>&1 &
console=$!
ui wait "Vantlex Server Console" "" 60000 || fail "the console did not start"
uninstall uninstall-question.png
# 3010; Wine hands only its low 8 bits to Linux.
[ "$rc" = $((3010 & 255)) ] || fail "a partial uninstall ended with $rc"
cp "$work/result.txt" "$work/texts.txt"
has "$product was not removed completely" "partial"
has "$wdest\\voreruro.exe" "partial"
has "will be removed when Windows restarts" "partial"
has "close the programs that use them" "partial"
grep -q 'NLM\|uninstall.exe' "$work/result.txt" && fail "files that went or stay on purpose are listed as left"
[ -f "$dest/voreruro.exe" ] || fail "the running console was removed"
[ -e "$dest/VORERURO.NLM" ] && fail "VORERURO.NLM was not removed"
[ -e "$menu" ] && fail "the Start-menu folder was not removed"
[ -f "$dest/Uninstall/uninstall.exe" ] || fail "the uninstaller went although the entry stays"
reg_exists "$ukey" || fail "the uninstall entry went although a file is left"
[ "$(reg_value "$ukey" UninstallString)" = "$uninstall_string" ] || fail "the entry lost its command"
[ "$(reg_value "$ukey\\Files" Entries)" = 1 ] || fail "Entries after a partial run: $(reg_value "$ukey\\Files" Entries)"
[ "$(reg_value "$ukey\\Files" File1)" = "$wdest\\voreruro.exe" ] || fail "record left: $(reg_value "$ukey\\Files" File1)"
reg_exists "$ukey\\ActiveX" && fail "the removed servers are still recorded"

echo "== uninstall again once the console is closed"
ui close "Vantlex Server Console"
ui gone "Vantlex Server Console" "" 20000 || fail "the console did not close"
wait "$console"
uninstall ""
[ "$rc" = 0 ] || fail "the second uninstall ended with $rc"
cp "$work/result.txt" "$work/texts.txt"
has "$product was removed from your computer." "complete"

for f in VORERURO.NLM voreruro.exe Voreruro.312 VORERURO.HLP voreruro.GID voreruro.cnt Readme.wri kvctl.dll; do
  [ -e "$dest/$f" ] && fail "$f was not removed"
done
[ -e "$menu" ] && fail "the Start-menu folder is left"
[ "$(find "$c/users" -iname '*.lnk' -path '*Kelvo*' | wc -l)" = 0 ] || fail "shortcuts are left"
for v in VORERURO.HLP VORERURO.CNT; do [ -z "$(reg_value "$help_key" $v)" ] || fail "help value $v is left"; done
[ -z "$(reg_value "$com_key" "$own")" ] || fail "the product's ActiveX server is still registered"
[ -z "$(reg_value "$shared_key" "$own")" ] || fail "the product's server is still counted"
reg_exists "$ukey" && fail "the uninstall entry is left"
gone_within "$dest/Uninstall" || fail "the uninstaller's folder is left after it ended"
[ -f "$dest/My notes.txt" ] || fail "the user's own file was removed"
[ -f "$c/Program Files/Common Files/Kelvo Shared/kvshared.dll" ] || fail "the shared server was removed"
[ "$(reg_value "$shared_key" "$shared")" = 0x1 ] || fail "shared count: \"$(reg_value "$shared_key" "$shared")\" instead of 0x1"
[ "$(reg_value "$com_key" "$shared")" = 0x1 ] || fail "the shared server lost its registration"
[ "$(reg_value "$other\\ActiveX" File1)" = "$shared;0" ] || fail "the other product's record changed"
echo "screenshots in $art: uninstall-question.png uninstall-question-result.png"

e2e_result
