#!/usr/bin/env bash
# Download benchmarks: the installer's downloaders side by side with peer tools, on one
# 512 MiB file served by nginx on 127.0.0.1.
#
#   bench/download/run.sh [BUILD_DIR]     (default: build; needs glyphora-fetch built)
#
# 1. single stream: glyphora-fetch --type 1 against curl -o (throughput and CPU seconds
#    per GiB); run on the digest address (the downloader verifies the MD5, as it must) and
#    on an address without a digest segment (transfer only).
# 2. segmented: glyphora-fetch --type 3 against aria2c -x2 -s2, nginx limiting each
#    connection to 20 MiB/s (with and without the MD5 check; the merge of the parts is
#    always done); our single stream under the same limit for the ratio.
# 3. peak resident memory of glyphora-fetch during a 512 MiB download (each type).
#
# Installs curl, aria2, nginx, hyperfine and python3 with apt-get when missing. Uses only
# 127.0.0.1 and a private temp folder, removed at the end.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build}
FETCH=$BUILD/bin/glyphora-fetch
RUNS=${RUNS:-3}
LIMITED_RUNS=${LIMITED_RUNS:-2}
SIZE=${BENCH_SIZE:-$((512 * 1024 * 1024))}  # BENCH_SIZE only for a quick smoke run
RATE=20m   # nginx limit_rate per connection (20 MiB/s)

[ -x "$FETCH" ] || { echo "bench: $FETCH missing; build first (cmake --build $BUILD --target glyphora-fetch)"; exit 2; }

need=()
for p in curl:curl aria2c:aria2 nginx:nginx hyperfine:hyperfine python3:python3; do
  command -v "${p%%:*}" >/dev/null 2>&1 || [ -x "/usr/sbin/${p%%:*}" ] || need+=("${p##*:}")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${need[@]}"
fi
NGINX=$(command -v nginx || echo /usr/sbin/nginx)

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glyphora-bench-XXXXXX")
NGINX_PID=""
cleanup() {
  [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

echo "bench: making a $SIZE-byte package in $WORK"
head -c "$SIZE" /dev/urandom > "$WORK/pkg.bin"
chmod 755 "$WORK"; chmod 644 "$WORK/pkg.bin"   # nginx workers may run as another user
MD5=$(md5sum "$WORK/pkg.bin" | cut -d' ' -f1)
PORT=$(free_port)
LPORT=$(free_port)
mkdir -p "$WORK/nginx/tmp" "$WORK/out"
cat > "$WORK/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log warn;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $WORK/nginx/tmp/body;
  proxy_temp_path $WORK/nginx/tmp/proxy;
  fastcgi_temp_path $WORK/nginx/tmp/fastcgi;
  uwsgi_temp_path $WORK/nginx/tmp/uwsgi;
  scgi_temp_path $WORK/nginx/tmp/scgi;
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:$PORT;
    location = /software/259 { return 302 /pkg/$MD5/pkg.bin; }
    location /pkg/ { rewrite ^/pkg/[^/]+/(.*)\$ /files/\$1 last; }
    location /files/ { alias $WORK/; }
  }
  server {
    listen 127.0.0.1:$LPORT;
    limit_rate $RATE;
    location = /software/259 { return 302 /pkg/$MD5/pkg.bin; }
    location /pkg/ { rewrite ^/pkg/[^/]+/(.*)\$ /files/\$1 last; }
    location /files/ { alias $WORK/; }
  }
}
CONF
"$NGINX" -e "$WORK/nginx/error.log" -p "$WORK/nginx/" -c "$WORK/nginx/nginx.conf" &
NGINX_PID=$!
for _ in $(seq 50); do curl -sf -o /dev/null -I "http://127.0.0.1:$PORT/software/259" && break; sleep 0.1; done

FINAL="http://127.0.0.1:$PORT/pkg/$MD5/pkg.bin"
NODIGEST="http://127.0.0.1:$PORT/files/pkg.bin"
ENTRY="http://127.0.0.1:$PORT/software/259"
LFINAL="http://127.0.0.1:$LPORT/pkg/$MD5/pkg.bin"
LENTRY="http://127.0.0.1:$LPORT/software/259"
LNODIGEST="http://127.0.0.1:$LPORT/files/pkg.bin"
OUT=$WORK/out/pkg.bin
PREP="rm -f $OUT $OUT.part ${OUT}_0 ${OUT}_1 $OUT.aria2"
export GLYPHORA_TRACE=off

echo "bench: load before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
hyperfine --style basic --runs "$RUNS" --prepare "$PREP" --export-json "$WORK/single.json" \
  -n "curl -o" "curl -sf -o $OUT $FINAL" \
  -n "fetch type 1 (with MD5 check)" "$FETCH --no-progress --type 1 $ENTRY $OUT" \
  -n "fetch type 1 (transfer only)" "$FETCH --no-progress --type 1 $NODIGEST $OUT"

hyperfine --style basic --runs "$LIMITED_RUNS" --prepare "$PREP" --export-json "$WORK/segmented.json" \
  -n "aria2c -x2 -s2" "aria2c -q -x2 -s2 --allow-overwrite=true --auto-file-renaming=false -d $WORK/out -o pkg.bin $LFINAL" \
  -n "fetch type 3" "$FETCH --no-progress --type 3 $LENTRY $OUT" \
  -n "fetch type 3 (no MD5 check)" "$FETCH --no-progress --type 3 $LNODIGEST $OUT" \
  -n "fetch type 1 (same limit)" "$FETCH --no-progress --type 1 $LENTRY $OUT"

echo "bench: peak resident memory of glyphora-fetch ($SIZE-byte download)"
for t in 1 2 3; do
  eval "$PREP"
  "$FETCH" --no-progress --stats --type "$t" "$ENTRY" "$OUT" >/dev/null 2>"$WORK/stats$t" || true
  echo "  type $t: $(tail -1 "$WORK/stats$t")"
done
md5sum "$OUT" | grep -q "$MD5" && echo "  (last download verified: $MD5)"
echo "bench: load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$WORK/single.json" "$WORK/segmented.json" "$SIZE" <<'PY'
import json, sys
size = int(sys.argv[3])
gib = size / 2**30
def load(path):
    return {r["command"]: r for r in json.load(open(path))["results"]}
def line(name, r):
    mbps = size / r["mean"] / 1e6
    cpu = (r["user"] + r["system"]) / gib
    print(f"  {name:32s} {r['mean']:7.2f} s  {mbps:8.1f} MB/s  {cpu:6.2f} CPU s/GiB")
    return mbps, cpu
single = load(sys.argv[1]); seg = load(sys.argv[2])
print("single stream (unlimited):")
c_t, c_cpu = line("curl -o", single["curl -o"])
f_t, f_cpu = line("fetch type 1 (with MD5 check)", single["fetch type 1 (with MD5 check)"])
o_t, o_cpu = line("fetch type 1 (transfer only)", single["fetch type 1 (transfer only)"])
print(f"  throughput vs curl: {f_t / c_t:.2f} (with MD5), {o_t / c_t:.2f} (transfer only); target >= 0.90")
print(f"  CPU per GiB vs curl: {f_cpu / c_cpu:.2f} (with MD5), {o_cpu / c_cpu:.2f} (transfer only); target <= 1.20")
print("segmented (20 MiB/s per connection):")
a_t, _ = line("aria2c -x2 -s2", seg["aria2c -x2 -s2"])
m_t, _ = line("fetch type 3", seg["fetch type 3"])
n_t, _ = line("fetch type 3 (no MD5 check)", seg["fetch type 3 (no MD5 check)"])
s_t, _ = line("fetch type 1 (same limit)", seg["fetch type 1 (same limit)"])
print(f"  throughput vs aria2c: {m_t / a_t:.2f} (with MD5), {n_t / a_t:.2f} (no MD5 check); target >= 0.95")
print(f"  throughput vs our single stream: {m_t / s_t:.2f} (both with MD5); target >= 1.80")
PY
