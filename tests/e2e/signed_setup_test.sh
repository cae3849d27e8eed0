#!/usr/bin/env bash
# A signed release: scripts/sign.sh signs the setup with a throwaway
# code-signing certificate, from a PKCS#12 file or a PEM certificate and key,
# with a throwaway time-stamping authority; the signature verifies, the
# password shows in no output, a fixed signing time gives the same bytes
# again, SHA256SUMS names the signed file, and without a certificate nothing
# is written. The signed setup installs silently, its installed
# "uninstall.exe" is the signed file and still verifies, and the removal
# works.
source "$(dirname "$0")/lib.sh"
sign=$(cd "$(dirname "$0")/../.." && pwd)/scripts/sign.sh
new_prefix
seed_webview2

keys=$WINEPREFIX/keys
mkdir -p "$keys"
throwaway_cert() { # name, subject, extended key usage
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$2" -keyout "$keys/$1-key.pem" \
    -out "$keys/$1.pem" -addext "extendedKeyUsage=critical,$3" -addext "keyUsage=digitalSignature" 2>/dev/null
}
throwaway_cert signer "vestrana test signer" codeSigning
throwaway_cert tsa "vestrana test time stamps" timeStamping
password=pw-$RANDOM$RANDOM
openssl pkcs12 -export -inkey "$keys/signer-key.pem" -in "$keys/signer.pem" -out "$keys/signer.p12" \
  -passout "pass:$password"
# The signing time must not lie before the second the certificates start in.
not_before=$(date -d "$(openssl x509 -in "$keys/signer.pem" -noout -startdate | cut -d= -f2)" +%s)
after_start() { [ "$(date +%s)" -gt "$not_before" ]; }
poll 2 after_start
export VESTRANA_SIGN_CAFILE=$keys/signer.pem VESTRANA_SIGN_TSA_CAFILE=$keys/tsa.pem

out=$WINEPREFIX/release
signed=$out/vestrana-setup.exe
rc=0
output=$(VESTRANA_SIGN_PKCS12=$keys/signer.p12 VESTRANA_SIGN_PASSWORD=$password \
  VESTRANA_SIGN_TSA_CERT=$keys/tsa.pem VESTRANA_SIGN_TSA_KEY=$keys/tsa-key.pem \
  bash "$sign" "$VESTRANA_SETUP" "$signed" 2>&1) || rc=$?
check_eq "signing from a PKCS#12 file with a time stamp succeeds" "0" "$rc"
check "the password shows in no output" not grep -qF -- "$password" <<<"$output"
verified=$(osslsigncode verify -CAfile "$keys/signer.pem" -TSA-CAfile "$keys/tsa.pem" -in "$signed" 2>&1) || true
check "the signature verifies" grep -q '^Signature verification: ok' <<<"$verified"
check "it is SHA-256 and time-stamped" eval 'grep -q "Message digest algorithm  : SHA256" <<<"$verified" &&
  grep -q "^Timestamp Server Signature verification: ok" <<<"$verified"'
check "SHA256SUMS next to it names the signed file" eval '(cd "$out" && sha256sum --quiet -c SHA256SUMS) &&
  grep -q " vestrana-setup.exe$" "$out/SHA256SUMS"'

# The same signing time, certificate and key give the same bytes.
when=$(date +%s)
for n in 1 2; do
  VESTRANA_SIGN_CERT=$keys/signer.pem VESTRANA_SIGN_KEY=$keys/signer-key.pem VESTRANA_SIGN_TIME=$when \
    bash "$sign" "$VESTRANA_SETUP" "$WINEPREFIX/again$n/vestrana-setup.exe" >/dev/null 2>&1 || true
done
check "signing twice with a PEM certificate and key at a fixed time gives identical files" \
  cmp -s "$WINEPREFIX/again1/vestrana-setup.exe" "$WINEPREFIX/again2/vestrana-setup.exe"

rc=0
env -u VESTRANA_SIGN_PKCS12 -u VESTRANA_SIGN_CERT bash "$sign" "$VESTRANA_SETUP" "$WINEPREFIX/none/x.exe" \
  >/dev/null 2>&1 || rc=$?
check "without a certificate signing fails and writes nothing" \
  eval '[ "$rc" -ne 0 ] && [ ! -e "$WINEPREFIX/none/x.exe" ]'

# The signed program at work: its packed app is found behind the signature.
rc=0; run_wine "$signed" --silent || rc=$?
check_eq "the signed setup installs silently" 0 "$rc"
dir=$(install_dir)
check "vestrana.exe is the packed program" cmp -s "$dir/vestrana.exe" "$VESTRANA_BUILD/standin/vestrana.exe"
check "uninstall.exe is the signed file, byte for byte" cmp -s "$dir/uninstall.exe" "$signed"
check "uninstall.exe still verifies" eval 'osslsigncode verify -CAfile "$keys/signer.pem" \
  -TSA-CAfile "$keys/tsa.pem" -in "$dir/uninstall.exe" 2>&1 | grep -q "^Signature verification: ok"'

rc=0; run_command_line "$(reg_value "$uninstall_key" QuietUninstallString || true)" || rc=$?
check_eq "the signed uninstaller removes the app" 0 "$rc"
check "the entry is gone" reg_key_gone "$uninstall_key"
check "the delayed clean-up finishes" wait_for_final_cleanup "$dir" "$(temp_dir)"
finish
