#!/usr/bin/env bash
# Installs what is missing, builds, creates the bundled demo machine and shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIMBRA_TESTS=OFF
cmake --build build -j"$(nproc)"
machine=build/demo-machine
rm -rf "$machine"
build/nimbra-machine demo "$machine"
build/nimbra-machine show "$machine"
# Install NimbraPost on the demo machine unattended, with the bundled answers.
build/nimbra-setup --machine "$machine" --setup-dir 'D:\SETUP\' --silent \
  --answers app/nimbra-setup/demo-answers.ini --log "$machine/setup.log"
echo "E-mail accounts found (the sections of WS.INI, as the check list shows them):"
grep '^DETECTED ' "$machine/setup.log" || true
echo "Unattended installation finished; its log is in $machine/setup.log"
