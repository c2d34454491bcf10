#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL 15 server: a new cluster in a temporary folder on
# 127.0.0.1 and a free port, owned by an unprivileged user when run as root, removed afterwards.
# The command finds it in BLUBBI_TEST_POSTGRES_URL.
set -euo pipefail
bin=/usr/lib/postgresql/15/bin
if [ ! -x "$bin/initdb" ]; then
  echo "with-postgres: $bin/initdb is missing (Debian package postgresql-15)" >&2
  exit 1
fi

dir=$(mktemp -d /tmp/blubbi-pg.XXXXXX)
as=()
if [ "$(id -u)" -eq 0 ]; then
  # PostgreSQL refuses to run as root.
  chown nobody "$dir"
  as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env --)
fi
started=""
cleanup() {
  [ -n "$started" ] && "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM

"${as[@]}" "$bin/initdb" -D "$dir/data" -U blubbi --auth=trust --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log" >&2; exit 1; }

# A port that nothing listens on; pg_ctl fails cleanly when another process takes it first.
for _ in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 40000))
  if "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c max_connections=200" start >/dev/null; then
    started=1
    break
  fi
done
if [ -z "$started" ]; then
  cat "$dir/server.log" >&2
  exit 1
fi

export BLUBBI_TEST_POSTGRES_URL="postgresql://blubbi@127.0.0.1:$port/postgres"
echo "with-postgres: PostgreSQL 15 on 127.0.0.1:$port"
"$@"
