#!/usr/bin/env bash
# Builds the model library and its tests for 64-bit ARM with Debian's cross
# compiler and runs them under qemu-aarch64: the search's NEON path against
# the plain one, and the quick model tests. Installs what it needs when some
# of it is missing (uses sudo when not run as root).
#   tools/test-arm64.sh [build folder] [jobs]
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build-arm64}
jobs=${2:-$(nproc 2>/dev/null || echo 2)}

tools/setup.sh cmake make g++-aarch64-linux-gnu gcc-aarch64-linux-gnu qemu-user googletest

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S cmake/arm64 -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" "${launcher[@]}"
cmake --build "$build" -j "$jobs" --target model_tests

# Under emulation the tests run some ten to twenty times slower. By default:
# every model test but the slow reference tests and those that take more than
# a few seconds natively (the search's paths are still compared with the plain
# search on generated catchments and real hourly data, and lane by lane);
# TEVLORA_ARM64_TESTS=all runs every quick test (an hour or more), any other
# value is taken as a test filter.
heavy=AlphaSearch.SameAsThePlainSearchOnHardCases:AlphaSearch.SameAsThePlainSearchOnLongerRecords
heavy+=:AlphaSearch.SameAsThePlainSearchOnNoisyAndSlowlyContractingData
heavy+=:AlphaSearch.SameAsThePlainSearchWithNegativeRechargeOrRunoff
heavy+=:AlphaSearch.SameAsThePlainSearchAtTheEdges
heavy+=:FitMapTruth.ZoomHoldsTheWholeRegion:OutputFiles.DamagedFilesNeverCrash
case "${TEVLORA_ARM64_TESTS:-}" in
  "") filter="-*.Slow*:$heavy" ;;
  all) filter='-*.Slow*' ;;
  *) filter=$TEVLORA_ARM64_TESTS ;;
esac

export LC_ALL=C.UTF-8
run() { qemu-aarch64 -L /usr/aarch64-linux-gnu "$build/model_tests" "$@"; }
# The paths test names the paths it found: the NEON one must be among them.
paths=$(run --gtest_filter='SearchPaths.*')
echo "$paths"
if ! grep -q '^vector paths:.* neon' <<<"$paths"; then
  echo "The ARM build does not have the search's NEON path." >&2
  exit 1
fi
run --gtest_filter="$filter"
