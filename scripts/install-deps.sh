#!/usr/bin/env bash
# Installs the Debian packages the build needs; does nothing when all are present.
# Usage: scripts/install-deps.sh [extra packages...]
set -euo pipefail
pkgs=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
      qt6-base-dev libgl-dev libxcb1-dev fonts-liberation fontconfig locales libqcustomplot-dev "$@")
missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "installing: ${missing[*]}"
  # A mirror in the middle of a sync fails one list while the others are fresh;
  # the install below then decides whether what it needs was found.
  if ! "${sudo_cmd[@]}" apt-get update -qq; then
    echo "apt-get update failed for some lists; installing from the lists there are" >&2
  fi
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
