#!/usr/bin/env bash
# Installs the headless word processor and the PDF text tools used by the Word report's
# conversion test. Safe to run again; kept apart from setup.sh because it is large.
set -euo pipefail
PKGS=(libreoffice-writer-nogui poppler-utils)
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
