#!/usr/bin/env bash
# The starter project of a folder of 1,500 files in nested folders builds,
# and setup.exe installs every file to its relative path with its bytes; a
# folder of more files than a project can hold is refused with the message.
#   package-many.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
export TW_PACKAGE_NO_BUILD=1
export TW_WINE_DIR="$(cd "$bin/.." && pwd)/wine-e2e-package-many"
"$wine" --kill >/dev/null 2>&1
rm -rf "$TW_WINE_DIR"
payload="$work/payload" project="$work/many.txt" out="$work/dist"
# 1,500 files: ten folders of five subfolders of thirty files, each of its
# own size and content.
python3 - "$payload" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(1500)
for a in range(10):
    for b in range(5):
        d = os.path.join(root, "part%02d" % a, "section %d" % b)
        os.makedirs(d)
        for c in range(30):
            with open(os.path.join(d, "item%02d.dat" % c), "wb") as f:
                f.write(bytes(rng.getrandbits(8) for _ in range(rng.randint(0, 6000))))
PY

t0=$(date +%s.%N)
"$top/scripts/package" new "$payload" "$project" --name "Many Files" >"$work/new.txt" 2>&1 ||
  fail "the generator failed: $(cat "$work/new.txt")"
t1=$(date +%s.%N)
"$top/scripts/package" "$project" "$out" >"$work/build.txt" 2>&1 || fail "the build failed: $(cat "$work/build.txt")"
t2=$(date +%s.%N)
sed 's/^/   /' "$work/new.txt" "$work/build.txt"
echo "   project written in $(echo "$t1 - $t0" | bc) s; project to setup.exe in $(echo "$t2 - $t1" | bc) s;" \
  "setup.exe $(stat -c %s "$out/setup.exe") bytes"
grep -q "compressed 1501 of 1501 files" "$work/build.txt" || fail "not every file (and the uninstaller) was compressed"

e2e_start_setup "$out/setup.exe" winxp
# No licence in the folder: the wizard starts with the destination.
if ui click "Choose Destination Location" "Next >" "" 90000 && ui click "Select folder in start menu" "Next >" "" 30000; then
  e2e_finish "Setup complete"
else
  fail "the wizard could not be gone through"; ui list; sed 's/^/   window: /' "$work/ui.txt"
  "$wine" --kill >/dev/null 2>&1
fi
wait "$pid" || fail "the installation ended with $?: $(cat "$work/setup.txt")"
dest="$c/Program Files/Many Files"
diff -r --exclude=Uninstall "$payload" "$dest" >"$work/diff.txt" 2>&1 ||
  fail "the installed files differ from the folder: $(head -n 5 "$work/diff.txt")"
[ "$(find "$dest" -type f -not -path '*/Uninstall/*' | wc -l)" = 1500 ] || fail "not 1,500 files installed"

# Five hundred files more: one more than fits.
for i in $(seq 500); do printf '%d' "$i" >"$payload/extra$i.txt"; done
rc=0
"$top/scripts/package" new "$payload" "$work/toomany.txt" >"$work/toomany-out.txt" 2>&1 || rc=$?
[ "$rc" = 1 ] || fail "a folder of 2,000 files was not refused (exit code $rc)"
grep -q "holds 2000 files; a project holds at most 1999 (the identifier table has 2000 slots and the uninstaller takes one)" \
  "$work/toomany-out.txt" || fail "the message: $(cat "$work/toomany-out.txt")"
[ -e "$work/toomany.txt" ] && fail "a project was written all the same"
e2e_result
