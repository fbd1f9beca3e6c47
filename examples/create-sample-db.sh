#!/usr/bin/env bash
# Creates the sample database from sample.sql: examples/sample.db, or the path given.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
target="${1:-$here/sample.db}"
rm -f "$target"
sqlite3 "$target" < "$here/sample.sql"
echo "$target"
