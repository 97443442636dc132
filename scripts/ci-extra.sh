#!/usr/bin/env bash
# The checking stages that CI runs after scripts/test.sh, in one clang tree
# (build-check/) whose own code carries AddressSanitizer, UBSan and the
# fuzzers' coverage instrumentation:
#  (a) every libFuzzer harness, run for a fixed number of inputs from a fixed
#      seed on its seed corpus, under a memory limit that flags a
#      decompression bomb (-rss_limit_mb, -malloc_limit_mb); the same inputs on
#      every run, so a failure here is a finding, never bad luck;
#  (b) the test suite on the sanitized build. The desktop program's Qt tests
#      run in the plain build only (scripts/test.sh): building the Qt shell a
#      second time would cost CI more than it finds there.
# Environment: FUZZ_SCALE (default 1) multiplies each harness's number of
# inputs, FUZZ_SECONDS (default 60) caps each harness on a slow machine,
# JOBS (default nproc).
# Crashes, leaks, timeouts and out-of-memory inputs are kept in
# build-check/findings/ and fail the run.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_scale=${FUZZ_SCALE:-1}
fuzz_seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc)}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
started=$SECONDS
stage() { echo "== $* ($((SECONDS - started)) s)"; }

stage "sanitized build"
CC=clang CXX=clang++ cmake -S . -B build-check -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVIX_BUILD_FUZZ=ON -DKORVIX_BUILD_TESTS=ON -DKORVIX_BUILD_GUI=OFF "${launcher[@]}" >/dev/null
cmake --build build-check -j "$jobs"

# Libraries we link but do not own keep state of their own
# that the leak checker would report.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
asan_options="detect_stack_use_after_return=1:check_initialization_order=1"

seeds=build-check/seeds
findings=build-check/findings
rm -rf "$seeds" "$findings"
mkdir -p "$findings"
build-check/fuzz/fuzz-write-seeds "$seeds" tests/imagefile/fixtures

# Inputs per harness: each takes some 10 to 30 seconds on one core.
declare -A fuzz_runs=([volume]=40000 [texture]=40000 [image]=8000 [metafile]=6000 [catalogue]=1500)
failed=0
for h in volume texture image metafile catalogue; do
  runs=$((fuzz_runs[$h] * fuzz_scale))
  stage "fuzz-$h: $runs inputs"
  scratch=$(mktemp -d)
  if ! ASAN_OPTIONS="$asan_options" build-check/fuzz/fuzz-$h -seed=1 -runs="$runs" -max_total_time="$fuzz_seconds" \
      -rss_limit_mb=512 -malloc_limit_mb=512 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$findings/$h-" "$scratch" "$seeds/$h" >"build-check/fuzz-$h.log" 2>&1; then
    tail -n 40 "build-check/fuzz-$h.log"
    echo "fuzz-$h found a failure; see build-check/fuzz-$h.log and $findings/"
    failed=1
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "build-check/fuzz-$h.log" || true
  rm -rf "$scratch"
done

stage "sanitized tests"
# The tests of failing allocations expect std::bad_alloc, not the sanitizer's abort.
export ASAN_OPTIONS="$asan_options:allocator_may_return_null=1"
ctest --test-dir build-check --output-on-failure -j "$jobs" || failed=1

stage "done"
exit "$failed"
