#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Murmuro needs.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # audio capture, encoding and decoding
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  gstreamer1.0-pulseaudio
  # offline speech recognition
  libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us
  # X11 hotkey, active window and synthetic paste
  libx11-dev libxtst-dev libxcb1-dev libxcb-keysyms1-dev libxcb-xtest0-dev
  # Wayland: our own connection for the virtual keyboard, clipboard and overlay; QtDBus for the portals
  libwayland-dev libxkbcommon-dev qt6-wayland wl-clipboard
  # confirmation sound and the tray label's emoji
  libcanberra-dev libcanberra-pulse sound-theme-freedesktop fonts-noto-color-emoji
  # headless desktop and sound server for the tests
  xvfb xauth openbox trayer xdotool x11-utils pulseaudio pulseaudio-utils
  espeak-ng sox imagemagick
  # network namespaces for the suites that start servers (tests/private-network.sh)
  iproute2 util-linux
  # fuzz targets: clang with libFuzzer and the sanitizers' runtime (only recommended by clang-14)
  clang-14 libclang-rt-14-dev
  # headless Wayland session for the tests, with GTK 3 and Qt target windows, and a private session bus for it
  # and for the fake notification server
  sway wtype ydotool dbus-daemon python3-gi gir1.2-gtk-3.0
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
