# Throwaway code-signing certificates for the end-to-end tests, made with
# openssl under the build's test root (VESTRANA_TEST_ROOT_DIR, whose
# certificate the local-download test build pins), and signing with
# osslsigncode. Sourced after lib.sh and new_prefix.
# shellcheck shell=bash
certs="$WINEPREFIX/certs"
mkdir -p "$certs"

# A root of its own, which the test build does not accept: new_root NAME
new_root() {
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -subj "/O=$1/CN=$1 root" \
    -keyout "$certs/$1.root.key" -out "$certs/$1.root.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

# A code-signing certificate for organization ORG, issued by ROOT (a file
# prefix; default the test root): new_signer NAME ORG [ROOT]
new_signer() {
  local name=$1 org=$2 root=${3:-$VESTRANA_TEST_ROOT_DIR/root}
  openssl req -newkey rsa:2048 -nodes -sha256 -subj "/O=$org/CN=$org" \
    -keyout "$certs/$name.key" -out "$certs/$name.csr" 2>/dev/null || return 1
  printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
    "extendedKeyUsage=codeSigning" >"$certs/$name.ext"
  openssl x509 -req -in "$certs/$name.csr" -CA "$root.pem" -CAkey "$root.key" -sha256 -days 30 \
    -set_serial "0x$(openssl rand -hex 8)" -extfile "$certs/$name.ext" -out "$certs/$name.pem" 2>/dev/null || return 1
  # The signature carries the whole chain, root included, as a vendor's does.
  cat "$certs/$name.pem" "$root.pem" >"$certs/$name.chain.pem"
}

# sign_as NAME IN OUT
sign_as() {
  osslsigncode sign -certs "$certs/$1.chain.pem" -key "$certs/$1.key" -h sha256 -n "WebView2 setup" \
    -in "$2" -out "$3" >/dev/null
}

# Changes one byte in the signed part of a file (inside its code), so that
# the digest no longer matches: tamper FILE
tamper() {
  printf '\x5a' | dd of="$1" bs=1 seek=1100 conv=notrunc status=none
}
