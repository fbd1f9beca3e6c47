#!/usr/bin/env bash
# Installs the headless word processor and the PDF text tools used by the Word report's
# conversion test. Safe to run again; kept apart from setup.sh because it is large.
set -euo pipefail
PKGS=(libreoffice-writer-nogui poppler-utils)
bash "$(dirname "$0")/install-packages.sh" "${PKGS[@]}"
