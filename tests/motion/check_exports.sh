#!/bin/sh
# The shared library defines exactly the eleven exports in its dynamic symbol table.
set -eu
lib=$1
expected="ORBALIN_Binarize
ORBALIN_Detect_Boundary
ORBALIN_Detect_Motion
ORBALIN_Detect_Motion_Multiple
ORBALIN_Erode
ORBALIN_Find_Target
ORBALIN_Get_Alarm
ORBALIN_Get_Buf_Child2d
ORBALIN_Get_Center
ORBALIN_Get_Vigimot_Version
ORBALIN_Subtract_Image"
actual=$(nm -D --defined-only "$lib" | awk '{print $NF}' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
    echo "exports differ from the eleven names:"
    printf '%s\n' "$actual"
    exit 1
fi
echo "exactly the eleven exports"
