#!/usr/bin/env bash
# The main job: a whole installation on this machine, without any network but loopback.
#
# Starts glyphora-distserver on 127.0.0.1 serving the demo package (the scripted fake
# package built with the tests) and glyphora-collector as the analytics endpoint, then runs
# `glyphora-installer -silent` against them into a new folder under the temporary folder,
# and prints where the product was installed and the analytics records that arrived. The
# installation's records (registry stand-in, analytics settings) and the installer's trace
# lines also stay inside that folder, so the demo leaves the user's own settings alone.
# Extra arguments go to the installer (for example -downloadtype=3). The server is stopped
# on every way out.
#
# Environment: GLYPHORA_BIN (default build/bin) selects the build.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${GLYPHORA_BIN:-build/bin}
for tool in glyphora-installer glyphora-distserver glyphora-collector glyphora-fake-package; do
  if [ ! -x "$BIN/$tool" ]; then
    echo "demo: $BIN/$tool is missing; build first (./setup.sh build)" >&2
    exit 2
  fi
done

DEMO=$(mktemp -d "${TMPDIR:-/tmp}/glyphora-demo-XXXXXX")
SERVER_PID=""
COLLECTOR_PID=""
cleanup() {
  local pid
  for pid in $SERVER_PID $COLLECTOR_PID; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$BIN/glyphora-distserver" --file "$BIN/glyphora-fake-package" --name Glyphora-setup.exe \
  --port 0 >"$DEMO/server.log" 2>&1 &
SERVER_PID=$!
URL=""
for _ in $(seq 100); do
  URL=$(sed -n 's/^download //p' "$DEMO/server.log")
  [ -n "$URL" ] && break
  if ! kill -0 "$SERVER_PID" 2>/dev/null; then break; fi
  sleep 0.1
done
if [ -z "$URL" ]; then
  echo "demo: the distribution server did not start:" >&2
  cat "$DEMO/server.log" >&2
  exit 2
fi
echo "demo: distribution server at $URL"

"$BIN/glyphora-collector" --port 0 --cert-dir "$DEMO" --output "$DEMO/analytics.jsonl" \
  >"$DEMO/collector.log" 2>&1 &
COLLECTOR_PID=$!
ANALYTICS_URL=""
CERT=""
for _ in $(seq 100); do
  first=$(head -n 1 "$DEMO/collector.log" 2>/dev/null || true)
  ANALYTICS_URL=$(sed -n 's/.* url=\([^ ]*\).*/\1/p' <<<"$first")
  CERT=$(sed -n 's/.* cert=\([^ ]*\).*/\1/p' <<<"$first")
  [ -n "$ANALYTICS_URL" ] && break
  if ! kill -0 "$COLLECTOR_PID" 2>/dev/null; then break; fi
  sleep 0.1
done
if [ -z "$ANALYTICS_URL" ]; then
  echo "demo: the analytics collector did not start:" >&2
  cat "$DEMO/collector.log" >&2
  exit 2
fi
echo "demo: analytics collector at $ANALYTICS_URL"

TARGET="$DEMO/Lexivo"
set +e
XDG_CONFIG_HOME="$DEMO/config" APPDATA="$DEMO/appdata" XDG_DATA_HOME="$DEMO/data" \
  XDG_RUNTIME_DIR="$DEMO" GLYPHORA_TRACE="$DEMO/trace.log" \
  GLYPHORA_ANALYTICS_URL="$ANALYTICS_URL" CURL_CA_BUNDLE="$CERT" \
  "$BIN/glyphora-installer" -silent "-installdir=$TARGET" "-downloadurl=$URL" "$@"
status=$?
set -e
if [ $status -eq 0 ]; then
  echo "demo: the product was installed in $TARGET:"
  ls -l "$TARGET"
  echo "demo: records: $DEMO/config/OrvanSoft/Glyphora.reg, $TARGET/set.ini; trace: $DEMO/trace.log"
  if [ -s "$DEMO/analytics.jsonl" ]; then
    echo "demo: analytics events received ($DEMO/analytics.jsonl):"
    sed -n -e 's/.*"event":"\([^"]*\)".*"ov_task_name":"\([^"]*\)".*"ov_task_result":"\([^"]*\)".*/  \1 \2 \3/p' \
      -e 't' -e 's/.*"event":"\([^"]*\)".*/  \1/p' "$DEMO/analytics.jsonl"
  fi
else
  echo "demo: the installer ended with exit code $status; trace: $DEMO/trace.log" >&2
fi
exit $status
