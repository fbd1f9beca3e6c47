#!/usr/bin/env bash
# Installs the headless browser used by the HTML report's rendering test. Safe to run again;
# kept apart from setup.sh because it is large. The test is skipped when this fails.
set -euo pipefail
PKGS=(chromium fonts-dejavu-core)
bash "$(dirname "$0")/install-packages.sh" "${PKGS[@]}"
