#!/usr/bin/env bash
# Builds the example package from its description file, examples/demo.ini, with the builder
# and the stub given.
#   scripts/make-example.sh ORVSFX STUB OUT.exe
set -euo pipefail
if [ $# -ne 3 ]; then
    echo "usage: $0 ORVSFX STUB OUT.exe" >&2
    exit 2
fi
orvsfx=$1 stub=$2 out=$3
examples="$(cd "$(dirname "$0")/../examples" && pwd)"

"$orvsfx" build --package "$examples/demo.ini" --stub "$stub" -o "$out"
