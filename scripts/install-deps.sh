#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need.
# Does nothing when every package is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsqlite3-dev sqlite3 libsodium-dev
  qt6-base-dev libxcb1-dev libcanberra-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-apps x11-utils openbox fonts-liberation2
  clang libclang-rt-14-dev clang-format clang-tidy
  time bc locales
  mdbtools-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The users' locale: the end-to-end tests run the program under it.
if ! locale -a 2>/dev/null | grep -qix 'pt_BR\.utf-\?8'; then
  echo "Generating the pt_BR.UTF-8 locale"
  if grep -q '^# *pt_BR.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    $SUDO sed -i 's/^# *\(pt_BR.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^pt_BR.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'pt_BR.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen
fi
