#!/usr/bin/env bash
# The copy as a person sees it, with a payload large enough that copying
# takes seconds (the read-me of the build tree grown to about 130 MB): the
# progress window names the file and both bars move, never back, up to 100,
# and the run ends on "Setup complete". Cancel while copying asks: No goes on
# to a good end; Yes stops the copy at its next block and ends the run as a
# user abort, with no half-written file, and a file that was in the
# destination before is unchanged.
#   copy.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1 art=$3
source "$(dirname "$0")/lib.sh"
e2e_prefix copy
mkdir -p "$art"
readme="$c/KelvoBuild/install/data/Readme.wri"
e2e_large_readme
e2e_user_site winxp
export TARNWICK_LOG='C:\copy-e2e.log'
log="$c/copy-e2e.log"
dest="$c/Program Files/Kelvo/Vantlex 2006"
copying="Copying installation files"
reg_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }
shot() { "$top/scripts/screenshot" "$art/$1" || fail "no screenshot $1"; }

# Starts setup.exe through the wizard, presses Cancel while it copies and
# answers the question; pid is the program's.
cancel_copy() { # answer [screenshot]
  "$wine" 'C:\Downloads\setup.exe' >"$work/setup.txt" 2>&1 &
  pid=$!
  e2e_wizard
  ui click "$copying" "Cancel" "" 60000 || fail "no Cancel while copying"
  if ui wait "Installation of Kelvo" "#32770" 20000; then
    [ -z "${2:-}" ] || shot "$2"
    ui click "Installation of Kelvo" "$1" "#32770"
  else fail "Cancel did not ask"; fi
}

echo "== progress"
"$wine" 'C:\Downloads\setup.exe' >"$work/setup.txt" 2>&1 &
pid=$!
e2e_wizard
TW_WINE_NO_RESTART_WAIT=1 "$wine" "$bin/uidriver.exe" progress "$copying" 60000 >"$work/progress.txt" 2>&1 &
sampler=$!
ui wait "$copying" "" 60000 && shot copy-progress.png
e2e_finish "Setup complete"
wait "$pid"; rc=$?
wait "$sampler"
tr -d '\r' <"$work/progress.txt" >"$work/p.txt"
echo "   $(wc -l <"$work/p.txt") distinct samples, last: $(tail -n 1 "$work/p.txt")"
[ "$rc" = 0 ] || fail "the run ended with $rc"
awk '{ print $1 }' "$work/p.txt" | sort -un | wc -l | { read -r n; [ "$n" -ge 3 ] || fail "the file bar took only $n values"; }
awk '{ print $2 }' "$work/p.txt" | sort -un | wc -l | { read -r n; [ "$n" -ge 3 ] || fail "the total bar took only $n values"; }
awk 'BEGIN { prev = -1 } { if ($2 < prev) bad = 1; if ($2 > 100) bad = 1; prev = $2 } END { exit bad }' "$work/p.txt" ||
  fail "the total bar went back or past 100"
[ "$(tail -n 1 "$work/p.txt" | awk '{ print $2 }')" = 100 ] || fail "the total bar did not reach 100"
grep -q 'Readme.wri' "$work/p.txt" || fail "the progress window never named Readme.wri"
cmp -s "$readme" "$dest/Readme.wri" || fail "Readme.wri was not installed whole"

echo "== Cancel, then No: the copy goes on"
rm -rf "$dest"
cancel_copy No
e2e_finish "Setup complete"
wait "$pid"; rc=$?
[ "$rc" = 0 ] || fail "after No the run ended with $rc"
cmp -s "$readme" "$dest/Readme.wri" || fail "after No Readme.wri is not whole"

echo "== Cancel, then Yes: the copy stops"
rm -rf "$dest"
mkdir -p "$dest"
printf 'the read-me the user had before\r\n' >"$dest/Readme.wri"
cp "$dest/Readme.wri" "$work/before.wri"
cancel_copy Yes copy-cancel-question.png
e2e_finish "Setup incomplete"
wait "$pid"; rc=$?
[ "$rc" = 2 ] || fail "a cancelled copy ended with $rc"
cmp -s "$work/before.wri" "$dest/Readme.wri" || fail "the read-me that was there before changed"
for f in "$dest"/*; do
  [ -f "$f" ] || continue
  src=$(find "$c/KelvoBuild/bin" "$c/KelvoBuild/install/data" -maxdepth 1 -iname "$(basename "$f")" | head -n 1)
  [ "$(basename "$f")" = Readme.wri ] && continue
  [ -n "$src" ] && ! cmp -s "$src" "$f" && fail "$(basename "$f") is half written"
done
reg_exists 'HKLM\SOFTWARE\VOQ\Install' && fail "the record is left after the cancelled copy"

echo "screenshots in $art: copy-progress.png copy-cancel-question.png"
e2e_result
