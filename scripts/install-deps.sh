#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, benchmark and run. Idempotent: packages
# already present are skipped, and nothing is downloaded when all are there. Runs as root or through sudo.
set -euo pipefail

packages=(
  # toolchain
  cmake g++ make pkg-config ccache clang-format libgtest-dev libgmock-dev libbenchmark-dev
  # libraries the library builds on
  zlib1g-dev libminizip-dev libdevil-dev libstb-dev libarchive-dev libglib2.0-dev shared-mime-info
  libgtk-3-dev libwebkit2gtk-4.1-dev libcli11-dev libattr1-dev libbz2-dev liblzma-dev libzstd-dev nlohmann-json3-dev
  # the command's man page (made at build time) and the place its completion is installed
  help2man bash-completion
  # what the tests and benchmarks run
  zip unzip zstd 7zip libarchive-tools python3 procps attr xvfb xauth xdotool dbus libglib2.0-bin python3-gi
  gir1.2-glib-2.0 python3-dbus imagemagick file bc
  # real panels the tray is tested on, with a window manager
  lxqt-panel haskell-gtk-sni-tray-utils haskell-status-notifier-item-utils openbox
  # fuzzing (libFuzzer comes with clang; its sanitizer runtimes with libclang-rt)
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
start=$(date +%s)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "install-deps: done in $(( $(date +%s) - start )) s"
