#!/usr/bin/env bash
# Runs a command next to a throw-away PostgreSQL cluster.
#
#   tools/with-postgres.sh COMMAND [ARGS...]
#
# The cluster lives in a temporary folder, listens only on a Unix socket in that folder (no
# TCP), trusts local connections, and runs as an unprivileged user (postgres, or nobody) when
# started as root; as root it also installs postgresql-15 when that is missing. The command
# gets BANDHOPPER_TEST_POSTGRES=postgresql://bandhopper@<socket folder, percent-encoded>/postgres.
# The cluster is stopped and the folder removed however the command ends; the exit status is
# the command's.
set -euo pipefail
if [ $# -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi
server_bin() { find /usr/lib/postgresql -maxdepth 2 -name bin -type d 2>/dev/null | sort -V | tail -1; }
bin=$(server_bin)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "PostgreSQL server programs not found; install postgresql-15 or run this as root." >&2
        exit 1
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends postgresql-15 \
        libqt6sql6-psql libqt6sql6-sqlite
    bin=$(server_bin)
fi

dir=$(mktemp -d /tmp/bh-pg.XXXXXX)
as=()
if [ "$(id -u)" -eq 0 ]; then
    user=postgres
    id "$user" >/dev/null 2>&1 || user=nobody
    chown "$user" "$dir"
    chmod 755 "$dir" # the socket is reachable for a command that drops root (bootstrap.sh under sudo)
    as=(runuser -u "$user" --)
fi
cleanup() {
    "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap cleanup EXIT

if ! "${as[@]}" "$bin/initdb" -D "$dir/data" -U bandhopper -A trust -E UTF8 --no-locale \
    >"$dir/initdb.log" 2>&1; then
    cat "$dir/initdb.log" >&2
    exit 1
fi
# Durability is pointless for a cluster that is deleted afterwards.
if ! "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-c listen_addresses='' -k $dir -c fsync=off -c synchronous_commit=off -c max_connections=200" \
    start >/dev/null; then
    cat "$dir/server.log" >&2
    exit 1
fi

export BANDHOPPER_TEST_POSTGRES="postgresql://bandhopper@${dir//\//%2F}/postgres"
status=0
"$@" || status=$?
exit "$status"
