#!/usr/bin/env bash
# Checks the include graph by folder: every "#include" of a project header points to the
# file's own folder or to a library that folder stands on. Prints each stray include and
# fails when there is one.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

declare -A allowed=(
  [core]=""
  [adjust]="core"
  [dither]="core"
  [output]="core"
  [decode]="core"
  [engine]="core adjust dither output decode"
  [qtdecode]="core decode"
  [ui]="core adjust dither output decode engine qtdecode"
  [cli]="core adjust dither output decode engine"
)

bad=0
checked=0
for folder in "${!allowed[@]}"; do
  for file in "$root/$folder"/*.h "$root/$folder"/*.cc "$root/$folder"/*.in; do
    [ -e "$file" ] || continue
    checked=$((checked + 1))
    while IFS= read -r line; do
      target="${line#*\"}"
      target="${target%%/*}"
      [ "$target" = "$folder" ] && continue
      case " ${allowed[$folder]} " in
        *" $target "*) ;;
        *) echo "${file#"$root"/}: includes $target/ ($line)"; bad=1 ;;
      esac
    done < <(grep -E '^#include "[a-z_]+/' "$file" || true)
  done
done
if [ "$bad" -ne 0 ]; then
  echo "check_layers: includes against the floors above" >&2
  exit 1
fi
echo "check_layers: $checked files, every include points down"
