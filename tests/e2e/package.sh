#!/usr/bin/env bash
# Packaging a program that is not Kelvo's, from a folder, on Linux: the
# example "Hello" (its program built by the project, a readme and a plain-text
# licence). scripts/package writes its starter project and builds setup.exe
# twice (the same bytes); projects with a fault are refused with their line
# and leave the output directory as it was. Then, on each Windows version
# given, setup.exe shows the example's own name, licence and pictures,
# installs every file, its shortcuts and its uninstall entry, and the
# uninstaller removes all of it. Screenshots: package-<version>-*.png.
#   package.sh BIN_DIR E2E_DIR ARTEFACT_DIR VERSION...
set -uo pipefail
bin=$1 art=$3
shift 3
source "$(dirname "$0")/lib.sh"
mkdir -p "$art"
export TW_PACKAGE_NO_BUILD=1
app_src="$bin/../examples/hello/app"
pictures="$top/examples/hello/pictures"
name='Hello 1.0'
export TW_WINE_DIR="$(cd "$bin/.." && pwd)/wine-e2e-package"
"$wine" --kill >/dev/null 2>&1
rm -rf "$TW_WINE_DIR"

echo "== the starter project"
mkdir -p "$work/hello"
cp -a "$app_src" "$work/hello/app"
project="$work/hello/hello.txt" out="$work/hello/dist"
"$top/scripts/package" new "$work/hello/app" "$project" --name "$name" --logo "$pictures/logo.png" \
  --side "$pictures/side.png" >"$work/new.txt" 2>&1 || fail "the generator failed: $(cat "$work/new.txt")"
sed 's/^/   /' "$work/new.txt"
grep -q "Caption = 'Hello 1.0'" "$project" || fail "the project does not carry the name"
grep -q "PresetupFiles.Strings" "$project" || fail "the project has no licence page"
grep -q 'Hello 1.0 - licence agreement' "$work/hello/License.rtf" || fail "the licence was not turned into License.rtf"
for f in hello.exe README.txt LICENSE.txt; do
  grep -q "FileName = '$f'" "$project" || fail "$f is not in the project"
done
grep -q "LinkName = 'hello.lnk'" "$project" || fail "no shortcut to the program"

echo "== the build, twice"
t0=$(date +%s.%N)
"$top/scripts/package" "$project" "$out" >"$work/build.txt" 2>&1 || fail "the build failed: $(cat "$work/build.txt")"
echo "   project to setup.exe: $(echo "$(date +%s.%N) - $t0" | bc) s, setup.exe $(stat -c %s "$out/setup.exe") bytes"
sed 's/^/   /' "$work/build.txt"
grep -q "compressed 4 of 4 files" "$work/build.txt" || fail "no progress of the four files"
cp "$out/setup.exe" "$work/first-setup.exe"
"$top/scripts/package" "$project" "$out" >"$work/build2.txt" 2>&1 || fail "the second build failed"
cmp -s "$out/setup.exe" "$work/first-setup.exe" || fail "two builds of one project differ"
"$distinfo" record "$out/setup.exe" >"$work/record.txt" 2>&1 || fail "the checksum trailer is wrong: $(cat "$work/record.txt")"
[ -e "$out/.tarnwick-build" ] && fail "the build's staging directory stayed"

echo "== projects with a fault"
snapshot() { (cd "$out" && ls -la --time-style=full-iso . | grep -v ' \.\.$' && sha256sum ./*) 2>&1; }
snapshot >"$work/before.txt"
good=$(cat "$project")
line_of() { grep -n -m1 -F -- "$1" "$project" | cut -d: -f1; }
# name | what is changed (sed on the good project) | the line's text afterwards | message
while IFS='|' read -r case edit marker message; do
  printf '%s\n' "$good" >"$project"
  sed -i "$edit" "$project"
  line=$(line_of "$marker")
  expect=${message//@LINE@/$line}
  rc=0
  "$top/scripts/package" "$project" "$out" >"$work/bad.txt" 2>&1 || rc=$?
  got=$(tr -d '\r' <"$work/bad.txt" | grep -v '^package:' | head -n 1)
  [ "$rc" = 1 ] || fail "$case: exit code $rc"
  [[ "$got" == $expect ]] || fail "$case: \"$got\" is not \"$expect\""
  snapshot >"$work/after.txt"
  cmp -s "$work/before.txt" "$work/after.txt" || fail "$case: the output directory changed"
  echo "   $case: $got"
done <<'EOF'
syntax|s/^  Caption = 'Hello 1.0'$/  Caption = 'Hello 1.0/|Caption = 'Hello 1.0|hello.txt, line @LINE@, column 13: unterminated string
unknown class|0,/: TInstallFile$/s//: TInstallFiel/|TInstallFiel|hello.txt, line @LINE@: Class TInstallFiel not found
unknown property|s/^    Reboot = False$/    Rebooot = False/|Rebooot|hello.txt, line @LINE@: Error reading Install1.Rebooot: Property Rebooot does not exist
missing file|s/FileName = 'README.txt'/FileName = 'READ.txt'/|READ.txt|hello.txt, line *: the source file *READ.txt of File* does not exist
identifier out of range|s/UniqueID = 2$/UniqueID = 2000/|UniqueID = 2000|hello.txt, line @LINE@: Error reading File2.UniqueID: The UniqueID 2000 of File2 is outside the range 0 to 1999
identifier twice|s/UniqueID = 3$/UniqueID = 1/|UniqueID = 1$|hello.txt, line *: the UniqueID 1 of File3 is used already by File1 (line *)
same destination|s/DestName = 'README.txt'/DestName = 'LICENSE.txt'/|DestName = 'README.txt'|hello.txt, line *: File* is installed to *LICENSE.txt, as File* (line *) is
unknown handler|s/^  Caption = 'Hello 1.0'$/&\n  OnCreate = FormCreate/|OnCreate = FormCreate|hello.txt, line @LINE@: the event OnCreate of mainForm names the handler FormCreate, which this setup program does not have
EOF
printf '%s\n' "$good" >"$project"

for version in "$@"; do
  echo "== $version: setup.exe as a user runs it"
  "$wine" --kill >/dev/null 2>&1
  export TW_WINE_DIR="$(cd "$bin/.." && pwd)/wine-e2e-package-$version"
  "$wine" --kill >/dev/null 2>&1
  rm -rf "$TW_WINE_DIR"
  e2e_start_setup "$out/setup.exe" "$version"
  shot="$art/package-$version"
  if ui wait "Software license agreement" "" 90000; then
    ui texts "Software license agreement"
    grep -q 'Hello 1.0 - licence agreement' "$work/ui.txt" || fail "$version: the licence page does not show the example's licence"
    "$top/scripts/screenshot" "$shot-licence.png" || fail "no screenshot"
    # The example's pictures, not the engine's: the logo's green and the side picture's band.
    logo=$(convert "$shot-licence.png" -fill black +opaque '#2e8b57' -fill white -opaque '#2e8b57' -format '%[fx:mean*w*h]' info:)
    side=$(convert "$shot-licence.png" -fill black +opaque '#1d5c39' -fill white -opaque '#1d5c39' -format '%[fx:mean*w*h]' info:)
    [ "${logo%.*}" -gt 1500 ] || fail "$version: the example's logo does not show ($logo pixels)"
    [ "${side%.*}" -gt 3000 ] || fail "$version: the example's side picture does not show ($side pixels)"
    # Cancel asks under the example's own title; No goes on.
    ui keys "Software license agreement" ESC
    if ui wait "$name" "#32770" 20000; then
      ui texts "$name" "#32770"
      grep -q 'Do you want to cancel the installation' "$work/ui.txt" || fail "$version: the question under the title is another"
      ui click "$name" "No" "#32770" || fail "$version: No not clicked"
    else
      fail "$version: no question titled \"$name\""; ui list; sed 's/^/   window: /' "$work/ui.txt"
    fi
    ui click "Software license agreement" "Accept >" || fail "$version: Accept not clicked"
    ui wait "Choose Destination Location" "" 30000 && ui texts "Choose Destination Location"
    grep -qF 'C:\Program Files\Hello 1.0' "$work/ui.txt" || fail "$version: the destination is not the example's"
    "$top/scripts/screenshot" "$shot-destination.png"
    ui click "Choose Destination Location" "Next >" || fail "$version: Next not clicked"
    ui wait "Select folder in start menu" "" 30000 && ui texts "Select folder in start menu"
    grep -q "$name" "$work/ui.txt" || fail "$version: the Start-menu folder is not the example's"
    ui click "Select folder in start menu" "Next >" || fail "$version: Next not clicked"
    e2e_finish "Setup complete"
  else
    fail "$version: the licence page did not show"; ui list; sed 's/^/   window: /' "$work/ui.txt"
    "$wine" --kill >/dev/null 2>&1
  fi
  wait "$pid"; rc=$?
  [ "$rc" = 0 ] || fail "$version: the installation ended with $rc: $(cat "$work/setup.txt")"

  dest="$c/Program Files/Hello 1.0" wdest='C:\Program Files\Hello 1.0'
  for f in hello.exe README.txt LICENSE.txt; do
    cmp -s "$app_src/$f" "$dest/$f" || fail "$version: $f is not installed as it is in the folder"
  done
  [ -f "$dest/Uninstall/uninstall.exe" ] || fail "$version: no uninstaller"
  menu=$(find "$c/users" "$c/ProgramData" -type d -name "$name" 2>/dev/null | head -n 1)
  [ -n "$menu" ] && [ -f "$menu/hello.lnk" ] && [ -f "$menu/Uninstall $name.lnk" ] ||
    fail "$version: the shortcuts are missing: $(ls "$menu" 2>&1)"
  ukey="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name"
  "$wine" reg query "$ukey" /v UninstallString >"$work/reg.txt" 2>&1
  command=$(tr -d '\r' <"$work/reg.txt" | sed -n 's/^ *UninstallString    REG_[A-Z_]*    //p')
  [ "$command" = "$wdest\\Uninstall\\uninstall.exe $name" ] || fail "$version: UninstallString \"$command\""

  echo "== $version: the uninstaller"
  TW_WINE_NO_RESTART_WAIT=1 "$wine" "$bin/uidriver.exe" run "$command" >"$work/uninstall.txt" 2>&1 &
  upid=$!
  if ui wait "Uninstall" "#32770" 60000 && ui click "Uninstall" "Yes" "#32770"; then
    for _ in $(seq 120); do
      ui texts "Uninstall" "#32770" && grep -q 'from your computer' "$work/ui.txt" && break
      sleep 0.25
    done
    "$top/scripts/screenshot" "$shot-uninstalled.png"
    ui click "Uninstall" "OK" "#32770" || fail "$version: OK not clicked"
  else
    fail "$version: the uninstaller did not ask"; "$wine" --kill >/dev/null 2>&1
  fi
  wait "$upid"
  for _ in $(seq 80); do [ -e "$dest" ] || break; sleep 0.25; done
  [ -e "$dest" ] && fail "$version: left behind: $(find "$dest")"
  [ -n "$menu" ] && [ -e "$menu" ] && fail "$version: the Start-menu folder stayed"
  "$wine" reg query "$ukey" >/dev/null 2>&1 && fail "$version: the uninstall entry stayed"
  "$wine" --kill >/dev/null 2>&1
done
e2e_result
