#!/usr/bin/env bash
# Checks that every project include points down the folder graph of docs/ARCHITECTURE.md:
# a folder includes only the folders listed for it below. Prints each include that breaks
# the rule and exits 1 when there is one.
#   scripts/check-layering.sh [SOURCE_DIR]
set -uo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}

declare -A allowed=(
    [stub]="stub setup startup engine common platform resources"
    [setup]="setup startup engine common platform resources"
    [startup]="startup common platform"
    [engine]="engine common platform"
    [common]="common platform"
    [platform]="platform"
)

status=0
for folder in "${!allowed[@]}"; do
    [ -d "$top/$folder" ] || continue
    while IFS=: read -r file line include; do
        target=${include#*\"}
        target=${target%%/*}
        case " ${allowed[$folder]} " in
        *" $target "*) ;;
        *)
            echo "${file#$top/}:$line: $folder/ may not include $target/ ($include)"
            status=1
            ;;
        esac
    done < <(grep -rn --include='*.cpp' --include='*.h' -E '^#include "[a-z0-9_]+/' "$top/$folder" |
             sed -E 's/^([^:]*):([0-9]*):(.*)$/\1:\2:\3/')
done
[ $status -eq 0 ] && echo "folder graph: every include points down"
exit $status
