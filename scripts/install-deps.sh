#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it asks apt only for what is missing and is quiet when everything is there.
set -euo pipefail

packages=(
  cmake g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libmp3lame-dev libmpg123-dev libsndfile1-dev libsoxr-dev
  googletest libgtest-dev
  fp-utils
  fonts-noto-cjk
)
# Benchmarks and screenshots want a few more tools; ask for them with --extras.
if [[ "${1:-}" == "--extras" ]]; then
  packages+=(lame ffmpeg xvfb x11-apps x11-utils openbox xdotool imagemagick time bc)
fi

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
