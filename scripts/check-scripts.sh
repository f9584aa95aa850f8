#!/usr/bin/env bash
# Checks the shell scripts: bash's own syntax check, then ShellCheck, whose every finding
# counts as an error (settings in scripts/.shellcheckrc). Run by test-all.sh.
#   scripts/check-scripts.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts=(scripts/*.sh .ci/run)
status=0
for script in "${scripts[@]}"; do
    bash -n "$script" || status=1
done
timeout 300 shellcheck "${scripts[@]}" || status=1
[ $status -eq 0 ] && echo "scripts: ${#scripts[@]} checked by bash -n and ShellCheck, no finding"
exit $status
