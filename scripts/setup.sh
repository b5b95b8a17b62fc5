#!/usr/bin/env bash
# Installs, with apt-get, whatever of Tovel's build and test tools is missing
# on a Debian 12 machine. Uses sudo when not run as root.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgmp-dev
  libgtest-dev libbenchmark-dev
  fonts-noto-cjk qt6-translations-l10n
  desktop-file-utils appstream
  # Help (F1) and the About window's links open through xdg-open.
  xdg-utils
  dpkg-dev strace
  clang-format git
  # The desktop tests: a display, a window manager, a stand-in clipboard
  # manager built on Xlib, and the tools that drive and read the windows.
  xvfb xauth openbox xdotool x11-utils xclip libx11-dev
  # ... the GTK platform theme, and a screen reader's view through AT-SPI
  # on a private D-Bus session.
  qt6-gtk-platformtheme dbus at-spi2-core python3-pyatspi
  # The search provider's test: a private session bus (dbus-run-session)
  # and gdbus to call it. (QtDBus comes with qt6-base-dev.)
  dbus-daemon libglib2.0-bin
  # ... and native Wayland on a headless compositor.
  weston qt6-wayland
  # ... and a Japanese input method switched on: fcitx5 with mozc, and
  # fcitx5's input-method plugin for Qt 6 (dbus-send asks fcitx5 how it is).
  fcitx5 fcitx5-mozc mozc-server fcitx5-frontend-qt6 dbus-bin
  # tovelconv's completion test drives the real bash completion.
  bash-completion
)
if [[ "${1:-}" == "--with-screenshots" ]]; then
  PACKAGES+=(imagemagick)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
