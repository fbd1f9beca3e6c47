#!/usr/bin/env bash
# Installs every Debian package Dalvane needs to build, run and test. Safe to run again.
set -euo pipefail
PKGS=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libqt6svg6 qt6-qpa-plugins libgl-dev
  libxml2-dev libxslt1-dev libmimalloc-dev
  unixodbc unixodbc-dev odbcinst libsqliteodbc odbc-postgresql odbc-mariadb tdsodbc
  libssl-dev libcurl4-openssl-dev libzip-dev libjpeg-dev
  libmdb3 libmdbsql3 mdbtools mdbtools-dev odbc-mdbtools
  googletest libgtest-dev libgmock-dev
  sqlite3 fonts-dejavu-core xvfb xauth poppler-utils python3-sqlglot
  postgresql mariadb-server
)
bash "$(dirname "$0")/install-packages.sh" "${PKGS[@]}"
