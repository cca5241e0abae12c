#!/usr/bin/env bash
# Installs what building and testing the library needs and the machine lacks.
#
# The one list of build and test dependencies: every other script calls this
# one. Each package is checked by a file or command it provides; only the
# missing ones are installed, with apt-get (through sudo when not root). Where
# that cannot be done it prints the missing packages and the command that
# installs them, and exits non-zero.
#
# Usage: scripts/deps.sh [--check]   (--check: report only, install nothing)
set -euo pipefail

# package  what shows it is there (a command name, or an absolute path)
packages=(
  "cmake                 cmake"
  "make                  make"
  "g++                   g++"
  "binutils              nm"
  "pkg-config            pkg-config"
  "python3               python3"
  "libintelrdfpmath-dev  /usr/include/bid_functions.h"
  "libgtest-dev          /usr/include/gtest/gtest.h"
  "libgmock-dev          /usr/include/gmock/gmock.h"
  "libbenchmark-dev      /usr/include/benchmark/benchmark.h"
)

present() {
  case "$1" in
    /*) [ -e "$1" ] ;;
    *) command -v "$1" >/dev/null 2>&1 ;;
  esac
}

missing=()
for row in "${packages[@]}"; do
  read -r package probe <<<"$row"
  present "$probe" || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

install_cmd="apt-get update && apt-get install -y ${missing[*]}"
if [ "${1:-}" = "--check" ]; then
  echo "missing: ${missing[*]}" >&2
  echo "install them with: $install_cmd" >&2
  exit 1
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "missing: ${missing[*]}" >&2
    echo "as root, install them with: $install_cmd" >&2
    exit 1
  fi
fi
if ! command -v apt-get >/dev/null 2>&1; then
  echo "missing: ${missing[*]}" >&2
  echo "this machine has no apt-get; on Debian they install with: $install_cmd" >&2
  exit 1
fi

echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"

still=()
for row in "${packages[@]}"; do
  read -r package probe <<<"$row"
  present "$probe" || still+=("$package")
done
if [ ${#still[@]} -gt 0 ]; then
  echo "still missing after installing: ${still[*]}" >&2
  exit 1
fi
