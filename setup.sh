#!/usr/bin/env bash
# Installs what is missing (Debian packages), builds, then either starts the program or runs every test.
#   bash setup.sh run    build and start Numbers As Words
#   bash setup.sh test   build and run the whole test suite headless; under CI (CI=true), or with
#                        NAW_SANITIZE=1, the suite then runs a second time in an address- and
#                        undefined-behaviour-checked build
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

run_tests() {
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2)
}

case "$mode" in
  run)  exec "$build_dir/bin/numbers-as-words" ;;
  test)
    run_tests "$build_dir"
    if [ "${CI:-}" = "true" ] || [ "${NAW_SANITIZE:-}" = "1" ]; then
      checked_dir="${build_dir}-sanitize"
      flags="-fsanitize=address,undefined -fno-omit-frame-pointer"
      cmake -S . -B "$checked_dir" -DCMAKE_BUILD_TYPE=Debug -DNAW_BUILD_BENCH=OFF "${extra[@]}" \
            -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" > /dev/null
      cmake --build "$checked_dir" -j "$(nproc)"
      ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_tests "$checked_dir"
    fi
    ;;
  *)    echo "usage: bash setup.sh [run|test]" >&2; exit 2 ;;
esac
