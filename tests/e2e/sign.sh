#!/usr/bin/env bash
# Signed distributions, with a certificate and key made here.
# The Kelvo setup.exe built with -b and signed afterwards with osslsigncode
# installs unattended (the setup program finds the main archive in it); a
# flipped byte in its loading program, setup.1, files.1 or record, and a
# certificate table moved away from the trailer, are refused as damaged
# (exit code 6). A project with SignCode, packaged with scripts/package:
# each bad credential gets its message and leaves the output directory as
# it was; the build signs without the unreachable time-stamp server and
# says so; osslsigncode accepts setup.exe, the setup program in setup.1 and
# the installed uninstall.exe; distinfo names the signer; setup.exe installs
# through the wizard. The unsigned build ends with its trailer, the SHA-0 of
# every byte before it.
#   sign.sh BIN_DIR E2E_DIR ARTEFACT_DIR
set -uo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
export TW_PACKAGE_NO_BUILD=1
kit="$bin/../tarnwick-engine"

echo "== credentials"
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Tarnwick Test Signer/O=Signing e2e" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 || fail "openssl made no certificate"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/other-key.pem" >/dev/null 2>&1 ||
  fail "openssl made no second key"
verify() { # file what
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.txt" 2>&1 &&
    grep -q 'Signature verification: ok' "$work/verify.txt" ||
    { fail "$2 does not verify: $(grep -iE 'fail|error|verification' "$work/verify.txt" | head -n 3)"; return 1; }
  echo "   $2: signature verified"
}
# distinfo's record of a file: "name value" lines.
record() { "$distinfo" record "$1" >"$work/record.txt" 2>&1; }
field() { sed -n "s/^$1\t//p" "$work/record.txt"; }

# ---- the Kelvo distribution, signed after the build
e2e_prefix sign
e2e_user_site winxp
mkdir -p "$c/logs"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$dist/setup.exe" -out "$c/Downloads/signed.exe" \
  >"$work/sign.txt" 2>&1 || fail "osslsigncode did not sign: $(cat "$work/sign.txt")"
echo "== the Kelvo setup.exe signed after the build: $(stat -c %s "$dist/setup.exe") -> $(stat -c %s "$c/Downloads/signed.exe") bytes"
record "$c/Downloads/signed.exe" || fail "distinfo refuses the signed file: $(cat "$work/record.txt")"
[ "$(field checksum)" = ok ] && [ "$(field signed)" = yes ] || fail "distinfo: $(cat "$work/record.txt")"
[[ "$(field signer)" == *"CN=Tarnwick Test Signer"* ]] || fail "distinfo names the signer \"$(field signer)\""
read -r setup_first _ <<<"$(field setup)"
read -r files_first _ <<<"$(field files)"

"$wine" 'C:\Downloads\signed.exe' /VERYSILENT '/LOG=C:\logs\signed.log' >/dev/null 2>&1
rc=$?
[ "$rc" = 0 ] || fail "the signed setup.exe ended with $rc: $(tr -d '\r' <"$c/logs/signed.log" | grep Error)"
[ -f "$c/Program Files/Kelvo/Vantlex 2006/Uninstall/uninstall.exe" ] ||
  fail "the signed setup.exe installed no files from its main archive"
echo "   installed unattended, exit code $rc"

# name | how the signed file is changed (python, d: its bytes, table: the
# certificate table's offset, end: the trailer's end) | the message
while IFS='|' read -r case change message; do
  cp "$c/Downloads/signed.exe" "$c/Downloads/bad.exe"
  python3 - "$c/Downloads/bad.exe" "$setup_first" "$files_first" <<PY || fail "$case: not changed"
import struct, sys
p = sys.argv[1]; setup_first, files_first = int(sys.argv[2]), int(sys.argv[3])
d = bytearray(open(p, 'rb').read())
pe = struct.unpack_from('<I', d, 0x3C)[0]
entry = pe + 24 + 112 + 32
table = struct.unpack_from('<I', d, entry)[0]
end = table
while d[end - 1] == 0: end -= 1
$change
open(p, 'wb').write(d)
PY
  rm -f "$c/logs/bad.log"
  "$wine" 'C:\Downloads\bad.exe' /VERYSILENT '/LOG=C:\logs\bad.log' >/dev/null 2>&1
  rc=$?
  [ "$rc" = 6 ] || fail "$case: exit code $rc"
  grep -qF "Error: $message" "$c/logs/bad.log" || fail "$case: the log says $(tr -d '\r' <"$c/logs/bad.log" | grep Error)"
  echo "   $case: exit code $rc"
done <<'EOF'
a byte of the loading program|d[0x60] ^= 1|The setup file is damaged: its contents do not match its checksum.
a byte of setup.1|d[setup_first + 200] ^= 1|The setup file is damaged: its contents do not match its checksum.
a byte of files.1|d[files_first + 300] ^= 1|The setup file is damaged: its contents do not match its checksum.
a byte of the record|d[end - 40 - 56 + 16] ^= 1|The setup file is damaged: its contents do not match its checksum.
the table moved|d[table:table] = bytes(8); struct.pack_into('<I', d, entry, table + 8)|The setup file is damaged: its signature does not follow its checksum.
EOF
"$wine" --kill >/dev/null 2>&1

# ---- a project that asks for signing
export TW_WINE_DIR="$(cd "$bin/.." && pwd)/wine-e2e-sign-package"
"$wine" --kill >/dev/null 2>&1
rm -rf "$TW_WINE_DIR"
name='Signed Hello 1.0'
mkdir -p "$work/hello"
cp -a "$bin/../examples/hello/app" "$work/hello/app"
cp "$work/cert.pem" "$work/key.pem" "$work/other-key.pem" "$work/hello/"
project="$work/hello/hello.txt" out="$work/hello/dist"
"$top/scripts/package" new "$work/hello/app" "$project" --name "$name" >"$work/new.txt" 2>&1 ||
  fail "the generator failed: $(cat "$work/new.txt")"

echo "== unsigned"
"$top/scripts/package" "$project" "$out" >"$work/build.txt" 2>&1 || fail "the build failed: $(cat "$work/build.txt")"
record "$out/setup.exe" || fail "distinfo refuses the unsigned file: $(cat "$work/record.txt")"
[ "$(field signed)" = no ] || fail "an unsigned build is said to be signed"
[ "$(field size)" = "$(stat -c %s "$out/setup.exe")" ] && [ "$(field digest)" = "$(tail -c 40 "$out/setup.exe")" ] ||
  fail "the last 40 bytes are not the SHA-0 of every byte before them: $(cat "$work/record.txt")"
echo "   ends with its trailer $(field digest)"

echo "== bad credentials"
snapshot() { (cd "$out" && ls -la --time-style=full-iso . | grep -v ' \.\.$' && sha256sum ./*) 2>&1; }
snapshot >"$work/before.txt"
good=$(cat "$project")
signing() { # certificate key
  printf '%s\n' "$good" | sed "s/^    Reboot = False$/&\n    BuildInfo.SignCode = True\n    BuildInfo.CredentialsFile = '$1'\n    BuildInfo.PrivateKeyFile = '$2'/" >"$project"
}
while IFS='|' read -r case cert key message; do
  signing "$cert" "$key"
  rc=0
  "$top/scripts/package" "$project" "$out" >"$work/bad.txt" 2>&1 || rc=$?
  got=$(tr -d '\r' <"$work/bad.txt" | grep -v '^package:' | grep -v '^Building ' | head -n 1)
  [ "$rc" = 1 ] || fail "$case: exit code $rc"
  [[ "$got" == $message ]] || fail "$case: \"$got\""
  snapshot >"$work/after.txt"
  cmp -s "$work/before.txt" "$work/after.txt" || fail "$case: the output directory changed"
  echo "   $case: $got"
done <<'EOF'
no certificate|none.pem|key.pem|*Cannot sign the distribution: the certificate file *none.pem (CredentialsFile) does not exist
not a certificate|key.pem|key.pem|*Cannot sign the distribution: the file *key.pem (CredentialsFile) is not a certificate
no key|cert.pem|none.pem|*Cannot sign the distribution: the private key file *none.pem (PrivateKeyFile) does not exist
not a key|cert.pem|cert.pem|*Cannot sign the distribution: the file *cert.pem (PrivateKeyFile) is not a private key*
another certificate's key|cert.pem|other-key.pem|*Cannot sign the distribution: the private key *other-key.pem (PrivateKeyFile) does not belong to the certificate *cert.pem (CredentialsFile)
EOF
# The generic program without the helper looks for the platform's tool.
eval "$("$wine" --env)"
"$wine" "$kit/TarnwickSetup.exe" -b "*pZ:${project//\//\\}" "*oZ:${out//\//\\}" >"$work/tool.txt" 2>&1
rc=$?
[ "$rc" = 1 ] && grep -q 'Cannot sign the distribution: this machine has no signing tool' "$work/tool.txt" ||
  fail "without a helper: exit code $rc, $(cat "$work/tool.txt")"
snapshot >"$work/after.txt"
cmp -s "$work/before.txt" "$work/after.txt" || fail "without a helper: the output directory changed"
"$wine" --kill >/dev/null 2>&1

echo "== signed, with a time-stamp server that does not answer"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sha256sum "$kit/TarnwickSetup.exe" "$kit/uninstall.exe" >"$work/kit.txt"
signing cert.pem key.pem
touch -d '2026-01-02 03:04:06' "$project"  # the carrying program's date, long before any signature
"$top/scripts/package" "$project" "$out" --timestamp "http://127.0.0.1:$port/" >"$work/signed.txt" 2>&1 ||
  fail "the signed build failed: $(cat "$work/signed.txt")"
sed 's/^/   /' "$work/signed.txt"
[ "$(grep -c "signed without a time stamp: the server http://127.0.0.1:$port/ could not be reached" "$work/signed.txt")" = 3 ] ||
  fail "the build does not say three times that it signed without a time stamp"
sha256sum -c --quiet "$work/kit.txt" || fail "the engine's own files changed"
verify "$out/setup.exe" setup.exe
record "$out/setup.exe" || fail "distinfo refuses the signed setup.exe: $(cat "$work/record.txt")"
[ "$(field signed)" = yes ] && [[ "$(field signer)" == *"CN=Tarnwick Test Signer"* ]] ||
  fail "distinfo: $(cat "$work/record.txt")"
# The setup program, the first member of setup.1.
python3 - "$out/setup.1" "$work/setup-program.exe" <<'PY' || fail "no setup program in setup.1"
import struct, sys, zlib
d = open(sys.argv[1], 'rb').read()
start, packed = struct.unpack_from('<ii', d, 5 + 136)
open(sys.argv[2], 'wb').write(zlib.decompress(d[start:start + packed]))
PY
verify "$work/setup-program.exe" "the setup program in setup.1"
# The signed members keep their names and dates: the setup program the
# project's, the uninstaller the engine's.
"$distinfo" list "$out/setup.1" >"$work/setup-members.txt" 2>&1
"$distinfo" list "$out/files.1" >"$work/files.txt" 2>&1
member_dated() { # listing name-suffix file
  python3 - "$@" <<'PY'
import os, sys, time
listing, suffix, source = sys.argv[1:]
for line in open(listing):
    f = line.rstrip('\n').split('\t')
    if f[-1].lower().endswith(suffix.lower()):
        stored = time.mktime(time.strptime(f[2], '%Y-%m-%d %H:%M:%S'))
        sys.exit(0 if abs(stored - os.path.getmtime(source)) < 2.5 else 1)
sys.exit(1)
PY
}
member_dated "$work/setup-members.txt" 'TarnwickSetup.exe' "$project" ||
  fail "the setup program's member lost its name or date: $(head -n 1 "$work/setup-members.txt")"
member_dated "$work/files.txt" 'tarnwick-engine\uninstall.exe' "$kit/uninstall.exe" ||
  fail "the uninstaller's member lost its name or date: $(grep -i uninstall "$work/files.txt")"

echo "== the signed setup.exe installs"
e2e_start_setup "$out/setup.exe" win10
e2e_wizard && e2e_finish "Setup complete"
wait "$pid"; rc=$?
[ "$rc" = 0 ] || fail "the installation ended with $rc"
verify "$c/Program Files/$name/Uninstall/uninstall.exe" "the installed uninstall.exe"
"$wine" --kill >/dev/null 2>&1
e2e_result
