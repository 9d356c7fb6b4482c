#!/bin/sh
# A shared library defines exactly the named symbols in its dynamic symbol table.
# Usage: check_exports.sh LIBRARY NAME...
set -eu
lib=$1
shift
expected=$(printf '%s\n' "$@" | LC_ALL=C sort)
actual=$(nm -D --defined-only "$lib" | awk '{print $NF}' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
    echo "exports of $lib differ from the expected names:"
    printf '%s\n' "$actual"
    exit 1
fi
echo "exactly the expected exports"
