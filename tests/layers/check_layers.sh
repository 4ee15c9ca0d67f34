#!/usr/bin/env bash
# Fails when an engine folder includes a header of a folder above it, or any
# engine folder includes Qt. The layers, lowest first:
#   store <- series <- chart <- signals <- chain <- list <- web <- views <- app
# (src/gui sits on top of all of them and is not checked here.)
set -euo pipefail
src="${1:-$(dirname "$0")/../../src}"
layers=(store series chart signals chain list web views app)
status=0
for i in "${!layers[@]}"; do
  folder=${layers[$i]}
  allowed=("${layers[@]:0:$((i + 1))}")
  while IFS= read -r hit; do
    file=${hit%%:*}
    inc=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"${hit#*:}")
    ok=0
    for a in "${allowed[@]}"; do [ "$inc" = "$a" ] && ok=1; done
    if [ "$ok" = 0 ]; then
      echo "$file includes $inc/, above the $folder layer"
      status=1
    fi
  done < <(grep -HoE '#include "[^/"]+/[^"]+"' "$src/$folder"/*.h "$src/$folder"/*.cpp 2>/dev/null || true)
  if grep -lE '#include <Q' "$src/$folder"/*.h "$src/$folder"/*.cpp 2>/dev/null; then
    echo "the $folder layer includes Qt"
    status=1
  fi
done
[ "$status" = 0 ] && echo "layers: every include goes down"
exit "$status"
