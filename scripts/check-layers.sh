#!/usr/bin/env bash
# Fails on an #include that runs against the layers of the architecture: a
# layer includes itself and the layers below it only; a layer's tests may add
# the test support, which no program code includes; the benchmarks and fuzz
# targets may include any layer but the programs; only ui/qt and app include Qt.
set -euo pipefail
cd "$(dirname "$0")/.."

below_setup="setupstate keys engine platform ui core"
declare -A allowed=(
  [core]="core"
  [platform]="platform core"
  [ui]="ui core"
  [engine]="engine core"
  [keys]="keys engine platform ui core"
  [setupstate]="$below_setup"
  [detect]="detect $below_setup"
  [netconfig]="netconfig $below_setup"
  [pgp]="pgp $below_setup"
  [setup]="setup detect netconfig pgp $below_setup"
  [ui/qt]="ui/qt setup detect netconfig pgp $below_setup"
  [app]="app setup detect netconfig pgp $below_setup ui/qt"
  [testsupport]="testsupport platform core"
  [bench]="bench testsupport setup detect netconfig pgp $below_setup"
  [fuzz]="fuzz testsupport setup detect netconfig pgp $below_setup"
)

# The layer a path in the tree belongs to ("ui/qt" before "ui").
layer_of() {
  case "$1" in
    ui/qt/*) echo "ui/qt" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

status=0
while IFS= read -r file; do
  layer=$(layer_of "$file")
  [[ -n "$layer" && -n "${allowed[$layer]+set}" ]] || continue
  permitted=" ${allowed[$layer]} "
  [[ "$file" == */tests/* ]] && permitted+="testsupport "
  qt=no
  [[ "$layer" == "ui/qt" || "$layer" == "app" ]] && qt=yes
  while IFS=: read -r line text; do
    if [[ "$text" =~ ^#include\ \"([^\"]+)\" ]]; then
      target="${BASH_REMATCH[1]}"
      [[ "$target" == */* ]] || continue  # beside the file itself
      included=$(layer_of "$target")
      if [[ "$permitted" != *" $included "* ]]; then
        echo "$file:$line: $layer may not include $target"
        status=1
      fi
    elif [[ "$text" =~ ^#include\ \<(Q[A-Za-z]*)[/\>] && $qt == no ]]; then
      echo "$file:$line: only ui/qt and app include Qt (${BASH_REMATCH[1]})"
      status=1
    fi
  done < <(grep -n '^#include' "$file" || true)
done < <(scripts/source-files.sh)
if ((status == 0)); then echo "layers: every include keeps to the layers"; fi
exit "$status"
