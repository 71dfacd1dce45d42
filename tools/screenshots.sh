#!/usr/bin/env bash
# Writes a PNG of every page of a Standard and of a Gateway sequence and of
# each companion dialog into DIR, drawn on Qt's offscreen platform at
# 550 by 377, by the window tests (built here if needed).
#
#   tools/screenshots.sh DIR [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:?usage: tools/screenshots.sh DIR [BUILD_DIR]}
build=${2:-build-asan}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
if [[ ! -d "$build" ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" \
    -DNIMBRA_SANITIZE=ON
fi
cmake --build "$build" -j2 --target uiqt_tests nimbra-machine
QT_QPA_PLATFORM=offscreen NIMBRA_SCREENSHOTS="$dir" "$build/uiqt_tests" --gtest_filter='WindowTest.EveryTextFits*' >/dev/null
echo "$(ls "$dir"/*.png | wc -l) screenshots in $dir"
