#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop app on the embedded demo
# database (created and filled on first run). Extra arguments go to the app.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
exec ./build/app/tradebill "$@"
