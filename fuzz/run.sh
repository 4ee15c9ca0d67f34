#!/bin/sh
# Fuzzes one target for a short fixed time from a scratch copy of its seed
# corpus. New inputs and crash files go to the scratch folder only.
# Usage: run.sh TARGET SEED_DIR SCRATCH_DIR
set -eu
target=$1 seeds=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch/corpus" "$scratch/crashes" "$scratch/tmp"
# The target's own files (and any a crash leaves behind) stay in here too.
export TMPDIR="$scratch/tmp"
cp "$seeds"/* "$scratch/corpus/"
exec "$target" -max_total_time=10 -rss_limit_mb=1024 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$scratch/crashes/" "$scratch/corpus"
