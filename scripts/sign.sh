#!/usr/bin/env bash
# Signs a Windows program with Authenticode (SHA-256) and checks the result:
#
#   scripts/sign.sh IN.exe OUT.exe
#
# The key comes from the environment, never from the command line, in one of
# three ways:
#   VESTRANA_SIGN_PKCS11_MODULE    the PKCS#11 library of a hardware token, an
#   VESTRANA_SIGN_PKCS11_KEY       HSM or a key service, and a PKCS#11 URI that
#   VESTRANA_SIGN_CERT             names the key (without its PIN), with the
#   VESTRANA_SIGN_PIN              certificate chain (PEM) and the token's PIN;
#                                  the key never leaves the token. Or
#   VESTRANA_SIGN_PKCS12           a PKCS#12 file with certificate and key, or
#   VESTRANA_SIGN_CERT and _KEY    a PEM certificate (chain) and a PEM key;
#   VESTRANA_SIGN_PASSWORD         the password of either (optional).
# Optional:
#   VESTRANA_SIGN_PKCS11_ENGINE    OpenSSL's PKCS#11 engine (default: pkcs11.so
#                                  in OpenSSL's engine folder, from Debian's
#                                  libengine-pkcs11-openssl)
#   VESTRANA_SIGN_SECRET_FD        a file descriptor to read the PIN or
#                                  password from instead (scripts/release.sh
#                                  hands it over this way)
#   VESTRANA_SIGN_TIMESTAMP_URL    an RFC 3161 time-stamping server
#   VESTRANA_SIGN_TSA_CERT/_KEY    a local time-stamping authority instead
#                                  (certificate chain and key files)
#   VESTRANA_SIGN_TIME             the signing time in Unix seconds, for a
#                                  signature that can be made again byte for byte
#   VESTRANA_SIGN_CAFILE           the roots to verify against (default: the
#                                  system's certificate bundle)
#   VESTRANA_SIGN_TSA_CAFILE       the roots of the time-stamping authority
# Writes OUT, a SHA256SUMS file next to it and SHA256SUMS.sig, a detached
# CMS signature (DER) of SHA256SUMS made with the same key, and verifies
# all of them. Check the checksums with
#   openssl cms -verify -binary -purpose any -inform DER -in SHA256SUMS.sig \
#     -content SHA256SUMS -out /dev/null && sha256sum -c SHA256SUMS
set -euo pipefail

# The PIN or password first, before anything is started: a builtin copies it
# into a shell variable that is not exported (a trace shows "read -r
# secret", never the text), and it leaves the environment, so no program
# started below inherits it. It reaches osslsigncode and openssl only as a
# here-string on a file descriptor, which neither a trace nor a process list
# shows. Tests of this file are run with bash -x.
secret=
if [ "${VESTRANA_SIGN_SECRET_FD+set}" = set ]; then
  IFS= read -r secret <&"$VESTRANA_SIGN_SECRET_FD" || true
elif [ "${VESTRANA_SIGN_PKCS11_MODULE+set}" = set ] && [ "${VESTRANA_SIGN_PIN+set}" = set ]; then
  IFS= read -r secret <<<"$VESTRANA_SIGN_PIN" || true
elif [ "${VESTRANA_SIGN_PASSWORD+set}" = set ]; then
  IFS= read -r secret <<<"$VESTRANA_SIGN_PASSWORD" || true
fi
unset VESTRANA_SIGN_PIN VESTRANA_SIGN_PASSWORD VESTRANA_SIGN_SECRET_FD
# A trace shows the words of a test command, even its length; it shows a
# case statement's word unexpanded.
given=
case $secret in ?*) given=yes ;; esac
has_secret() { [ "$given" = yes ]; }

die() { printf 'sign: %s\n' "$*" >&2; exit 2; }
[ $# -eq 2 ] || die "usage: sign.sh IN.exe OUT.exe"
in=$1 out=$2
[ -f "$in" ] || die "no such file: $in"
command -v osslsigncode >/dev/null || die "osslsigncode is missing (scripts/bootstrap.sh installs it)"
command -v openssl >/dev/null || die "openssl is missing (scripts/bootstrap.sh installs it)"

work=$(mktemp -d "${TMPDIR:-/tmp}/vestrana-sign.XXXXXX")
trap 'rm -rf "$work"' EXIT

# openssl cms takes the signer's certificate and the rest of the chain
# apart (a certificate given twice is an error): the first certificate of a
# PEM chain file, and the others if there are any.
cms_signer() { # chain file
  awk -v first="$work/signer.pem" -v rest="$work/rest.pem" '
    /-----BEGIN CERTIFICATE-----/ { n++ }
    n == 1 { print > first } n > 1 { print > rest }' "$1"
  printf '%s\n' -signer "$work/signer.pem"
  [ -s "$work/rest.pem" ] && printf '%s\n' -certfile "$work/rest.pem"
  return 0
}

# The key, as osslsigncode and as openssl cms name it.
sign_key=() cms_key=()
if [ -n "${VESTRANA_SIGN_PKCS11_MODULE:-}" ]; then
  [ -f "$VESTRANA_SIGN_PKCS11_MODULE" ] || die "VESTRANA_SIGN_PKCS11_MODULE names no file"
  key=${VESTRANA_SIGN_PKCS11_KEY:-}
  [[ $key == pkcs11:* ]] || die "VESTRANA_SIGN_PKCS11_KEY must be a PKCS#11 URI (pkcs11:token=...;object=...)"
  # A PIN inside the URI would be on osslsigncode's command line.
  case $key in
    *pin-value=* | *pin-source=*) die "VESTRANA_SIGN_PKCS11_KEY must not carry the PIN; give it in VESTRANA_SIGN_PIN" ;;
  esac
  cert=${VESTRANA_SIGN_CERT:-}
  [ -f "$cert" ] || die "VESTRANA_SIGN_CERT must name the certificate chain (PEM) of the token's key"
  engine=${VESTRANA_SIGN_PKCS11_ENGINE:-$(openssl version -e | sed -E 's/^ENGINESDIR: "(.*)"$/\1/')/pkcs11.so}
  [ -f "$engine" ] || die "no PKCS#11 engine at $engine (Debian: libengine-pkcs11-openssl)"
  sign_key=(-pkcs11engine "$engine" -pkcs11module "$VESTRANA_SIGN_PKCS11_MODULE" -key "$key" -certs "$cert")
  # openssl finds the engine and the token's library through a configuration
  # file of its own; the PIN goes through -passin.
  printf 'openssl_conf = init\n[init]\nengines = engines\n[engines]\npkcs11 = pkcs11\n[pkcs11]\ndynamic_path = %s\nMODULE_PATH = %s\n' \
    "$engine" "$VESTRANA_SIGN_PKCS11_MODULE" >"$work/engine.cnf"
  cms_key=(-engine pkcs11 -keyform engine -inkey "$key")
  mapfile -t -O ${#cms_key[@]} cms_key < <(cms_signer "$cert")
elif [ -n "${VESTRANA_SIGN_PKCS12:-}" ]; then
  [ -f "$VESTRANA_SIGN_PKCS12" ] || die "VESTRANA_SIGN_PKCS12 names no file"
  sign_key=(-pkcs12 "$VESTRANA_SIGN_PKCS12")
  # openssl cms reads the certificate of a PKCS#12 file only without a
  # password; the certificates (nothing secret) are taken out first.
  if has_secret; then
    openssl pkcs12 -in "$VESTRANA_SIGN_PKCS12" -nokeys -passin fd:3 -out "$work/chain.pem" 3<<<"$secret" 2>/dev/null ||
      die "the PKCS#12 file does not open with this password"
  else
    openssl pkcs12 -in "$VESTRANA_SIGN_PKCS12" -nokeys -passin pass: -out "$work/chain.pem" 2>/dev/null ||
      die "the PKCS#12 file needs a password (VESTRANA_SIGN_PASSWORD)"
  fi
  cms_key=(-inkey "$VESTRANA_SIGN_PKCS12")
  mapfile -t -O ${#cms_key[@]} cms_key < <(cms_signer "$work/chain.pem")
elif [ -n "${VESTRANA_SIGN_CERT:-}" ] && [ -n "${VESTRANA_SIGN_KEY:-}" ]; then
  [ -f "$VESTRANA_SIGN_CERT" ] && [ -f "$VESTRANA_SIGN_KEY" ] || die "VESTRANA_SIGN_CERT or _KEY names no file"
  sign_key=(-certs "$VESTRANA_SIGN_CERT" -key "$VESTRANA_SIGN_KEY")
  cms_key=(-inkey "$VESTRANA_SIGN_KEY")
  mapfile -t -O ${#cms_key[@]} cms_key < <(cms_signer "$VESTRANA_SIGN_CERT")
else
  die "no key: set VESTRANA_SIGN_PKCS11_MODULE, _PKCS11_KEY and _CERT, or VESTRANA_SIGN_PKCS12, or VESTRANA_SIGN_CERT and _KEY"
fi

args=(sign -h sha256 -n "vestrana Setup" -i "https://vestrana.app/" "${sign_key[@]}")
# osslsigncode reads the PIN or password from descriptor 3 (a trailing line
# end is dropped).
has_secret && args+=(-readpass /dev/fd/3)
if [ -n "${VESTRANA_SIGN_TIMESTAMP_URL:-}" ]; then
  args+=(-ts "$VESTRANA_SIGN_TIMESTAMP_URL")
elif [ -n "${VESTRANA_SIGN_TSA_CERT:-}" ]; then
  args+=(-TSA-certs "$VESTRANA_SIGN_TSA_CERT" -TSA-key "${VESTRANA_SIGN_TSA_KEY:?the local TSA needs its key}")
  [ -n "${VESTRANA_SIGN_TIME:-}" ] && args+=(-TSA-time "$VESTRANA_SIGN_TIME")
fi
[ -n "${VESTRANA_SIGN_TIME:-}" ] && args+=(-time "$VESTRANA_SIGN_TIME")

signed=$work/signed.exe
log=$(osslsigncode "${args[@]}" -in "$in" -out "$signed" 2>&1 3<<<"$secret") || die "signing failed: $log"

verify=(verify -in "$signed")
[ -n "${VESTRANA_SIGN_CAFILE:-}" ] && verify+=(-CAfile "$VESTRANA_SIGN_CAFILE")
[ -n "${VESTRANA_SIGN_TSA_CAFILE:-}" ] && verify+=(-TSA-CAfile "$VESTRANA_SIGN_TSA_CAFILE")
[ -n "${VESTRANA_SIGN_TIME:-}" ] && verify+=(-time "$VESTRANA_SIGN_TIME")
log=$(osslsigncode "${verify[@]}" 2>&1) || die "the signed file does not verify: $log"

# The checksum file and its detached signature. Without signed attributes
# (no signing time in it) the signature is the same for the same file and
# key, as the signed program is at a fixed signing time.
name=$(basename "$out")
(cd "$work" && sha256sum signed.exe | sed "s/ signed\.exe\$/ $name/" >SHA256SUMS)
cms=(cms -sign -binary -noattr -md sha256 -outform DER "${cms_key[@]}" -in "$work/SHA256SUMS" -out "$work/SHA256SUMS.sig")
has_secret && cms+=(-passin fd:3)
config=()
[ -f "$work/engine.cnf" ] && config=(env "OPENSSL_CONF=$work/engine.cnf")
log=$("${config[@]}" openssl "${cms[@]}" 2>&1 3<<<"$secret") || die "signing SHA256SUMS failed: $log"
check=(cms -verify -binary -purpose any -inform DER -in "$work/SHA256SUMS.sig" -content "$work/SHA256SUMS" -out /dev/null)
[ -n "${VESTRANA_SIGN_CAFILE:-}" ] && check+=(-CAfile "$VESTRANA_SIGN_CAFILE")
log=$(openssl "${check[@]}" 2>&1) || die "the signature of SHA256SUMS does not verify: $log"
secret=

# Only a signature that verifies leaves the work folder.
chmod --reference="$in" "$signed"
dir=$(dirname "$out")
mkdir -p "$dir"
mv -f "$signed" "$out"
mv -f "$work/SHA256SUMS" "$dir/SHA256SUMS"
mv -f "$work/SHA256SUMS.sig" "$dir/SHA256SUMS.sig"
echo "signed and verified: $out, $dir/SHA256SUMS.sig"
