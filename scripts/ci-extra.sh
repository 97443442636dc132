#!/usr/bin/env bash
# The extra CI stages, after scripts/test.sh:
#  (a) the libFuzzer harnesses built with clang into build-fuzz/, each run for
#      a short smoke time on its seed corpus under a memory limit that flags a
#      decompression bomb (-rss_limit_mb, -malloc_limit_mb);
#  (b) the AddressSanitizer + UBSan build in build-asan/, running the whole
#      test suite.
# Environment: FUZZ_SECONDS (default 15) per harness, JOBS (default nproc).
# New inputs a harness finds go to a scratch corpus; crashes, leaks, timeouts
# and out-of-memory inputs are kept in build-fuzz/findings/ and fail the run.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=${FUZZ_SECONDS:-15}
jobs=${JOBS:-$(nproc)}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
started=$SECONDS
stage() { echo "== $* ($((SECONDS - started)) s)"; }

stage "fuzz build"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVIX_BUILD_FUZZ=ON -DKORVIX_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
harnesses=(volume texture image metafile catalogue)
cmake --build build-fuzz -j "$jobs" --target "${harnesses[@]/#/fuzz-}" fuzz-write-seeds

seeds=build-fuzz/seeds
findings=build-fuzz/findings
rm -rf "$seeds" "$findings"
mkdir -p "$findings"
build-fuzz/fuzz/fuzz-write-seeds "$seeds" tests/imagefile/fixtures

# The metafile libraries keep state of their own that the leak checker would report.
export LSAN_OPTIONS="suppressions=$PWD/tests/imagefile/lsan.supp"
failed=0
for h in "${harnesses[@]}"; do
  stage "fuzz-$h: ${fuzz_seconds} s"
  scratch=$(mktemp -d)
  if ! build-fuzz/fuzz/fuzz-$h -rss_limit_mb=512 -malloc_limit_mb=512 -timeout=10 \
      -max_total_time="$fuzz_seconds" -print_final_stats=1 -artifact_prefix="$findings/$h-" \
      "$scratch" "$seeds/$h" >"build-fuzz/fuzz-$h.log" 2>&1; then
    echo "fuzz-$h found a failure; see build-fuzz/fuzz-$h.log and $findings/"
    failed=1
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "build-fuzz/fuzz-$h.log" || true
  rm -rf "$scratch"
done

stage "sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVIX_ENABLE_SANITIZERS=ON \
  "${launcher[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
stage "sanitizer tests"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

stage "done"
exit "$failed"
