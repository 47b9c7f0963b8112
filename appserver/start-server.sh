#!/usr/bin/env bash
# Starts tradebill-server for a chain. DATA_DIR holds the database (made with the schema and
# its administrator on first start), the server's certificate and the log.
#   DATA_DIR=/var/lib/tradebill PORT=8443 appserver/start-server.sh [more tradebill-server options]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
DATA_DIR=${DATA_DIR:-/var/lib/tradebill}
PORT=${PORT:-8443}
BIN=${TRADEBILL_SERVER:-}
if [ -z "$BIN" ]; then
  for candidate in "$here/tradebill-server" "$here/../build/appserver/tradebill-server"; do
    [ -x "$candidate" ] && BIN="$candidate" && break
  done
fi
[ -n "$BIN" ] || { echo "tradebill-server not found; build it or set TRADEBILL_SERVER" >&2; exit 1; }
mkdir -p "$DATA_DIR"
exec "$BIN" --database "$DATA_DIR/chain.db" --port "$PORT" --log "$DATA_DIR/server.log" "$@"
