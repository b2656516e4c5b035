#!/usr/bin/env bash
# The wizard of setup.exe driven as a person would, with a screenshot of
# every page: the licence (Accept, no Back, the close box and Alt+F4 do
# nothing), the destination (Back and Next keep what was typed, Browse
# creates a missing directory for the dialog and removes it again), the
# Start-menu folder (the existing folders, sorted, the product's folder
# first); the typed directory and folder are where the files and shortcuts
# land; Escape asks, Enter goes on. Then Cancel asks first, and Yes ends the run as a user
# abort; a missing License.rtf ends the run as a failure.
#   wizard.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1 art=$3
source "$(dirname "$0")/lib.sh"
e2e_prefix wizard
e2e_user_site winxp
mkdir -p "$art"
export TARNWICK_LOG='C:\wizard-e2e.log'
log="$c/wizard-e2e.log"
programs=$(find "$c/users" -type d -path '*/Start Menu/Programs' | head -n 1)
mkdir -p "$programs/Zeta Tools" "$programs/alpha tools"
lic="Software license agreement" dst="Choose Destination Location" fld="Select folder in start menu"
shot() { "$top/scripts/screenshot" "$art/$1" || fail "no screenshot $1"; }
texts() { ui texts "$1"; tr -d '\r' <"$work/ui.txt" >"$work/texts.txt"; }
has() { grep -qF -- "$1" "$work/texts.txt" || fail "$2: no \"$1\" in: $(tr '\n' '|' <"$work/texts.txt")"; }
hasnt() { grep -qF -- "$1" "$work/texts.txt" && fail "$2: \"$1\" is shown"; }
reg_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }

echo "== through the wizard"
"$wine" 'C:\Downloads\setup.exe' >"$work/setup.txt" 2>&1 &
pid=$!
ui wait "$lic" "" 90000 || { fail "no licence page"; "$wine" --kill; exit 1; }
texts "$lic"; shot wizard-licence.png
has "Please read the following License Agreement." licence
has "By clicking on the Next button below, you agree to all terms stated in the License Agreement." licence
has "END-USER LICENCE AGREEMENT" licence
has "Accept >" licence; has "Cancel" licence; has "2006" licence
hasnt "< Previous" licence
# Escape asks as Cancel does; No stays. Alt+F4 and the close request do nothing.
ui keys "$lic" ESC
if ui wait "Installation of Kelvo" "#32770" 20000; then
  ui click "Installation of Kelvo" "No" "#32770"; ui gone "Installation of Kelvo" "#32770" 20000
else fail "Escape did not ask"; fi
ui keys "$lic" ALT+F4
ui close "$lic"
ui gone "$lic" "" 1500 && fail "the wizard closed"
ui click "$lic" "Accept >" || fail "Accept not clicked"

ui wait "$dst" "" 20000 || fail "no destination page"
texts "$dst"; shot wizard-destination.png
for t in "Which directory do you want to install this program into?" \
  "To install to the directory displayed below, click Next." \
  "To install to a different directory, click Browse and select another directory." \
  "Destination Directory" "&Browse" "< Back" "Next >" "C:\\Program Files\\Kelvo\\Vantlex 2006"; do has "$t" destination; done
ui type "$dst" 0 'C:\Kelvo Test\Vantlex'
ui click "$dst" "< Back"; ui wait "$lic" "" 20000 || fail "Back did not show the licence"
ui click "$lic" "Accept >"; ui wait "$dst" "" 20000
texts "$dst"; has 'C:\Kelvo Test\Vantlex' "destination after Back"

echo "== Browse"
ui click "$dst" "Browse"
if ui wait "*" "#32770" 20000; then
  [ -d "$c/Kelvo Test/Vantlex" ] || fail "the missing destination was not created for the dialog"
  shot wizard-browse.png
  ui click "*" "Cancel" "#32770"; ui gone "*" "#32770" 20000
else fail "no folder dialog"; fi
for _ in $(seq 50); do [ -d "$c/Kelvo Test/Vantlex" ] || break; sleep 0.1; done
[ -d "$c/Kelvo Test/Vantlex" ] && fail "the directory made for the dialog was left"
mkdir -p "$c/Program Files/Kelvo/Existing"
ui type "$dst" 0 'C:\Program Files\Kelvo\Existing'
ui click "$dst" "Browse"
ui wait "*" "#32770" 20000 && { ui click "*" "Cancel" "#32770"; ui gone "*" "#32770" 20000; }
[ -d "$c/Program Files/Kelvo/Existing" ] || fail "an existing destination was removed"
ui type "$dst" 0 'C:\Kelvo Test\Vantlex'
ui click "$dst" "Next >"

ui wait "$fld" "" 20000 || fail "no folder page"
texts "$fld"; shot wizard-folder.png
has "Setup will add program icons to the Program Folder listed below." folder
has "&Program Folder" folder; has "E&xisting Folders" folder
has "Kelvo Vantlex  Console 2006" folder
expected=$(ls -1 "$programs" | while read -r d; do [ -d "$programs/$d" ] && echo "$d"; done | LC_ALL=C sort -f)
listed=$(sed -n 's/^item\t//p' "$work/texts.txt")
[ "$listed" = "$expected" ] || fail "the folder list is $(echo $listed) instead of $(echo $expected)"
ui type "$fld" 0 'My Kelvo Tools'
ui keys "$fld" ENTER  # the default button
# "Setup complete": Finish is shown and has the focus, so Enter ends the program.
if ui wait "Setup complete" "" 180000; then
  texts "Setup complete"; shot result-good.png
  has "The software has been properly installed. You may start the software by clicking on the icon." good
  has "Finish" good; hasnt "Next >" good; hasnt "< Back" good
  ui keys "Setup complete" ENTER
else fail "no \"Setup complete\" page"; "$wine" --kill; fi
wait "$pid"; rc=$?
[ "$rc" = 0 ] || fail "the installation ended with $rc"
[ -f "$c/Kelvo Test/Vantlex/voreruro.exe" ] || fail "the files are not in the typed directory"
[ -e "$c/Program Files/Kelvo/Vantlex 2006/voreruro.exe" ] && fail "files went to the default directory"
[ "$(find "$programs/My Kelvo Tools" -iname '*.lnk' | wc -l)" = 4 ] || fail "not four shortcuts in the typed folder"
"$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo Vantlex Console for NetWare 2006' /s >"$work/uninst.txt" 2>&1
grep -q 'My Kelvo Tools' "$work/uninst.txt" || fail "the uninstall records do not name the typed folder"

echo "== Cancel asks first"
rm -rf "$c/Kelvo Test"
"$wine" 'C:\Downloads\setup.exe' >"$work/setup.txt" 2>&1 &
pid=$!
ui wait "$lic" "" 90000
ui click "$lic" "Cancel"
if ui wait "Installation of Kelvo" "#32770" 20000; then
  shot wizard-cancel-question.png
  ui click "Installation of Kelvo" "No" "#32770"; ui gone "Installation of Kelvo" "#32770" 20000
else fail "Cancel did not ask"; fi
ui click "$lic" "Accept >"; ui wait "$dst" "" 20000
ui type "$dst" 0 'C:\Kelvo Test\Cancelled'
ui click "$dst" "Cancel"
ui wait "Installation of Kelvo" "#32770" 20000 && ui click "Installation of Kelvo" "Yes" "#32770"
if ui wait "Setup incomplete" "" 60000; then
  texts "Setup incomplete"; shot result-bad.png
  has "This software has not been properly installed and will not work correctly if you try to use it." bad
  ui click "Setup incomplete" "Finish"
else fail "no \"Setup incomplete\" page after Cancel"; "$wine" --kill; fi
wait "$pid"; rc=$?
[ "$rc" = 2 ] || fail "a cancelled wizard ended with $rc"
[ -e "$c/Kelvo Test/Cancelled" ] && fail "something was installed after Cancel"
reg_exists 'HKLM\SOFTWARE\VOQ\Install' && fail "the record is left after Cancel"

echo "== without License.rtf"
rm -f "$log"
"$wine" "$setup" '-sC:\KelvoBuild\dist' >"$work/setup.txt" 2>&1 &
pid=$!
ui wait "Setup incomplete" "" 60000 && ui click "Setup incomplete" "Finish" || fail "no \"Setup incomplete\" before the message"
if ui wait "Installation of Kelvo" "#32770" 60000; then
  ui texts "Installation of Kelvo" "#32770"; grep -qi 'License.rtf' "$work/ui.txt" || fail "the message does not name License.rtf: $(tr '\r\n' '  ' <"$work/ui.txt")"
  ui click "Installation of Kelvo" "OK" "#32770"
else fail "no message for the missing licence"; fi
wait "$pid"; rc=$?
[ "$rc" = 1 ] || fail "a missing licence ended with $rc"
reg_exists 'HKLM\SOFTWARE\VOQ\Install' || fail "the record of the failed run is gone"

echo "screenshots in $art: wizard-licence.png wizard-destination.png wizard-browse.png wizard-folder.png wizard-cancel-question.png result-good.png result-bad.png"
e2e_result
