#!/usr/bin/env bash
# Checks the engine's folders against the layer table src/layers.txt (a folder,
# then the folders it may include). Fails when a file includes a header of a
# folder its line does not name, when a folder of src/ other than gui has no
# line, when a line names a folder the table does not hold, when the table
# has a cycle, or when any engine folder includes Qt.
set -euo pipefail
src="${1:-$(dirname "$0")/../../src}"
table="$src/layers.txt"
[ -f "$table" ] || { echo "no layer table $table"; exit 1; }

declare -A may
layers=()
while IFS= read -r line; do
  line=${line%%#*}
  [[ "$line" =~ ^[[:space:]]*$ ]] && continue
  if [[ ! "$line" =~ ^([a-z_]+):(.*)$ ]]; then
    echo "layers.txt: unreadable line: $line"
    exit 1
  fi
  layers+=("${BASH_REMATCH[1]}")
  may[${BASH_REMATCH[1]}]=$(xargs <<<"${BASH_REMATCH[2]}")
done <"$table"

status=0
for folder in "${layers[@]}"; do
  for dep in ${may[$folder]}; do
    if [ -z "${may[$dep]+set}" ]; then
      echo "layers.txt: $folder may include $dep/, which has no line"
      status=1
    fi
  done
done
for dir in "$src"/*/; do
  folder=$(basename "$dir")
  [ "$folder" = gui ] && continue
  if [ -z "${may[$folder]+set}" ]; then
    echo "layers.txt: the folder $folder/ has no line"
    status=1
  fi
done

# A cycle: take away, again and again, the layers whose every dependency is
# already taken; whatever is left depends on itself.
declare -A placed
left=("${layers[@]}")
while [ "${#left[@]}" -gt 0 ]; do
  rest=()
  for folder in "${left[@]}"; do
    ready=1
    for dep in ${may[$folder]}; do
      [ "$dep" = "$folder" ] || [ -n "${placed[$dep]+set}" ] || [ -z "${may[$dep]+set}" ] || ready=0
    done
    if [ "$ready" = 1 ]; then placed[$folder]=1; else rest+=("$folder"); fi
  done
  if [ "${#rest[@]}" = "${#left[@]}" ]; then
    echo "layers.txt: the layers ${rest[*]} include each other in a cycle"
    status=1
    break
  fi
  left=("${rest[@]}")
done

for folder in "${layers[@]}"; do
  while IFS= read -r hit; do
    file=${hit%%:*}
    # The folder of the header, read without a process per include.
    [[ "${hit#*:}" =~ \#include\ \"([^/\"]+)/ ]]
    inc=${BASH_REMATCH[1]}
    ok=0
    [ "$inc" = "$folder" ] && ok=1
    for a in ${may[$folder]}; do [ "$inc" = "$a" ] && ok=1; done
    if [ "$ok" = 0 ]; then
      echo "$file includes $inc/, which the $folder layer may not include"
      status=1
    fi
  done < <(grep -HoE '#include "[^/"]+/[^"]+"' "$src/$folder"/*.h "$src/$folder"/*.cpp 2>/dev/null || true)
  if grep -lE '#include <Q' "$src/$folder"/*.h "$src/$folder"/*.cpp 2>/dev/null; then
    echo "the $folder layer includes Qt"
    status=1
  fi
done
[ "$status" = 0 ] && echo "layers: every include is one the table allows"
exit "$status"
