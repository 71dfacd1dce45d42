#!/usr/bin/env bash
# Installs what is missing; checks the includes against the layers and the
# formatting; builds with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test; builds the fuzz targets with clang as libFuzzer programs
# and runs each once over its corpus, so that they cannot rot.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

scripts/check-layers.sh
scripts/source-files.sh | xargs clang-format --dry-run -Werror
echo "format: every source is formatted"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_FLAGS="-O1 -g1" -DNIMBRA_SANITIZE=ON
cmake --build build-asan -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="-O1 -g1" -DNIMBRA_FUZZ=ON \
  -DNIMBRA_GUI=OFF -DNIMBRA_BENCH=OFF
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets
for corpus in fuzz/corpus/*/; do
  target=$(basename "$corpus")
  build-fuzz/"fuzz_$target" -runs=0 "$corpus" 2>build-fuzz/"fuzz_$target.log" ||
    { cat build-fuzz/"fuzz_$target.log"; echo "fuzz_$target failed on its corpus"; exit 1; }
done
echo "fuzz: every target built with libFuzzer and ran over its corpus"
