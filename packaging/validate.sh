#!/usr/bin/env bash
# Runs a validator (validate.sh TOOL ARGS...); exit 77 (skipped) when the tool
# is not installed. scripts/setup installs both validators.
tool=$1
if ! command -v "$tool" > /dev/null; then
  echo "skipped: $tool is not installed"
  exit 77
fi
exec "$@"
