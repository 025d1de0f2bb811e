#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL server: a cluster made by initdb in a temporary
# folder, listening only on a Unix socket in that folder and on 127.0.0.1 at a free port, stopped
# and removed afterwards whatever happens. The command finds the server in PYRELTO_TEST_PG (a
# libpq connection string). As root, the server runs as the user "pyrelto-pg" (created when
# missing), since PostgreSQL refuses to run as root.
# Usage: scripts/with_postgres.sh COMMAND [ARG...]
set -euo pipefail
pgbin=${PYRELTO_PG_BIN:-/usr/lib/postgresql/15/bin}
if [ ! -x "$pgbin/initdb" ]; then
  echo "PostgreSQL 15 is missing ($pgbin/initdb). Run as root: apt-get install -y postgresql" >&2
  exit 1
fi

dir=$(mktemp -d /tmp/pyrelto-pg.XXXXXX)
run_as=()
if [ "$(id -u)" -eq 0 ]; then
  id pyrelto-pg >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin pyrelto-pg
  chown pyrelto-pg "$dir"
  run_as=(runuser -u pyrelto-pg --)
fi
stop() {
  if [ -f "$dir/data/postmaster.pid" ]; then
    "${run_as[@]}" "$pgbin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 ||
      "${run_as[@]}" "$pgbin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}
trap stop EXIT
trap 'exit 130' INT TERM

"${run_as[@]}" "$pgbin/initdb" -D "$dir/data" -U postgres --auth=trust --encoding=UTF8 \
  --no-locale >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }

# A port nobody listens on; should another process take it first, the next try gets another.
started=
for _ in $(seq 20); do
  port=$((20000 + RANDOM % 40000))
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    continue
  fi
  if "${run_as[@]}" "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
       -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$dir" \
       start >/dev/null; then
    started=1
    break
  fi
done
if [ -z "$started" ]; then
  echo "The throwaway PostgreSQL server did not start:" >&2
  cat "$dir/server.log" >&2 || true
  exit 1
fi
"$pgbin/pg_isready" -q -h "$dir" -p "$port"

export PYRELTO_TEST_PG="host=127.0.0.1 port=$port dbname=postgres user=postgres"
# A test may stop the server and start it again (a server going down while the program runs).
ctl="${run_as[*]} $pgbin/pg_ctl -D $dir/data"
export PYRELTO_TEST_PG_STOP="$ctl -m fast -w stop >/dev/null"
export PYRELTO_TEST_PG_START="$ctl -l $dir/server.log -w -t 60 -o '-c listen_addresses=127.0.0.1 \
-c port=$port -c unix_socket_directories=$dir' start >/dev/null"
echo "PostgreSQL $("$pgbin/postgres" --version | awk '{print $3}') on 127.0.0.1:$port and $dir"
"$@"
