#!/usr/bin/env bash
# Installs the headless browser used by the HTML report's rendering test. Safe to run again;
# kept apart from setup.sh because it is large. The test is skipped when this fails.
set -euo pipefail
PKGS=(chromium fonts-dejavu-core)
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
