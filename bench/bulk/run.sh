#!/usr/bin/env bash
# Bulk work at the speed of the disk, in bounded memory:
#  - extract-all and pack of a volume of 20,000 files (about 29 MB) against
#    `cp -r` of the same tree followed by `sync`, interleaved, each pair in one
#    run; medians of RUNS runs (wall clock, the sync included);
#  - the sync calls each makes (strace -c -f: fsync, fdatasync, syncfs, sync);
#  - the peak resident memory of `list --json` and `list` on the volume of
#    120,001 entries nested 20,000 directories deep and on the volume of
#    1,000,000 entries, against the catalogue the library holds for the walk.
#
#   bench/bulk/run.sh [BUILD_DIR] [RUNS]        (default: build, 5)
#
# KORVIX_CLI=... measures another korvix-cli (an older build, say) on the same
# files. The files are written by the build's korvix-write-volumes (tests
# enabled) into a scratch folder below TMPDIR, which is the disk measured.
# Needs /usr/bin/time and strace. The load average is printed before and after.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
runs=${2:-5}
cli=${KORVIX_CLI:-$build/cli/korvix-cli}
writer=$build/tests/cli/korvix-write-volumes
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
"$writer" "$work"
"$cli" pack "$work/tree" "$work/bulk.qrb" --timestamp 2026-01-01T00:00:00 --quiet
files=$(find "$work/tree" -type f | wc -l)
bytes=$(find "$work/tree" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
echo "tree: $files files, $bytes bytes; volume: $(stat -c %s "$work/bulk.qrb") bytes"

. bench/timing.sh

: >"$work/extract" >"$work/pack" >"$work/cp"
for ((r = 1; r <= runs; r++)); do
  rm -rf "$work/out" "$work/copy" "$work/p.qrb"
  seconds "$cli" extract-all "$work/bulk.qrb" "$work/out" --quiet >>"$work/extract"
  seconds sh -c "cp -r '$work/tree' '$work/copy' && sync" >>"$work/cp"
  seconds "$cli" pack "$work/tree" "$work/p.qrb" --timestamp 2026-01-01T00:00:00 --quiet >>"$work/pack"
done
diff -r "$work/out" "$work/tree" >/dev/null || { echo "run.sh: extract-all gave another tree" >&2; exit 1; }
cmp -s "$work/p.qrb" "$work/bulk.qrb" || { echo "run.sh: pack gave another volume" >&2; exit 1; }
cp_s=$(median <"$work/cp")
printf '%-34s %8s %8s\n' what seconds "x cp+sync"
for what in extract pack; do
  s=$(median <"$work/$what")
  printf '%-34s %8.3f %8.2f\n' "$what" "$s" "$(echo "$s / $cp_s" | bc -l)"
done
printf '%-34s %8.3f %8.2f\n' "cp -r + sync" "$cp_s" 1

syncs() {
  local log=$work/strace
  strace -f -c -o "$log" "$@" >/dev/null 2>&1 || true
  awk '$NF ~ /^(fsync|fdatasync|syncfs|sync)$/ {printf "%s %s  ", $NF, $4}' "$log"
  echo
}
rm -rf "$work/out" "$work/p.qrb"
echo "extract-all sync calls: $(syncs "$cli" extract-all "$work/bulk.qrb" "$work/out" --quiet)"
echo "pack sync calls:        $(syncs "$cli" pack "$work/tree" "$work/p.qrb" --quiet)"

printf '%-24s %10s %12s %14s %10s\n' volume entries catalogue-MiB peak-RSS-MiB beyond-MiB
for v in deep big; do
  for mode in --json ""; do
    entries=$(od -An -t u4 -j 272 -N 4 "$work/$v.qrb" | tr -d ' ')
    catalogue=$((entries * 80))
    /usr/bin/time -f %M -o "$work/rss" "$cli" list "$work/$v.qrb" $mode >/dev/null
    kb=$(tail -1 "$work/rss")
    printf '%-24s %10s %12.1f %14.1f %10.1f\n' "$v.qrb list $mode" "$entries" "$(echo "$catalogue / 1048576" | bc -l)" \
      "$(echo "$kb / 1024" | bc -l)" "$(echo "($kb * 1024 - $catalogue) / 1048576" | bc -l)"
  done
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
