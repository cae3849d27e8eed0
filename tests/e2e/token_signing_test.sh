#!/usr/bin/env bash
# Signing with a key that never leaves its token: a SoftHSM2 token holds a
# throwaway code-signing key, scripts/release.sh signs a release through
# PKCS#11, the signature and the detached signature of SHA256SUMS verify
# against the throwaway root, and the signed setup installs under Wine with
# the signed file as its "uninstall.exe". The scripts run with bash -x: the
# PIN, and a PKCS#12 password the same way, shows in no output and no trace,
# on no command line of the process list, and in the command line or the
# environment of no program the scripts start. A wrong PIN, or a PIN inside
# the key's URI, fails without writing anything or showing it.
source "$(dirname "$0")/lib.sh"
root=$(cd "$(dirname "$0")/../.." && pwd)
new_prefix
seed_webview2

work=$WINEPREFIX/token
mkdir -p "$work/tokens"
module=/usr/lib/softhsm/libsofthsm2.so
export SOFTHSM2_CONF=$work/softhsm2.conf
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\nlog.level = ERROR\n' "$work" >"$SOFTHSM2_CONF"
pin=pin-$RANDOM$RANDOM$RANDOM
so_pin=so-$RANDOM$RANDOM
password=pw-$RANDOM$RANDOM$RANDOM

# The throwaway signer and its token. pkcs11-tool takes PINs from the
# environment ("env:NAME"), so they stay off its command line here too.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=vestrana token test signer" \
  -keyout "$work/signer-key.pem" -out "$work/signer.pem" \
  -addext "extendedKeyUsage=critical,codeSigning" -addext "keyUsage=digitalSignature" 2>/dev/null
openssl pkcs8 -topk8 -nocrypt -in "$work/signer-key.pem" -outform DER -out "$work/signer-key.der"
tool() { pkcs11-tool --module "$module" "$@" >/dev/null 2>&1; }
SO_PIN=$so_pin tool --init-token --label vestrana-release --so-pin env:SO_PIN
SO_PIN=$so_pin USER_PIN=$pin tool --token-label vestrana-release --login --login-type so --so-pin env:SO_PIN \
  --init-pin --new-pin env:USER_PIN
USER_PIN=$pin tool --token-label vestrana-release --login --pin env:USER_PIN \
  --write-object "$work/signer-key.der" --type privkey --id 01 --label release-key
rm -f "$work/signer-key.der"
openssl pkcs12 -export -inkey "$work/signer-key.pem" -in "$work/signer.pem" -out "$work/signer.p12" \
  -passout "file:"<(printf '%s' "$password")
rm -f "$work/signer-key.pem"
check "the token holds the private key" eval 'USER_PIN=$pin pkcs11-tool --module "$module" --token-label vestrana-release \
  --login --pin env:USER_PIN --list-objects --type privkey 2>/dev/null | grep -q "label: *release-key"'

# Every osslsigncode, openssl and cmake that the scripts start goes through a
# shim that writes down its command line and environment.
shims=$work/shims
mkdir -p "$shims"
for program in osslsigncode openssl cmake; do
  real=$(command -v "$program")
  printf '#!/bin/sh\n{ echo "== %s $*"; env; } >>"%s/started.log"\nexec "%s" "$@"\n' \
    "$program" "$work" "$real" >"$shims/$program"
  chmod +x "$shims/$program"
done
# The process list, sampled ten times a second while a script runs, until
# $1.stop exists; at the lowest priority, so it never takes a core from
# another test.
sample_processes() {
  while [ ! -e "$1.stop" ]; do nice -n 19 ps -eo args= >>"$1" 2>/dev/null || true; sleep 0.1; done
}
# Runs a command under the shims and the sampler; sets rc and leaves its
# output (and trace) in $work/$1.out. Arguments: a name, then environment
# assignments and the command. The assignments are exported by a subshell,
# not handed to env, whose command line would show them.
traced() {
  local name=$1; shift
  sample_processes "$work/$name.ps" &
  local sampler=$!
  rc=0
  (
    export PATH="$shims:$PATH"
    while [[ $1 == [A-Z]*=* ]]; do export "${1?}"; shift; done
    exec "$@"
  ) >"$work/$name.out" 2>&1 || rc=$?
  touch "$work/$name.ps.stop"
  wait "$sampler" || true
}
# Whether a secret shows nowhere: the output and trace, the process list,
# what the started programs got. It must have been looked for: the trace ran
# and the shims saw osslsigncode.
nowhere() { # name, secret
  grep -q '^+' "$work/$1.out" && grep -q '^== osslsigncode sign' "$work/started.log" &&
    ! grep -qF -- "$2" "$work/$1.out" "$work/$1.ps" "$work/started.log"
}

export VESTRANA_SIGN_CAFILE=$work/signer.pem
key='pkcs11:token=vestrana-release;object=release-key;type=private'
token=(VESTRANA_SIGN_PKCS11_MODULE="$module" VESTRANA_SIGN_PKCS11_KEY="$key" VESTRANA_SIGN_CERT="$work/signer.pem")

# --- A release signed through the token -----------------------------------------
app=$work/app
mkdir -p "$app"
cp "$VESTRANA_BUILD/standin/vestrana.exe" "$VESTRANA_BUILD/standin/WebView2Loader.dll" "$app/"
out=$work/release
traced release "${token[@]}" VESTRANA_SIGN_PIN="$pin" VESTRANA_RELEASE_BUILD="$work/build" \
  VESTRANA_RELEASE_HOST_TOOLS="$VESTRANA_BUILD/host" \
  bash -x "$root/scripts/release.sh" --app-dir "$app" --version "$VESTRANA_VERSION" --out "$out"
check_eq "release.sh signs through the token" 0 "$rc"
[ "$rc" -eq 0 ] || grep -v '^+' "$work/release.out" | tail -n 30 >&2
check "the PIN shows nowhere (trace, process list, started programs)" nowhere release "$pin"
check "the build started by release.sh had no PIN in its environment" grep -q '^== cmake --build' "$work/started.log"
setup=$out/vestrana-setup-$VESTRANA_VERSION.exe
verified=$(osslsigncode verify -CAfile "$work/signer.pem" -in "$setup" 2>&1) || true
check "the signature verifies against the throwaway root" grep -q '^Signature verification: ok' <<<"$verified"
check "the signer is the token's certificate" grep -q 'Subject: /CN=vestrana token test signer' <<<"$verified"
check "SHA256SUMS matches the signed setup" eval '(cd "$out" && sha256sum --quiet -c SHA256SUMS)'
check "its detached signature verifies" openssl cms -verify -binary -purpose any -inform DER -CAfile "$work/signer.pem" \
  -in "$out/SHA256SUMS.sig" -content "$out/SHA256SUMS" -out /dev/null
echo "tampered" >>"$work/sums-tampered" && cat "$out/SHA256SUMS" >>"$work/sums-tampered"
check "and fails for other contents" eval '! openssl cms -verify -binary -purpose any -inform DER \
  -CAfile "$work/signer.pem" -in "$out/SHA256SUMS.sig" -content "$work/sums-tampered" -out /dev/null 2>/dev/null'

# --- A PKCS#12 password, the same way ----------------------------------------------
: >"$work/started.log"
traced pkcs12 VESTRANA_SIGN_PKCS12="$work/signer.p12" VESTRANA_SIGN_PASSWORD="$password" \
  bash -x "$root/scripts/sign.sh" "$VESTRANA_SETUP" "$work/p12/vestrana-setup.exe"
check_eq "sign.sh signs from a PKCS#12 file" 0 "$rc"
[ "$rc" -eq 0 ] || grep -v '^+' "$work/pkcs12.out" | tail -n 30 >&2
check "the password shows nowhere (trace, process list, started programs)" nowhere pkcs12 "$password"
check "SHA256SUMS of the PKCS#12 signature verifies too" openssl cms -verify -binary -purpose any -inform DER \
  -CAfile "$work/signer.pem" -in "$work/p12/SHA256SUMS.sig" -content "$work/p12/SHA256SUMS" -out /dev/null

# --- Refusals -------------------------------------------------------------------
traced wrong "${token[@]}" VESTRANA_SIGN_PIN="wrong-$pin" bash -x "$root/scripts/sign.sh" "$VESTRANA_SETUP" "$work/wrong/x.exe"
check "a wrong PIN fails and writes nothing" eval '[ "$rc" -ne 0 ] && [ ! -e "$work/wrong" ]'
check "and shows nowhere either" eval '! grep -qF -- "wrong-$pin" "$work/wrong.out" "$work/wrong.ps" "$work/started.log"'
traced inline VESTRANA_SIGN_PKCS11_MODULE="$module" VESTRANA_SIGN_PKCS11_KEY="$key;pin-value=$pin" \
  VESTRANA_SIGN_CERT="$work/signer.pem" bash "$root/scripts/sign.sh" "$VESTRANA_SETUP" "$work/inline/x.exe"
check "a PIN inside the key's URI is refused" eval '[ "$rc" -ne 0 ] && grep -q "must not carry the PIN" "$work/inline.out" &&
  [ ! -e "$work/inline" ]'

# --- The signed setup at work ----------------------------------------------------
rc=0; run_wine "$setup" --silent || rc=$?
check_eq "the token-signed setup installs silently" 0 "$rc"
dir=$(install_dir)
check "uninstall.exe is the signed file, byte for byte" cmp -s "$dir/uninstall.exe" "$setup"
check "uninstall.exe still verifies" eval 'osslsigncode verify -CAfile "$work/signer.pem" -in "$dir/uninstall.exe" 2>&1 |
  grep -q "^Signature verification: ok"'
finish
