#!/bin/sh
# A PostgreSQL server of the tests' own on the loopback address: test programs and benchmarks
# start theirs through it, and the Windows builds under Wine reach one a test fixture started:
#   pg_server.sh start DIR [durable]  a new cluster in DIR, its URL in DIR/url (without a
#                             database); without "durable" it does not wait for the disk
#   pg_server.sh stop DIR     stops the server, keeping the cluster
#   pg_server.sh resume DIR   starts the cluster's server again on its port
#   pg_server.sh remove DIR   stops the server and removes DIR
set -eu
command=$1; dir=$2
sync=off; [ "${3:-}" = durable ] && sync=on
bin=${QRX_PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)}
as=""
[ "$(id -u)" -eq 0 ] && as="runuser -u nobody --"
ctl() { $as "$bin/pg_ctl" -D "$dir/data" -w -t 60 "$@" >>"$dir/commands.log" 2>&1; }
case $command in
start)
  rm -rf "$dir"; mkdir -p "$dir"
  [ -z "$as" ] || chown nobody "$dir"
  $as "$bin/initdb" -D "$dir/data" -A trust -U postgres -E UTF8 --no-sync >"$dir/commands.log" 2>&1
  for attempt in 1 2 3 4 5; do
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    # The server's own settings file, so that a resumed server listens where it did.
    $as sh -c "cat > '$dir/data/postgresql.auto.conf'" <<CONF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
max_connections = 200
shared_buffers = 32MB
fsync = $sync
synchronous_commit = $sync
full_page_writes = $sync
CONF
    if ctl -l "$dir/server.log" start; then
      echo "postgresql://postgres@127.0.0.1:$port/" >"$dir/url"
      exit 0
    fi
  done
  echo "the PostgreSQL server did not start, see $dir/server.log" >&2; exit 1 ;;
# Both leave their exit status in DIR/COMMAND.status for a caller that cannot wait for them.
stop) rc=0; ctl -m fast stop || rc=$?; echo $rc >"$dir/stop.status"; exit $rc ;;
resume) rc=0; ctl -l "$dir/server.log" start || rc=$?; echo $rc >"$dir/resume.status"; exit $rc ;;
remove) ctl -m fast stop || true; rm -rf "$dir" ;;
*) echo "usage: pg_server.sh start|stop|resume|remove DIR" >&2; exit 2 ;;
esac
