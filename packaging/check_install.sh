#!/usr/bin/env bash
# Installs the build into a staging prefix and checks it as a new user would
# find it: the programs in bin/ (not the stand-in quote site), the desktop
# entry, the icon at every size, the metainfo; then the installed driver
# starts with its data in the user's data folder, read-only bin/ or not, and
# a copy in a folder of the user's own keeps its data beside itself.
#
# check_install.sh CMAKE BUILD_DIR APP_ID VERSION
set -u
cmake=$1
build=$2
id=$3
version=$4
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=packaging/install_checks.sh
source "$here/install_checks.sh"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavrine-install.XXXXXX") || exit 1
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
stage=$tmp/stage

if ! "$cmake" --install "$build" --prefix "$stage" > "$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  fail "cmake --install failed"
fi

check_tree "$stage" "$id" "$version"
grep -qx "ExecStart=$stage/bin/tavrine --update" "$stage/share/systemd/user/tavrine-update.service" ||
  fail "the service does not run the installed program"
[[ -e $stage/bin/tavrine-quote-server ]] && fail "the stand-in quote site is installed"

if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$stage/share/applications/$id.desktop" || fail "installed desktop entry"
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate-tree --no-net "$stage" > "$tmp/tree.log" 2>&1 ||
    { cat "$tmp/tree.log"; fail "appstreamcli validate-tree"; }
fi

check_data_folder "$stage/bin/tavrine-script" "$tmp"

# "Open with" a price file (Exec=tavrine %F): the window imports it into the
# new user's data folder.
printf 'Date,Close\n' > "$tmp/7203.csv"
for i in $(seq 26 -1 1); do printf '2003/11/%02d,%d\n' "$i" $((900 + i)); done >> "$tmp/7203.csv"
out=$(as_new_user "$tmp/winhome" env QT_QPA_PLATFORM=offscreen "$stage/bin/tavrine" --settle 0 \
  --screenshot "$tmp/shot.png" "$tmp/7203.csv" 2>&1)
expect_in "$out" $'\xe5\x8f\x96\xe8\xbe\xbc\xe5\xae\x8c\xe4\xba\x86' "opening a file"  # 取込完了
grep -q '7203' "$tmp/winhome/.local/share/tavrine/$LIST" 2> /dev/null ||
  { printf '%s\n' "$out" >&2; fail "the opened file is not in the list"; }

# A copy in a writable folder of the user's own, outside any prefix: its
# files stay beside it, as in the build tree.
mkdir -p "$tmp/portable"
cp "$stage/bin/tavrine-script" "$tmp/portable/"
out=$(as_new_user "$tmp/newhome" "$tmp/portable/tavrine-script" <<< "start
import $tmp/7203.csv 7203 test")
[[ -s $tmp/portable/$LIST ]] || { printf '%s\n' "$out" >&2; fail "a copy of the user's own keeps its list elsewhere"; }
[[ -e $tmp/newhome/.local/share/tavrine ]] && fail "a copy of the user's own made a data folder"

echo "staged install: ok"
