#!/usr/bin/env bash
# The layer check must fail on a tree where a lower folder includes a higher
# one, and name the file.
set -euo pipefail
src="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -r "$src" "$tmp/src"
echo '#include "web/collection.h"' >> "$tmp/src/series/series.cpp"
if out=$(bash "$(dirname "$0")/check_layers.sh" "$tmp/src"); then
  echo "the check passed a tree with series/ including web/"
  exit 1
fi
grep -q "series/series.cpp includes web/" <<<"$out" || { echo "unexpected report: $out"; exit 1; }
echo "caught: $out"
