#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs bench_http_get (Get of a 64 MiB body in file and string mode against curl) on a private lighttpd bound to
# loopback. Exits non-zero when a transfer is wrong or a target is missed.
#
# usage: bench/run_http_get.sh path/to/bench_http_get [runs]
set -euo pipefail

bench=$(realpath "${1:?usage: $0 path/to/bench_http_get [runs]}")
runs=${2:-7}
lighttpd=$(command -v lighttpd || echo /usr/sbin/lighttpd)
work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/www"
head -c $((64 << 20)) /dev/urandom >"$work/www/body.bin"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/lighttpd.conf" <<CONF
server.document-root = "$work/www"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$work/error.log"
mimetype.assign = ("" => "application/octet-stream")
CONF
"$lighttpd" -D -f "$work/lighttpd.conf" &
server=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.05
done

"$bench" "http://127.0.0.1:$port/body.bin" $((64 << 20)) "$work" "$runs"
