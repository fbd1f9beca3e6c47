#!/usr/bin/env bash
# Installs every Debian package Dalvane needs to build, run and test. Safe to run again.
set -euo pipefail
PKGS=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libqt6svg6 qt6-qpa-plugins libgl-dev
  libxml2-dev libxslt1-dev
  unixodbc unixodbc-dev odbcinst libsqliteodbc odbc-postgresql odbc-mariadb tdsodbc
  libssl-dev libcurl4-openssl-dev libzip-dev
  libmdb3 libmdbsql3 mdbtools mdbtools-dev odbc-mdbtools
  googletest libgtest-dev libgmock-dev
  sqlite3 fonts-dejavu-core
  postgresql mariadb-server
)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq || true
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
