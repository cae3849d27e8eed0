#!/usr/bin/env bash
# The downloaded WebView2 bootstrapper runs only when it is the vendor's:
# validly signed, by "Microsoft Corporation", under the accepted root (in the
# local-download test build: the build's throwaway test root). Unsigned,
# foreign-signed, tampered and wrong-root files are refused like a failed
# download: exit code 1, nothing run, nothing left in the temporary folder.
# A server that accepts the connection and then sends nothing, or stops
# half way, is given up after the test build's stall limit (5 s). Nothing
# downloaded is written into the WinINet cache, from where a later download
# could be served a stale or planted copy.
source "$(dirname "$0")/lib.sh"
new_prefix
source "$(dirname "$0")/signing.sh"

take_download_port

server_pid=
stop_server() {
  [ -n "$server_pid" ] || return 0
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=
}
exit_actions+=("stop_server")
port_answers() { curl -s -o /dev/null --max-time 1 "http://127.0.0.1:$port/" || [ $? -eq 28 ]; }
port_free() { ! curl -s -o /dev/null --max-time 1 "http://127.0.0.1:$port/" && [ $? -ne 28 ]; }
wait_for() { poll 10 "$@"; }
serve_files() {
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "$web" >/dev/null 2>&1 &
  server_pid=$!
  wait_for curl -sf -o /dev/null "http://127.0.0.1:$port$url_path"
}
# Accepts every connection and then sends nothing (silent), or the headers
# and the first 1000 of 100000 bytes (stops).
serve_stalling() {
  python3 - "$port" "$1" <<'PY' &
import socket, sys, threading
port, mode = int(sys.argv[1]), sys.argv[2]
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", port))
server.listen(8)
held = []
while True:
    connection, _ = server.accept()
    held.append(connection)
    if mode == "stops":
        connection.recv(65536)
        connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                           b"Content-Length: 100000\r\n\r\n" + b"M" * 1000)
PY
  server_pid=$!
  wait_for port_answers
}

bootstrapper_log="$WINEPREFIX/drive_c/webview2-setup.log"
no_download_left() { [ -z "$(find "$(temp_dir)" -maxdepth 1 -name 'vestrana-*' -print -quit)" ]; }
runtime_version() { reg_value "$client_key" pv || true; }
inet_cache="$(local_appdata)/Microsoft/Windows/INetCache"
cache_is_empty() { [ -z "$(find "$inet_cache" -type f -print -quit 2>/dev/null)" ]; }

check "the vendor's certificate is made" new_signer vendor "Microsoft Corporation"
check "another publisher's certificate is made" new_signer evil "Evil Corporation"
check "a root the build does not accept is made" new_root other
check "the vendor's name under that root is made" new_signer impostor "Microsoft Corporation" "$certs/other.root"

fake="$VESTRANA_FAKE_WEBVIEW2_SETUP"
variants="$WINEPREFIX/variants"
mkdir -p "$variants"
cp "$fake" "$variants/unsigned.exe"
check "the bootstrappers are signed" eval 'sign_as evil "$fake" "$variants/foreign.exe" &&
  sign_as vendor "$fake" "$variants/tampered.exe" && tamper "$variants/tampered.exe" &&
  sign_as impostor "$fake" "$variants/wrong-root.exe" && sign_as vendor "$fake" "$variants/vendor.exe"'
check "the tampered copy differs from the signed one" eval '! cmp -s "$variants/tampered.exe" "$variants/vendor.exe"'

check "the server is up" serve_files
for variant in unsigned foreign tampered wrong-root; do
  reg_add "$client_key" /v pv /t REG_SZ /d 0.0.0.0
  cp "$variants/$variant.exe" "$web/fwlink/p/index.html"
  rc=0; run_wine "$VESTRANA_SETUP_LOCALWEB" --silent || rc=$?
  check_eq "$variant: the install fails like a failed download" 1 "$rc"
  check "$variant: the bootstrapper did not run" test ! -e "$bootstrapper_log"
  check_eq "$variant: no runtime is registered" 0.0.0.0 "$(runtime_version)"
  check "$variant: nothing of the download is left" no_download_left
done

cp "$variants/vendor.exe" "$web/fwlink/p/index.html"
rc=0; run_wine "$VESTRANA_SETUP_LOCALWEB" --silent || rc=$?
check_eq "the vendor's bootstrapper runs and the install succeeds" 0 "$rc"
check_eq "it ran once, with /silent /install" "/silent /install" "$(tr -d '\r' <"$bootstrapper_log" 2>/dev/null)"
check_eq "it registered the runtime" 120.0.0.1 "$(runtime_version)"
check "nothing of the download is left" no_download_left
check "no copy of it went into the WinINet cache" cache_is_empty
stop_server
check "the port is free again" wait_for port_free

for mode in silent stops; do
  reg_add "$client_key" /v pv /t REG_SZ /d 0.0.0.0
  check "$mode: the stalling server is up" serve_stalling "$mode"
  started=$(now)
  rc=0; timeout 120 wine "$VESTRANA_SETUP_LOCALWEB" --silent >/dev/null 2>&1 || rc=$?
  took=$(seconds_since "$started")
  check_eq "$mode: the install fails" 1 "$rc"
  check "$mode: not before the stall limit (took $took s)" at_least "$took" 5
  check "$mode: well within a minute (took $took s)" at_least 40 "$took"
  check "$mode: nothing of the download is left" no_download_left
  stop_server
  check "$mode: the port is free again" wait_for port_free
done
finish
