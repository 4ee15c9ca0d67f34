#!/usr/bin/env bash
# The systemd user units of 一括更新 on a timer: the service, written as the
# install writes it (ExecStart naming the program's folder), and the timer
# pass `systemd-analyze verify`, the timer fires on weekdays at 18:00, and
# the service, which asks the data service over the network, starts once the
# network is up.
# Skipped (77) only where systemd-analyze is not installed.
#
# check_units.sh SOURCE_DIR PROGRAM_DIR
set -u
src=$1
bindir=$2
command -v systemd-analyze > /dev/null || { echo "systemd-analyze not installed"; exit 77; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavrine-units.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT
sed "s#@BINDIR@#$bindir#" "$src/tavrine-update.service.in" > "$tmp/tavrine-update.service"
cp "$src/tavrine-update.timer" "$tmp/"

grep -q "^ExecStart=$bindir/tavrine --update\$" "$tmp/tavrine-update.service" ||
  { echo "FAIL: ExecStart"; exit 1; }
for key in Wants After; do
  grep -qx "$key=network-online.target" "$tmp/tavrine-update.service" ||
    { echo "FAIL: $key=network-online.target"; exit 1; }
done
# The user manager cannot run in every build environment: the units are
# verified as the system manager reads them, which checks the same keys and
# that the program exists.
if ! systemd-analyze verify "$tmp/tavrine-update.service" "$tmp/tavrine-update.timer"; then
  echo "FAIL: systemd-analyze verify"
  exit 1
fi
calendar=$(sed -n 's/^OnCalendar=//p' "$tmp/tavrine-update.timer")
normal=$(systemd-analyze calendar "$calendar" | sed -n 's/^ *Normalized form: //p')
[[ $normal == 'Mon..Fri *-*-* 18:00:00' ]] || { echo "FAIL: the timer fires at $normal"; exit 1; }
echo "ok"
