#!/usr/bin/env bash
# Starts tradebill-server for a chain. DATA_DIR holds the server's certificate and log, and the
# database when it is a SQLite file. With PG_URL the books live in PostgreSQL instead: the
# database is created when absent (as the URL's user, who needs CREATEDB), and the server puts
# the schema and the administrator into it on first start.
#   DATA_DIR=/var/lib/tradebill PORT=8443 appserver/start-server.sh [more tradebill-server options]
#   PG_URL=postgresql://tradebill@localhost:5432/tradebill DATA_DIR=... appserver/start-server.sh
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
DATA_DIR=${DATA_DIR:-/var/lib/tradebill}
PORT=${PORT:-8443}
PG_URL=${PG_URL:-}
BIN=${TRADEBILL_SERVER:-}
if [ -z "$BIN" ]; then
  for candidate in "$here/tradebill-server" "$here/../build/appserver/tradebill-server"; do
    [ -x "$candidate" ] && BIN="$candidate" && break
  done
fi
[ -n "$BIN" ] || { echo "tradebill-server not found; build it or set TRADEBILL_SERVER" >&2; exit 1; }
mkdir -p "$DATA_DIR"
database="$DATA_DIR/chain.db"
if [ -n "$PG_URL" ]; then
  base=${PG_URL%%\?*}
  name=${base##*/}
  [[ "$name" =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]] || { echo "PG_URL must end in a plain database name: $PG_URL" >&2; exit 1; }
  maintenance="${base%/*}/postgres"
  if [ -z "$(psql "$maintenance" -Atc "select 1 from pg_database where datname = '$name'")" ]; then
    psql "$maintenance" -qc "create database $name encoding 'UTF8' template template0"
    echo "created PostgreSQL database $name"
  fi
  database="$PG_URL"
fi
exec "$BIN" --database "$database" --port "$PORT" --log "$DATA_DIR/server.log" \
  --cert "$DATA_DIR/chain-server.crt" --key "$DATA_DIR/chain-server.key" "$@"
