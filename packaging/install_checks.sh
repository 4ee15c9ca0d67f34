# shellcheck shell=bash
# Checks shared by check_install.sh and check_deb.sh (sourced).

LIST=$'\xe3\x83\x87-\xe3\x82\xbf\xe4\xb8\x80\xe8\xa6\xa7.csv'  # デ-タ一覧.csv

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# expect_in TEXT NEEDLE WHAT
expect_in() {
  [[ $1 == *"$2"* ]] || { printf '%s\n' "$1" >&2; fail "$3: no $2"; }
}

# The width and height of a PNG, from its header.
png_size() {
  local sig
  sig=$(od -An -tx1 -N8 "$1" | tr -d ' \n')
  [[ $sig == 89504e470d0a1a0a ]] || { echo "not a PNG"; return; }
  od -An -tu4 --endian=big -j16 -N8 "$1" | awk '{ print $1 "x" $2 }'
}

# check_tree PREFIX APP_ID VERSION: every installed file in its place.
check_tree() {
  local p=$1 id=$2 version=$3
  for b in tavrine tavrine-script tavrine-sample; do
    [[ -x $p/bin/$b ]] || fail "bin/$b missing"
  done
  local desktop=$p/share/applications/$id.desktop
  local metainfo=$p/share/metainfo/$id.metainfo.xml
  local svg=$p/share/icons/hicolor/scalable/apps/$id.svg
  for f in "$desktop" "$metainfo" "$svg"; do
    [[ -s $f ]] || fail "$f missing"
  done
  grep -q '^Exec=tavrine %F$' "$desktop" || fail "desktop entry: Exec"
  grep -q "^Icon=$id\$" "$desktop" || fail "desktop entry: Icon"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "metainfo: launchable"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo: no release $version"
  grep -q '<svg' "$svg" || fail "icon: not an SVG"
  # 一括更新 on a timer: the service runs the installed program.
  local units=$p/share/systemd/user
  [[ -f $units/tavrine-update.timer ]] || fail "tavrine-update.timer missing"
  grep -q '^OnCalendar=Mon..Fri 18:00$' "$units/tavrine-update.timer" || fail "timer: OnCalendar"
  grep -Eq '^ExecStart=/.*/bin/tavrine --update$' "$units/tavrine-update.service" ||
    fail "service: ExecStart"
  for s in 48 128 256; do
    local png=$p/share/icons/hicolor/${s}x${s}/apps/$id.png
    [[ -f $png ]] || fail "${s} px icon missing"
    [[ $(png_size "$png") == "${s}x${s}" ]] || fail "${s} px icon is $(png_size "$png")"
  done
}

# as_new_user HOME PROGRAM [ARGS]: runs with only HOME and PATH set (no
# TAVRINE_* or XDG_* variables of the caller), the script on standard input;
# NEW_USER_XDG, when set, becomes XDG_DATA_HOME.
as_new_user() {
  local home=$1
  shift
  env -i HOME="$home" PATH=/usr/bin:/bin LC_ALL=C TAVRINE_TODAY=2003/12/26 \
    TAVRINE_QUOTE_HOST=127.0.0.1:9 ${NEW_USER_XDG:+XDG_DATA_HOME=$NEW_USER_XDG} "$@"
}

# check_data_folder INSTALLED_DRIVER TMP: where an installed program keeps
# its data, and that it can write its list there.
check_data_folder() {
  local driver=$1 tmp=$2 bin out data
  bin=$(dirname "$driver")

  # First start, bin/ read-only: the data folder is made, private, with its
  # parents, and the start-up, finding neither a list nor a calendar, says
  # nothing is missing.
  chmod a-w "$bin"
  out=$(as_new_user "$tmp/home" "$driver" <<< $'start\necho still running')
  data=$tmp/home/.local/share/tavrine
  expect_in "$out" "still running" "first start"
  [[ $out == *"$LIST"* ]] && fail "first start reported the list: $out"
  [[ -d $data ]] || fail "the data folder was not made"
  for d in "$tmp/home/.local" "$tmp/home/.local/share" "$data"; do
    [[ $(stat -c %a "$d") == 700 ]] || fail "$d has mode $(stat -c %a "$d")"
  done

  # The first import writes the list into that folder; the next start reads it.
  printf 'Date,Close\n2003/12/26,1500\n2003/12/25,1490\n' > "$tmp/1301.csv"
  for i in $(seq 24 -1 1); do printf '2003/11/%02d,%d\n' "$i" $((1400 + i)); done >> "$tmp/1301.csv"
  out=$(as_new_user "$tmp/home" "$driver" <<< "start
import $tmp/1301.csv 1301 test
size StockList")
  [[ -s $data/$LIST ]] || { printf '%s\n' "$out" >&2; fail "the import wrote no list in $data"; }
  out=$(as_new_user "$tmp/home" "$driver" <<< $'start\ntext Edit1')
  expect_in "$out" "Edit1=1301" "the second start"

  # XDG_DATA_HOME wins over HOME, and a writable bin/ of an installed prefix
  # (~/.local/bin) is no data folder either.
  chmod u+w "$bin"
  out=$(NEW_USER_XDG=$tmp/xdg as_new_user "$tmp/home2" "$driver" <<< "start
import $tmp/1301.csv 1301 test")
  [[ -s $tmp/xdg/tavrine/$LIST ]] || { printf '%s\n' "$out" >&2; fail "XDG_DATA_HOME not used"; }
  [[ -e $tmp/home2/.local/share/tavrine ]] && fail "HOME used despite XDG_DATA_HOME"
  [[ -e $bin/$LIST || -e $bin/memo.txt ]] && fail "files written into bin/"

  # TAVRINE_HOME still overrides.
  mkdir -p "$tmp/own"
  out=$(as_new_user "$tmp/home3" env TAVRINE_HOME="$tmp/own" "$driver" <<< "start
import $tmp/1301.csv 1301 test")
  [[ -s $tmp/own/$LIST ]] || { printf '%s\n' "$out" >&2; fail "TAVRINE_HOME not used"; }
  [[ -e $tmp/home3/.local/share/tavrine ]] && fail "a data folder made despite TAVRINE_HOME"
  return 0
}
