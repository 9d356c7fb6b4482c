#!/usr/bin/env bash
# Installs what is missing, builds everything and runs it. The station itself is not built
# yet, so for now this runs the benchmarks of the kernels that are.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

echo "The station is not built yet: running the kernel benchmarks instead."
exec "$OVISTRA_ROOT/scripts/bench.sh" "$@"
