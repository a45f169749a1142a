#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when
# any is missing. Usage: scripts/deps.sh [build|run|test]  (default: test)
set -euo pipefail
what=${1:-test}

build_pkgs="cmake ninja-build g++ python3 zlib1g-dev g++-mingw-w64-x86-64-posix libz-mingw-w64-dev"
run_pkgs="wine wine64 xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic locales openbox procps"
test_pkgs="libgtest-dev clang libclang-rt-14-dev zip unzip libarchive-tools gcab jlha-utils cabextract lhasa p7zip-full time"

case "$what" in
  build) pkgs="$build_pkgs" ;;
  run) pkgs="$build_pkgs $run_pkgs" ;;
  *) pkgs="$build_pkgs $run_pkgs $test_pkgs" ;;
esac

missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
fi

# The end-to-end tests also run the program under a Japanese locale.
if [ "$what" != build ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  $SUDO sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
