#!/usr/bin/env bash
# Signs a Windows program with Authenticode (SHA-256) and checks the result:
#
#   scripts/sign.sh IN.exe OUT.exe
#
# The certificate comes from the environment, never from the command line:
#   VESTRANA_SIGN_PKCS12           a PKCS#12 file with certificate and key, or
#   VESTRANA_SIGN_CERT and _KEY    a PEM certificate (chain) and a PEM key;
#   VESTRANA_SIGN_PASSWORD         the password of either (optional).
# Optional:
#   VESTRANA_SIGN_TIMESTAMP_URL    an RFC 3161 time-stamping server
#   VESTRANA_SIGN_TSA_CERT/_KEY    a local time-stamping authority instead
#                                  (certificate chain and key files)
#   VESTRANA_SIGN_TIME             the signing time in Unix seconds, for a
#                                  signature that can be made again byte for byte
#   VESTRANA_SIGN_CAFILE           the roots to verify against (default: the
#                                  system's certificate bundle)
#   VESTRANA_SIGN_TSA_CAFILE       the roots of the time-stamping authority
# Writes OUT and a SHA256SUMS file next to it. The password is handed to
# osslsigncode through a pipe and never printed.
set -euo pipefail

die() { printf 'sign: %s\n' "$*" >&2; exit 2; }
[ $# -eq 2 ] || die "usage: sign.sh IN.exe OUT.exe"
in=$1 out=$2
[ -f "$in" ] || die "no such file: $in"
command -v osslsigncode >/dev/null || die "osslsigncode is missing (scripts/bootstrap.sh installs it)"

args=(sign -h sha256 -n "vestrana Setup" -i "https://vestrana.app/")
if [ -n "${VESTRANA_SIGN_PKCS12:-}" ]; then
  [ -f "$VESTRANA_SIGN_PKCS12" ] || die "VESTRANA_SIGN_PKCS12 names no file"
  args+=(-pkcs12 "$VESTRANA_SIGN_PKCS12")
elif [ -n "${VESTRANA_SIGN_CERT:-}" ] && [ -n "${VESTRANA_SIGN_KEY:-}" ]; then
  [ -f "$VESTRANA_SIGN_CERT" ] && [ -f "$VESTRANA_SIGN_KEY" ] || die "VESTRANA_SIGN_CERT or _KEY names no file"
  args+=(-certs "$VESTRANA_SIGN_CERT" -key "$VESTRANA_SIGN_KEY")
else
  die "no certificate: set VESTRANA_SIGN_PKCS12, or VESTRANA_SIGN_CERT and VESTRANA_SIGN_KEY"
fi
# Read from standard input, so the password shows in no process list.
[ -n "${VESTRANA_SIGN_PASSWORD:-}" ] && args+=(-readpass -)
if [ -n "${VESTRANA_SIGN_TIMESTAMP_URL:-}" ]; then
  args+=(-ts "$VESTRANA_SIGN_TIMESTAMP_URL")
elif [ -n "${VESTRANA_SIGN_TSA_CERT:-}" ]; then
  args+=(-TSA-certs "$VESTRANA_SIGN_TSA_CERT" -TSA-key "${VESTRANA_SIGN_TSA_KEY:?the local TSA needs its key}")
  [ -n "${VESTRANA_SIGN_TIME:-}" ] && args+=(-TSA-time "$VESTRANA_SIGN_TIME")
fi
[ -n "${VESTRANA_SIGN_TIME:-}" ] && args+=(-time "$VESTRANA_SIGN_TIME")

mkdir -p "$(dirname "$out")"
tmp=$(mktemp "$out.XXXXXX")
trap 'rm -f "$tmp"' EXIT
# osslsigncode refuses to write over an existing file.
rm -f "$tmp"
log=$(printf '%s' "${VESTRANA_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" -in "$in" -out "$tmp" 2>&1) ||
  die "signing failed: $log"

verify=(verify -in "$tmp")
[ -n "${VESTRANA_SIGN_CAFILE:-}" ] && verify+=(-CAfile "$VESTRANA_SIGN_CAFILE")
[ -n "${VESTRANA_SIGN_TSA_CAFILE:-}" ] && verify+=(-TSA-CAfile "$VESTRANA_SIGN_TSA_CAFILE")
[ -n "${VESTRANA_SIGN_TIME:-}" ] && verify+=(-time "$VESTRANA_SIGN_TIME")
log=$(osslsigncode "${verify[@]}" 2>&1) || die "the signed file does not verify: $log"

chmod --reference="$in" "$tmp"
mv -f "$tmp" "$out"
(cd "$(dirname "$out")" && sha256sum "$(basename "$out")" >SHA256SUMS)
echo "signed and verified: $out"
