#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the programs and the tests need (only the missing ones).
set -euo pipefail

packages=(
    build-essential cmake ninja-build
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-tools-dev qt6-l10n-tools libgl-dev
    fonts-wqy-microhei
)
for option in "$@"; do
    case "$option" in
    --test) packages+=(xvfb xauth) ;;
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    --package) packages+=(dpkg-dev xvfb xauth x11-utils desktop-file-utils lintian) ;;
    --style) packages+=(clang-format clang-tidy) ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
