#!/usr/bin/env bash
# Fails when a C++ file of the tree is not laid out as .clang-format says.
set -euo pipefail
root="${1:-$(dirname "$0")/../..}"
cd "$root"
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 1; }
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench tools fuzz -name '*.cpp' -o -name '*.h')
# shellcheck disable=SC2086
if ! clang-format --dry-run --Werror $files; then
  echo "run: clang-format -i \$(git ls-files '*.cpp' '*.h')"
  exit 1
fi
echo "format: every file as .clang-format lays it out"
