#!/usr/bin/env bash
# The desktop program's extraction ("Volume exportieren…": the extraction
# engine on a worker thread behind the progress dialog) of a volume of 20,000
# files (about 29 MB) against `cp -r` of the same tree followed by `sync`, and
# against korvix-cli extract-all; interleaved, each after a sync of what came
# before, the one that starts a run rotating; medians of RUNS runs, wall
# clock, the final sync included.
#
#   bench/browser/extract.sh [BENCH_BUILD_DIR] [BUILD_DIR] [RUNS]   (default: build-bench, build, 5)
#
# BENCH_BUILD_DIR is a build with -DKORVIX_BUILD_BENCH=ON (korvix-desktop-extract);
# BUILD_DIR one with the tests (korvix-write-volumes, korvix-cli). The files
# go into a scratch folder below TMPDIR, which is the disk measured. The
# desktop program runs on Qt's offscreen platform. The load average is
# printed before and after.
set -euo pipefail
cd "$(dirname "$0")/../.."
bench=${1:-build-bench}
build=${2:-build}
runs=${3:-5}
desktop=$bench/bench/browser/korvix-desktop-extract
cli=$build/cli/korvix-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/tests/cli/korvix-write-volumes" "$work"
"$cli" pack "$work/tree" "$work/bulk.qrb" --timestamp 2026-01-01T00:00:00 --quiet
echo "tree: $(find "$work/tree" -type f | wc -l) files; volume: $(stat -c %s "$work/bulk.qrb") bytes"

. bench/timing.sh

: >"$work/desktop" >"$work/inside" >"$work/cli" >"$work/cp"
desktop_run() {
  sync
  local start end
  start=$(now)
  "$desktop" "$work/bulk.qrb" "$work/out" >>"$work/inside"
  end=$(now)
  echo "$end - $start" | bc -l >>"$work/desktop"
}
cp_run() { seconds sh -c "cp -r '$work/tree' '$work/copy' && sync" >>"$work/cp"; }
cli_run() { seconds "$cli" extract-all "$work/bulk.qrb" "$work/cliout" --quiet >>"$work/cli"; }
# Each run starts with another of the three, so that none always follows the
# deletion of the last run's trees.
order=(desktop_run cp_run cli_run)
for ((r = 0; r < runs; r++)); do
  rm -rf "$work/out" "$work/copy" "$work/cliout"
  for ((k = 0; k < 3; k++)); do
    ${order[(r + k) % 3]}
  done
done
diff -r "$work/out" "$work/tree" >/dev/null || { echo "extract.sh: the desktop program gave another tree" >&2; exit 1; }
cp_s=$(median <"$work/cp")
printf '%-44s %8s %8s\n' what seconds "x cp+sync"
for what in inside desktop cli; do
  case $what in
    inside) label="desktop: the command (engine, dialog, sync)" ;;
    desktop) label="desktop: the whole process" ;;
    cli) label="korvix-cli extract-all" ;;
  esac
  s=$(median <"$work/$what")
  printf '%-44s %8.3f %8.2f\n' "$label" "$s" "$(echo "$s / $cp_s" | bc -l)"
done
printf '%-44s %8.3f %8.2f\n' "cp -r + sync" "$cp_s" 1
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
