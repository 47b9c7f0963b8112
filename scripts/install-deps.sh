#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the app and the tests need; quick when they are there.
set -euo pipefail
PKGS=(build-essential cmake ninja-build pkg-config ccache
      qt6-base-dev libqt6sql6-sqlite libsqlite3-dev sqlite3
      libgtest-dev libgmock-dev libbenchmark-dev
      fonts-wqy-zenhei libxlsxwriter-dev poppler-utils python3
      libsodium-dev qt6-translations-l10n libminizip-dev libfreexl-dev
      libssl-dev qt6-httpserver-dev qt6-websockets-dev postgresql libpq-dev)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
