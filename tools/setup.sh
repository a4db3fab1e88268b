#!/usr/bin/env bash
# Installs the Debian packages that building and testing TevloraT needs, when
# some are missing; with package names, those instead. Uses sudo when not run
# as root.
#   tools/setup.sh [PACKAGE...]
set -euo pipefail

packages=(cmake make g++ qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libgtest-dev
          fonts-liberation fontconfig locales clang-format)
# CI's further builds: Clang, the sanitizer and fuzzer runtimes, and
# llvm-symbolizer for readable sanitizer stack traces.
packages+=(clang libclang-rt-14-dev llvm-14)
if [ $# -gt 0 ]; then packages=("$@"); fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

# The tests check the files under a comma locale as well.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ -f /etc/locale.gen ]; then
    as_root sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
fi
