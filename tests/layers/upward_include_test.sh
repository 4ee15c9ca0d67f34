#!/usr/bin/env bash
# The layer check must fail on a tree whose includes or table break the
# layers, and name the cause: a lower folder including a higher one; a folder
# including one below it that its table line does not name; a folder without
# a line; a line naming no folder of the table; a cycle in the table.
set -euo pipefail
src="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
check="$(dirname "$0")/check_layers.sh"
failed=0

# expect_caught NAME EXPECTED-REPORT: runs the check on $tmp/src, which the
# caller has broken, and wants it to fail with the report.
expect_caught() {
  local out
  if out=$(bash "$check" "$tmp/src"); then
    echo "$1: the check passed"
    failed=1
  elif ! grep -qF "$2" <<<"$out"; then
    echo "$1: unexpected report: $out"
    failed=1
  else
    echo "caught ($1): $2"
  fi
}
fresh() {
  rm -rf "$tmp/src"
  cp -r "$src" "$tmp/src"
}

fresh
echo '#include "web/collection.h"' >>"$tmp/src/series/series.cpp"
expect_caught "upward include" "series/series.cpp includes web/"

fresh
echo '#include "series/series.h"' >>"$tmp/src/chart/chart_view.cpp"
expect_caught "include below but not in the table" "chart/chart_view.cpp includes series/"

fresh
echo '#include "gui/main_window.h"' >>"$tmp/src/app/workspace.cpp"
expect_caught "include of the window" "app/workspace.cpp includes gui/"

fresh
mkdir "$tmp/src/extra"
echo '#include "app/workspace.h"' >"$tmp/src/extra/extra.cpp"
expect_caught "folder without a line" "the folder extra/ has no line"

fresh
sed -i -E 's/^list:.*/list: store extra/' "$tmp/src/layers.txt"
expect_caught "line naming no layer" "list may include extra/, which has no line"

fresh
sed -i -E 's/^store:.*/store: list/' "$tmp/src/layers.txt"
expect_caught "cycle" "include each other in a cycle"

exit "$failed"
