#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB) into a temporary folder and checks
# it: its Depends name the Qt 6 libraries and the platform plugins, it holds
# every installed file under /usr, and unpacked it runs as an installed
# program with its data in the user's data folder.
#
# check_deb.sh BUILD_DIR APP_ID
set -u
build=$1
id=$2
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=packaging/install_checks.sh
source "$here/install_checks.sh"

for tool in cpack dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" > /dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavrine-deb.XXXXXX") || exit 1
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" > "$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  fail "cpack -G DEB failed"
fi
debs=("$tmp"/out/tavrine_*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "no single tavrine_*.deb: ${debs[*]}"
deb=${debs[0]}

info=$(dpkg-deb -I "$deb")
depends=$(dpkg-deb -f "$deb" Depends)
for p in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6charts6 libsqlite3-0 zlib1g \
  qt6-qpa-plugins qt6-translations-l10n; do
  [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] ||
    { printf '%s\n' "$info" >&2; fail "Depends lacks $p"; }
done
[[ $(dpkg-deb -f "$deb" Package) == tavrine ]] || fail "package name"

contents=$(dpkg-deb -c "$deb")
for f in usr/bin/tavrine usr/bin/tavrine-script usr/bin/tavrine-sample \
  "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml" \
  "usr/share/icons/hicolor/scalable/apps/$id.svg"; do
  expect_in "$contents" "./$f" "dpkg-deb -c"
done
[[ $contents == *tavrine-quote-server* ]] && fail "the package holds the stand-in quote site"

dpkg-deb -x "$deb" "$tmp/root"
check_tree "$tmp/root/usr" "$id" "$(dpkg-deb -f "$deb" Version)"
grep -qx "ExecStart=/usr/bin/tavrine --update" "$tmp/root/usr/share/systemd/user/tavrine-update.service" ||
  fail "the package's service does not run /usr/bin/tavrine"
check_data_folder "$tmp/root/usr/bin/tavrine-script" "$tmp"
echo "package $(basename "$deb"): ok"
