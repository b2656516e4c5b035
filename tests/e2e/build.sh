#!/usr/bin/env bash
# Building the distribution as a developer would: the build tree, BUILD.INF
# and the engine's registry values staged in a prefix of its own, then
# "vantlexsetup.exe -b". Checks the self-extracting setup.exe (loader size,
# offsets, record, checksum trailer), the members of setup.1 and files.1, the
# messages of a missing BUILD.INF and a missing loader, and the built
# setup.exe at the user's site: the loading program starts the setup program
# with -e, -s and -c, and refuses a copy with one flipped byte.
#   build.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1 art=$3
source "$(dirname "$0")/lib.sh"
mkdir -p "$art"
e2e_prefix build
export TARNWICK_LOG='C:\build-e2e.log'
# Runs a program that is expected to show one message box; saves its texts
# in $work/box.txt, clicks OK, and leaves the program's exit code in $rc.
box_run() { # title program args...
  local title=$1; shift
  "$wine" "$@" >"$work/prog.txt" 2>&1 &
  local pid=$!
  if ui wait "$title" "#32770" 60000; then
    ui texts "$title" "#32770"; tr -d '\r' <"$work/ui.txt" >"$work/box.txt"
    ui click "$title" "OK" "#32770"
  else
    fail "no box titled $title"; : >"$work/box.txt"
  fi
  wait "$pid"; rc=$?
}

echo "== build"
rm -f "$c/build-e2e.log"
"$wine" "$setup" -b >"$work/b.txt" 2>&1
rc=$?
[ "$rc" = 0 ] || fail "build exit code $rc"
tr -d '\r' <"$c/build-e2e.log"
for f in setup.exe setup.1 files.1; do [ -f "$dist/$f" ] || fail "$f not built"; done

echo "== the same bytes from a build on one thread"
mkdir -p "$work/threads"
cp "$dist/setup.exe" "$dist/setup.1" "$dist/files.1" "$work/threads/"
TARNWICK_THREADS=1 "$wine" "$setup" -b >"$work/b1.txt" 2>&1 || fail "one-thread build exit code $?"
for f in setup.exe setup.1 files.1; do
  cmp -s "$work/threads/$f" "$dist/$f" || fail "$f differs from the build on one thread"
done

"$distinfo" record "$dist/setup.exe" >"$work/record.txt" || fail "checksum trailer does not match"
cat "$work/record.txt"
loader_size=$(stat -c %s "$bin/TarnwickLoadProgram.exe")
read -r _ s1 s2 < <(grep '^setup' "$work/record.txt")
read -r _ f1 f2 < <(grep '^files' "$work/record.txt")
grep -q '^marker	SELFEXTRACTING$' "$work/record.txt" || fail "record marker"
[ "$s1" = "$loader_size" ] || fail "offset 16 is $s1, the loader has $loader_size bytes"
[ $((s2 + 1)) = "$f1" ] || fail "offset 20 + 1 ($((s2 + 1))) is not offset 24 ($f1)"
size=$(stat -c %s "$dist/setup.exe")
[ $((f2 + 1 + 96)) = "$size" ] || fail "the record does not follow files.1 (end $f2, size $size)"
sealed_loader "$work/loader.exe"
cmp -s -n "$loader_size" "$work/loader.exe" "$dist/setup.exe" || fail "setup.exe does not start with the loader"
cmp -s -i "$s1:0" -n "$(stat -c %s "$dist/setup.1")" "$dist/setup.exe" "$dist/setup.1" || fail "setup.1 is not embedded whole"
cmp -s -i "$f1:0" -n "$(stat -c %s "$dist/files.1")" "$dist/setup.exe" "$dist/files.1" || fail "files.1 is not embedded whole"

"$distinfo" list "$dist/files.1" >"$work/files.txt" || fail "files.1 unreadable"
cat "$work/files.txt"
check_member() { # id dir name [version]
  local line; line=$(awk -F'\t' -v id="$1" '$1 == id' "$work/files.txt")
  local path="$c/KelvoBuild/$2/$3"
  [ -n "$line" ] || { fail "member $1 ($3) missing"; return; }
  [ "$(cut -f5 <<<"$line")" = "C:\\KelvoBuild\\${2//\//\\}\\$3" ] || fail "member $1 is $(cut -f5 <<<"$line")"
  [ "$(cut -f2 <<<"$line")" = "$(stat -c %s "$path")" ] || fail "size of $3"
  [ "$(cut -f3 <<<"$line" | cut -c1-16)" = "$(date -r "$path" '+%Y-%m-%d %H:%M')" ] || fail "date of $3"
  [ "$(cut -f4 <<<"$line")" = "${4:-}" ] || fail "version of $3: $(cut -f4 <<<"$line")"
}
check_member 0 install/data uninstall.exe
check_member 1 bin VORERURO.NLM
check_member 2 bin voreruro.exe 6.0.2006.1
check_member 3 bin Voreruro.312
check_member 4 install/data Readme.wri
check_member 5 bin VORERURO.HLP
check_member 6 bin voreruro.GID
check_member 7 bin voreruro.cnt
check_member 8 install/data ShFolder.Exe 5.50.4027.300
[ "$(wc -l <"$work/files.txt")" = 9 ] || fail "files.1 holds $(wc -l <"$work/files.txt") members, not 9"
"$distinfo" list "$dist/setup.1" >"$work/setup1.txt" || fail "setup.1 unreadable"
grep -q 'vantlexsetup.exe$' "$work/setup1.txt" || fail "setup.1 lacks the setup program"
grep -q 'LICENSE.rtf$' "$work/setup1.txt" || fail "setup.1 lacks the licence"

echo "== the built setup.exe at the user's site"
mkdir -p "$c/UserSite"
cp "$dist/setup.exe" "$c/UserSite/setup.exe"
rm -f "$c/build-e2e.log"
box_run "Installation of Kelvo" 'C:\UserSite\setup.exe'
grep -q "Novell Client" "$work/box.txt" || fail "the setup program did not show its warning"
[ "$rc" = 1 ] || fail "setup.exe exit code $rc after the warning"
cmdline=$(tr -d '\r' <"$c/build-e2e.log" | grep '^Command line:')
echo "$cmdline"
grep -qF '"-esetup.exe" "-sC:\UserSite" -c' <<<"$cmdline" || fail "the loading program passed other switches"
# Nothing was installed, and the unpacked directory goes all the same.
for _ in $(seq 40); do ls "$c/users/"*/Temp | grep -q '^twsetup-' || break; sleep 0.25; done
ls "$c/users/"*/Temp | grep -q '^twsetup-' && fail "the unpacked directory is left after the warning"

echo "== a damaged setup.exe"
cp "$dist/setup.exe" "$c/UserSite/damaged.exe"
python3 - "$c/UserSite/damaged.exe" <<'PY'
import sys
p = sys.argv[1]; d = bytearray(open(p, 'rb').read()); d[len(d) // 2] ^= 0x20; open(p, 'wb').write(d)
PY
before=$(ls "$c/users/"*/Temp 2>/dev/null | grep -c twsetup || true)
box_run "Setup" 'C:\UserSite\damaged.exe'
cat "$work/box.txt"
[ "$rc" = 6 ] || fail "damaged setup.exe exit code $rc"
after=$(ls "$c/users/"*/Temp 2>/dev/null | grep -c twsetup || true)
[ "$before" = "$after" ] || fail "a damaged setup.exe unpacked something"

echo "== missing BUILD.INF and a missing loader"
mv "$c/KelvoBuild/setup/BUILD.INF" "$work/BUILD.INF"
box_run "Installation of Kelvo" "$setup" -b
grep -qF "Need to have a BUILD.INF file in this directory with the first line specifying the build directory" \
  "$work/box.txt" || fail "missing BUILD.INF message: $(cat "$work/box.txt")"
[ "$rc" = 1 ] || fail "exit code $rc without BUILD.INF"
cp "$work/BUILD.INF" "$c/KelvoBuild/setup/BUILD.INF"
mv "$c/Tarnwick/Lib/TarnwickLoadProgram.exe" "$work/"
box_run "Installation of Kelvo" "$setup" -b
grep -qF 'The loader program C:\Tarnwick\Lib\TarnwickLoadProgram.exe was not found' "$work/box.txt" ||
  fail "missing loader message: $(cat "$work/box.txt")"
[ "$rc" = 1 ] || fail "exit code $rc without the loader"
mv "$work/TarnwickLoadProgram.exe" "$c/Tarnwick/Lib/"

e2e_result
