#!/usr/bin/env bash
# The directory service beside nginx on this machine: builds bench_server (Release, in
# build-bench), installs nginx from Debian when it is missing (as root; never in CI), and runs
# the benchmark with both, on SQLite and, through tools/with-postgres.sh, PostgreSQL.
#
#   bench/side-by-side.sh [SECONDS=10] [CLIENTS=64]
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v nginx >/dev/null && [ ! -x /usr/sbin/nginx ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "nginx is not installed; install it (apt-get install nginx-light) or run this as root." >&2
        exit 1
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends nginx-light
    # Only the binary is wanted: the package's own server would hold port 80.
    systemctl disable --now nginx >/dev/null 2>&1 || service nginx stop >/dev/null 2>&1 || true
fi
export BANDHOPPER_NGINX=$(command -v nginx || echo /usr/sbin/nginx)
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBANDHOPPER_BUILD_APP=OFF \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
cmake --build build-bench --target bench_server
bash tools/with-postgres.sh build-bench/bench/bench_server "$@"
