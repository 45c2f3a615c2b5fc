#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the test suite with a throw-away PostgreSQL server beside it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
pgdir=$(mktemp -d /tmp/kvpg.XXXXXX)
chmod 755 "$pgdir"
port=$(( 50000 + RANDOM % 10000 ))
trap '"$root/scripts/pg.sh" stop "$pgdir"' EXIT
export KELVORA_TEST_PG=$("$root/scripts/pg.sh" start "$pgdir" "$port")
echo "test PostgreSQL server: $KELVORA_TEST_PG"
cd "$build"
ctest --output-on-failure -j2 "$@"
