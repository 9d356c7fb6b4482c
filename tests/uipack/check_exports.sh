#!/bin/sh
# The resource library defines exactly one symbol in its dynamic symbol table.
set -eu
lib=$1
actual=$(nm -D --defined-only "$lib" | awk '{print $NF}' | LC_ALL=C sort)
if [ "$actual" != "uipack_format_version" ]; then
    echo "exports differ from uipack_format_version alone:"
    printf '%s\n' "$actual"
    exit 1
fi
echo "exactly one export"
