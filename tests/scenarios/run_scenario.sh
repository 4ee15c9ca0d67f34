#!/usr/bin/env bash
# Runs one scenario: generates a data folder, plays the script through
# tavrine-script and compares standard output plus the exit status with the
# .expected file beside the script. See README.md for the header lines.
#
# run_scenario.sh TAVRINE_SCRIPT TAVRINE_SAMPLE QUOTE_SERVER SCRIPT
set -u

script_bin=$1
sample_bin=$2
quote_bin=$3
script=$4
expected=${script%.script}.expected

export LC_ALL=C

if [[ ! -f $expected ]]; then
  echo "no expected output $expected" >&2
  exit 1
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavrine-scenario.XXXXXX") || exit 1
data=$tmp/data
server_pid=
jquants_pid=
cleanup() {
  for pid in $server_pid $jquants_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$tmp"
}
trap cleanup EXIT

sample_args="--stocks 6 --days 300 --seed 1 --today 2003/12/26"
envs=()
setups=()
ignores=()
quote_args=
use_quote=0
jquants_args=
use_jquants=0
while IFS= read -r line || [[ -n $line ]]; do
  line=${line%$'\r'}
  case $line in
    "# sample:"*) sample_args=${line#"# sample:"} ;;
    "# env:"*) envs+=("${line#"# env: "}") ;;
    "# setup:"*) setups+=("${line#"# setup: "}") ;;
    "# ignore:"*) ignores+=("${line#"# ignore: "}") ;;
    "# quote-server:"*) use_quote=1; quote_args=${line#"# quote-server:"} ;;
    "# jquants-server:"*) use_jquants=1; jquants_args=${line#"# jquants-server:"} ;;
  esac
done < "$script"

export TAVRINE_TODAY=2003/12/26
export TAVRINE_HOME=$data
export TAVRINE_ROOT=$data
unset TAVRINE_QUOTE_HOST TAVRINE_MANUAL_HOST TAVRINE_JQUANTS_HOST TAVRINE_JQUANTS_KEY
unset TAVRINE_JQUANTS_PLAN HTTPS_PROXY https_proxy
for e in "${envs[@]+"${envs[@]}"}"; do
  e=${e//@DATA@/$data}
  export "${e?}"
done

# shellcheck disable=SC2086  # the generator arguments are words
if ! "$sample_bin" "$data" $sample_args > "$tmp/sample.log" 2>&1; then
  echo "tavrine-sample failed:" >&2
  cat "$tmp/sample.log" >&2
  exit 1
fi

for s in "${setups[@]+"${setups[@]}"}"; do
  if ! (cd "$data" && bash -c "$s") > "$tmp/setup.log" 2>&1; then
    echo "setup command failed: $s" >&2
    cat "$tmp/setup.log" >&2
    exit 1
  fi
done

if [[ $use_quote == 1 ]]; then
  if [[ ! -x $quote_bin ]]; then
    echo "skipped: $quote_bin is not built"
    exit 77
  fi
  # shellcheck disable=SC2086
  "$quote_bin" --market "$data/market" --port 0 $quote_args > "$tmp/quote.out" 2> "$tmp/quote.err" &
  server_pid=$!
  port=
  for _ in $(seq 1 100); do
    first=$(head -n 1 "$tmp/quote.out" 2>/dev/null)
    if [[ $first =~ ^port\ ([0-9]+) ]]; then
      port=${BASH_REMATCH[1]}
      break
    fi
    if ! kill -0 "$server_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [[ -z $port ]]; then
    echo "the quote server did not report its port" >&2
    cat "$tmp/quote.err" >&2
    exit 1
  fi
  export TAVRINE_QUOTE_HOST=127.0.0.1:$port
  export TAVRINE_MANUAL_HOST=127.0.0.1:$port
fi

# The stand-in of the J-Quants API expects the key scenario-key; a "# env:"
# line may give the program another.
if [[ $use_jquants == 1 ]]; then
  jquants_bin=${TAVRINE_TEST_JQUANTS_SERVER:-$(dirname "$(dirname "$quote_bin")")/jquants-server/tavrine-jquants-server}
  if [[ ! -x $jquants_bin ]]; then
    echo "skipped: $jquants_bin is not built"
    exit 77
  fi
  # shellcheck disable=SC2086
  "$jquants_bin" --data "$data" --port 0 --key scenario-key $jquants_args > "$tmp/jquants.out" 2> "$tmp/jquants.err" &
  jquants_pid=$!
  jport=
  for _ in $(seq 1 100); do
    first=$(head -n 1 "$tmp/jquants.out" 2>/dev/null)
    if [[ $first =~ ^port\ ([0-9]+) ]]; then
      jport=${BASH_REMATCH[1]}
      break
    fi
    if ! kill -0 "$jquants_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [[ -z $jport ]]; then
    echo "the J-Quants stand-in did not report its port" >&2
    cat "$tmp/jquants.err" >&2
    exit 1
  fi
  export TAVRINE_JQUANTS_HOST=127.0.0.1:$jport
  export TAVRINE_JQUANTS_KEY=${TAVRINE_JQUANTS_KEY-scenario-key}
fi

(cd "$tmp" && "$script_bin" "$script") > "$tmp/raw.out" 2> "$tmp/stderr.out"
status=$?

# The data folder's path differs on every run: show it as DATA.
awk -v d="$data" '{ while ((i = index($0, d)) > 0) $0 = substr($0, 1, i - 1) "DATA" substr($0, i + length(d)); print }' \
  "$tmp/raw.out" > "$tmp/actual.out"
for re in "${ignores[@]+"${ignores[@]}"}"; do
  grep -Ev -- "$re" "$tmp/actual.out" > "$tmp/filtered.out"
  mv "$tmp/filtered.out" "$tmp/actual.out"
done
echo "exit: $status" >> "$tmp/actual.out"

if ! diff -u "$expected" "$tmp/actual.out" > "$tmp/diff.out"; then
  echo "scenario $(basename "$script") differs from its expected output:"
  cat "$tmp/diff.out"
  if [[ -s $tmp/stderr.out ]]; then
    echo "--- standard error:"
    cat "$tmp/stderr.out"
  fi
  exit 1
fi
exit 0
