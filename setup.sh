#!/usr/bin/env bash
# Installs what is missing (Debian packages), builds, then either starts the program or runs every test.
#   bash setup.sh run    build and start Numbers As Words
#   bash setup.sh test   build and run the whole test suite headless
set -euo pipefail
cd "$(dirname "$0")"
mode="${1:-run}"

packages=(build-essential cmake pkg-config qt6-base-dev libgl-dev libicu-dev libgtest-dev
          libbenchmark-dev fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${missing[@]}"
fi

build_dir="${NAW_BUILD_DIR:-build}"
extra=()
[ "${CI:-}" = "true" ] && extra+=(-DNAW_WERROR=ON)
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" > /dev/null
cmake --build "$build_dir" -j "$(nproc)"

case "$mode" in
  run)  exec "$build_dir/bin/numbers-as-words" ;;
  test) cd "$build_dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2 ;;
  *)    echo "usage: bash setup.sh [run|test]" >&2; exit 2 ;;
esac
