#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running the demo need, and
# any further packages named as arguments (the fuzzers' and benchmarks' own).
# Runs as root (or through sudo); safe to run again: only missing packages are installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtscript5-dev
  # QWindowSystemInterface: a test queues user input as the window system does.
  qtbase5-private-dev
  libboost-system-dev libboost-thread-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  valgrind
  # The Windows build of the core and the server, and Wine to run it.
  g++-mingw-w64-x86-64-posix googletest wine wine64
  # The check that the module compiles as 32-bit and 64-bit Windows code against Qt 4.8.
  g++-mingw-w64-i686-posix
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
