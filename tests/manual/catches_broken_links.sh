#!/usr/bin/env bash
# The link check finds each kind of fault in a copy of the manual.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=${1:?usage: catches_broken_links.sh MANUAL_DIR PICTURES_SCRIPT}
script=${2:?usage: catches_broken_links.sh MANUAL_DIR PICTURES_SCRIPT}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

# expect NAME PATTERN: the check fails on the copy and names the fault.
expect() {
  local out
  if out=$(bash "$here/check_manual.sh" "$tmp/m" "$script"); then
    echo "not caught: $1"
    failed=1
  elif ! grep -q -- "$2" <<<"$out"; then
    echo "caught, but not named: $1"
    echo "$out"
    failed=1
  fi
}
fresh() {
  rm -rf "$tmp/m"
  cp -r "$src" "$tmp/m"
}

fresh
bash "$here/check_manual.sh" "$tmp/m" "$script" >/dev/null || { echo "the copy itself fails"; failed=1; }

fresh
echo '<p><img src="images/gone.png"></p>' >>"$tmp/m/chart.htm"
expect "missing picture" "images/gone.png not found"

fresh
echo '<p><a href="nowhere.htm">x</a></p>' >>"$tmp/m/tavrine.htm"
expect "missing page" "nowhere.htm not found"

fresh
echo '<p><a href="kensho.htm#no-such-part">x</a></p>' >>"$tmp/m/tavrine.htm"
expect "missing anchor" 'no id="no-such-part"'

fresh
echo '<p><a href="../README.md">x</a></p>' >>"$tmp/m/tavrine.htm"
expect "link out of the manual" "leaves the manual"

fresh
cp "$tmp/m/images/main.png" "$tmp/m/images/stray.png"
expect "picture no page shows" "images/stray.png: shown by no page"

fresh
cp "$tmp/m/images/main.png" "$tmp/m/images/drawn-by-hand.png"
echo '<p><img src="images/drawn-by-hand.png"></p>' >>"$tmp/m/tavrine.htm"
expect "picture the script does not draw" "drawn-by-hand.png: not drawn by manual-pictures"

fresh
rm "$tmp/m/tavrinekanni.htm"
sed -i 's/tavrinekanni.htm/tavrine.htm/g' "$tmp/m"/*.htm
expect "button page missing" "tavrinekanni.htm: missing"

exit $failed
