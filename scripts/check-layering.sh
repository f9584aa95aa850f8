#!/usr/bin/env bash
# Checks that every project include points down the folder graph of docs/ARCHITECTURE.md:
# a folder includes only the folders listed for it below. Prints each include that breaks
# the rule, and each folder holding C or C++ sources that has no rule, and exits 1 when
# there is one.
#   scripts/check-layering.sh [SOURCE_DIR]
#
# A folder is named by its path from the top, and a file belongs to the longest folder of
# the table that contains it (tools/zip/zipwriter.cpp to tools/zip). An include
# "a/b/c.h" names the longest folder of the table that contains a/b/c.h, or else a.
set -uo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}

declare -A allowed=(
    [platform]="platform"
    [common]="common platform"
    [startup]="startup common platform"
    [engine]="engine common platform"
    [setup]="setup startup engine common platform resources"
    [stub]="stub setup startup engine common platform resources"
    [resources]="resources"
    [tools/base]="tools/base common platform"
    [tools/text]="tools/text tools/base startup common platform"
    [tools/zip]="tools/zip tools/base engine common platform"
    [tools/pe]="tools/pe tools/text tools/base startup common platform"
    [tools/package]="tools/package tools/zip tools/text tools/base startup common platform"
    [tools/packer]="tools/packer tools/zip tools/base common platform"
    [tools/cli]="tools/cli tools/package tools/packer tools/pe tools/zip tools/text tools/base
                 engine startup common platform resources"
    [bench]="bench tests/support engine common platform resources"
    [fuzz]="fuzz tests/support setup startup engine common platform"
    [tests/uitest]="tests/uitest resources"
    [tests/support]="tests/support tests/uitest tools/package tools/pe tools/zip tools/text
                     tools/base stub setup startup engine common platform resources"
    [tests]="*"
)

# The folder of the table that holds path (a file or an include), or "" when none does.
folderof() {
    local path=$1 best="" folder
    for folder in "${!allowed[@]}"; do
        case "$path" in
        "$folder"/*) [ ${#folder} -gt ${#best} ] && best=$folder ;;
        esac
    done
    echo "$best"
}

status=0
while IFS= read -r file; do
    relative=${file#"$top"/}
    folder=$(folderof "$relative")
    if [ -z "$folder" ]; then
        echo "$relative: its folder $(dirname "$relative")/ has no rule in check-layering.sh"
        status=1
        continue
    fi
    [ "${allowed[$folder]}" = "*" ] && continue
    # The folder's list as words: a list may run over several lines.
    read -r -d '' -a words <<<"${allowed[$folder]}" || true
    while IFS=: read -r line include; do
        path=${include#*\"}
        path=${path%\"*}
        target=$(folderof "$path")
        [ -n "$target" ] || target=${path%%/*}
        case " ${words[*]} " in
        *" $target "*) ;;
        *)
            echo "$relative:$line: $folder/ may not include $target/ ($include)"
            status=1
            ;;
        esac
    done < <(grep -n -E '^#include "[a-z0-9_]+/' "$file")
done < <(find "$top" -path "$top/build" -prune -o -path "$top/.git" -prune -o \
              -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print | sort)
[ $status -eq 0 ] && echo "folder graph: every include points down, and every folder has a rule"
exit $status
