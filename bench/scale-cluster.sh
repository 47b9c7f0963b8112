#!/usr/bin/env bash
# The PostgreSQL cluster the scale benchmark keeps between runs (filling it takes minutes):
#   scale-cluster.sh start DIR   initdb into DIR the first time, start the server unless it runs,
#                                print its port (kept in DIR/port)
#   scale-cluster.sh stop DIR    stop the server; the data stays for the next run
#   scale-cluster.sh size DIR    what the data folder takes on disk
# As root the server runs as the unprivileged postgres user, which owns DIR.
set -euo pipefail
cmd=$1 dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -n "$bin" ] && [ -x "$bin/initdb" ] || { echo "no PostgreSQL server under /usr/lib/postgresql/*/bin" >&2; exit 1; }
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(runuser -u postgres --)
case $cmd in
start)
  mkdir -p "$dir"
  [ ${#as_user[@]} -gt 0 ] && chown postgres "$dir"
  if [ ! -f "$dir/data/PG_VERSION" ]; then
    (cd "$dir" && "${as_user[@]}" "$bin/initdb" -D "$dir/data" -U tradebill -A trust -E UTF8 --no-locale >/dev/null)
  fi
  if ! (cd "$dir" && "${as_user[@]}" "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1); then
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    # A server tuned for a bulk fill and a benchmark, not for keeping data safe across crashes;
    # the statements slower than 20 ms go to the log, for the query plans to look at.
    opts="-p $port -k $dir -c listen_addresses=127.0.0.1 -c max_connections=60 -c shared_buffers=512MB"
    opts+=" -c work_mem=64MB -c maintenance_work_mem=512MB -c max_wal_size=8GB"
    opts+=" -c log_min_duration_statement=20"
    (cd "$dir" && "${as_user[@]}" "$bin/pg_ctl" -D "$dir/data" -o "$opts" -l "$dir/server.log" -w -t 120 start >/dev/null)
    echo "$port" > "$dir/port"
  fi
  cat "$dir/port"
  ;;
stop)
  (cd "$dir" && "${as_user[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1) || true
  ;;
size)
  du -sh "$dir/data" | cut -f1
  ;;
esac
