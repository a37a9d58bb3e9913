#!/usr/bin/env bash
# Installs what building and testing need, and nothing when it is all there already.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev g++-mingw-w64-x86-64-posix
    gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb x11-utils imagemagick
    xdotool tmux iproute2 python3 util-linux nginx-light squid curl clang-14 libclang-rt-14-dev
    llvm-14 libssl-dev time)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing+=("$p")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if [[ $(id -u) != 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
