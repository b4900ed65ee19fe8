#!/usr/bin/env bash
# Installs the Debian packages fraktale needs, only those that are missing.
# Usage: scripts/deps.sh run|test|picture|render
set -euo pipefail

build=(cmake g++ make pkg-config freeglut3-dev libglew-dev libglu1-mesa-dev libtiff-dev libx11-dev libmpfr-dev
       libpng-dev libegl-dev libegl-mesa0 libavcodec-dev libavformat-dev libswscale-dev libavutil-dev)
run=(zenity libgl1-mesa-dri)
render=(libgl1-mesa-dri)
test=(libgtest-dev xvfb libgl1-mesa-dri libxtst-dev clang libclang-rt-dev openbox)
picture=(xvfb libgl1-mesa-dri openbox x11-utils x11-apps xdotool netpbm)

wanted=("${build[@]}")
case "${1:-run}" in
  run) wanted+=("${run[@]}") ;;
  test) wanted+=("${test[@]}") ;;
  picture) wanted+=("${picture[@]}") ;;
  render) wanted+=("${render[@]}") ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
