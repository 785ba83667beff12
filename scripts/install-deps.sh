#!/usr/bin/env bash
# Installs the Debian packages the program needs, and with --tests what the tests
# need too. Safe to run again: it asks apt only for what is missing and is quiet
# when everything is there.
#   --tests     libraries and tools of the test suite
#   --package   what scripts/package.sh needs to build and check the .deb
#   --sanitize  clang and its sanitizer and libFuzzer runtimes
#   --format    clang-format, for the format target and its check
#   --extras    benchmarks and screenshots
set -euo pipefail

packages=(
  cmake g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libmp3lame-dev libmpg123-dev libsndfile1-dev libsoxr-dev
  libxcb1-dev libwayland-dev
  # chmcmd compiles the help file; its package depends on fpc-source (about 200 MB),
  # and Debian has no lighter CHM compiler.
  fp-utils
  fonts-noto-cjk
  xchm
)
for option in "$@"; do
  case "$option" in
    --tests) packages+=(googletest libgtest-dev libchm-bin desktop-file-utils appstream ffmpeg
                        xvfb openbox xdotool x11-utils python3-pyatspi at-spi2-core dbus) ;;
    --package) packages+=(dpkg-dev fakeroot lintian file) ;;
    --sanitize) packages+=(clang libclang-rt-14-dev) ;;
    --format) packages+=(clang-format) ;;
    --extras) packages+=(lame mpg123 ffmpeg xvfb x11-apps x11-utils openbox xdotool imagemagick time bc) ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
