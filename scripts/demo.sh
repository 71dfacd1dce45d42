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
# Install NimbraPost on the demo machine: in the wizard window when a display
# is there (the bundled answers show what to enter), else unattended with them.
if [[ -n "${DISPLAY:-}" ]]; then
  build/nimbra-setup --machine "$machine" --setup-dir 'D:\SETUP\' --log "$machine/setup.log"
else
  build/nimbra-setup --machine "$machine" --setup-dir 'D:\SETUP\' --silent \
    --answers app/nimbra-setup/demo-answers.ini --log "$machine/setup.log"
fi
log="$machine/setup.log"
program="$machine/drive_c/Program Files/NimbraPost"
echo
echo "Summary of the installation (the whole log: $log)"
echo "  the running product was asked to quit; its windows still open:" \
  "$(grep -vc '^#' "$machine/emulation/windows.txt" || true)"
if grep -q '^MESSAGE ' "$log"; then
  echo "  messages shown:"
  grep '^MESSAGE ' "$log" | sed 's/^MESSAGE /    /'
fi
echo "  e-mail accounts protected (WS.INI sections UNINSTALL<n> with Active=1):"
awk -F= '/^Software=/{sw=$2} /^Active=1/{print "    " sw}' "$program/WS.INI" | tr -d '\r'
echo "  keys made (build/nimbra-keys --machine $machine --password demo-pass list):"
build/nimbra-keys --machine "$machine" --password demo-pass list | cut -f1-5 | sed 's/^/    /'
count() { grep -c "^INSTALL B [0-9]* $1 " "$log" || true; }
echo "  journal $program/Install.jnl: $(count FOLDER) folders, $(count COPY) files copied," \
  "$(count WRITE) written, $(count INI) INI keys, $(count REGVALUE) registry values, $(count LINK) shortcuts"
echo "  registry: $machine/system.reg and user.reg (HKLM\\Software\\NimbraPost\\Current Version)"
echo "  hosts file: $machine/drive_c/windows/system32/drivers/etc/hosts"
echo "  programs started: $machine/emulation/process-journal.txt"
for msg in "$program"/Messages/*.msg; do echo "  message queued: $msg"; done
tail -n 1 "$log"
