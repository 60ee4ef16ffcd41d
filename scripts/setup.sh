#!/usr/bin/env bash
# Installs the Debian 12 packages of the named groups, and any further packages named as
# arguments; without a group, every group. Runs as root (or through sudo); safe to run
# again: only missing packages are installed.
#   demo     building the host, the module and the server, and running the demo
#   test     the test command on top of that: valgrind for the demo under memcheck, clang
#            for the fuzzers, Boost.Thread for the logging tests
#   windows  the Windows builds (mingw-w64, 64-bit and 32-bit) and Wine to run them, on a
#            virtual display (xvfb-run) for the Qt programs' event loop
#   bench    the benchmarks and their baselines
# Usage: setup.sh [demo|test|windows|bench]... [PACKAGE]...
set -euo pipefail

build=(build-essential cmake ninja-build)
demo=("${build[@]}" qtbase5-dev qtscript5-dev libboost-system-dev)
test=("${demo[@]}" libgtest-dev libgmock-dev libboost-thread-dev valgrind clang libclang-rt-14-dev
      # QWindowSystemInterface: a test queues user input as the window system does.
      qtbase5-private-dev)
windows=("${build[@]}" libboost-system-dev
         g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine wine64 xvfb xauth)
bench=("${demo[@]}" libbenchmark-dev libspdlog-dev)

packages=()
groups=0
for argument in "$@"; do
  case "$argument" in
    demo) packages+=("${demo[@]}"); groups=$((groups + 1)) ;;
    test) packages+=("${test[@]}"); groups=$((groups + 1)) ;;
    windows) packages+=("${windows[@]}"); groups=$((groups + 1)) ;;
    bench) packages+=("${bench[@]}"); groups=$((groups + 1)) ;;
    *) packages+=("$argument") ;;
  esac
done
if [ "$groups" -eq 0 ]; then
  packages+=("${test[@]}" "${windows[@]}" "${bench[@]}")
fi

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# Unpacking without a sync per file: a first run's install is mostly writing files, and a
# machine that stops halfway through has to install again anyway.
$SUDO apt-get install -y -qq --no-install-recommends -o Dpkg::Options::=--force-unsafe-io "${missing[@]}"
