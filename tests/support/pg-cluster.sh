#!/usr/bin/env bash
# The PostgreSQL cluster one test run shares: "start DIR" runs initdb into DIR and starts a server
# on a free local port (written to DIR/port); "stop DIR" stops it and removes DIR. As root (CI)
# the server runs as the unprivileged postgres user. Starting never fails the run: the reason goes
# to DIR/error, and the PostgreSQL suites fail with it.
set -u
cmd=$1 dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(runuser -u postgres --)
case $cmd in
start)
  rm -rf "$dir"; mkdir -p "$dir"
  if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "no server binaries under /usr/lib/postgresql/*/bin (install the postgresql package: scripts/install-deps.sh)" > "$dir/error"; exit 0
  fi
  [ ${#as_user[@]} -gt 0 ] && chown postgres "$dir"
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  if ! out=$(cd "$dir" && "${as_user[@]}" "$bin/initdb" -D "$dir/data" -U tradebill -A trust -E UTF8 --no-locale --no-sync 2>&1); then
    echo "initdb failed: $out" > "$dir/error"; exit 0
  fi
  opts="-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=60"
  if ! out=$(cd "$dir" && "${as_user[@]}" "$bin/pg_ctl" -D "$dir/data" -o "$opts" -l "$dir/server.log" -w -t 60 start 2>&1); then
    echo "pg_ctl start failed: $out $(tail -20 "$dir/server.log" 2>/dev/null)" > "$dir/error"; exit 0
  fi
  echo "$port" > "$dir/port"
  ;;
stop)
  [ -f "$dir/port" ] && (cd "$dir" && "${as_user[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1)
  rm -rf "$dir"
  ;;
esac
exit 0
