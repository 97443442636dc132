#!/usr/bin/env bash
# The rewrite of a volume against cp of the same file:
#  - a volume of 1 GiB (1,024 entries of 1 MiB of random bytes in 16 folders),
#    one entry replaced by 2 MiB with `korvix-cli update`, which writes the new
#    volume beside the old one, reads it back, syncs it and renames it over;
#  - the same with --backup, which keeps the old volume as v.qrb.bak instead of
#    letting the kernel release its 1 GiB when the last handle on it closes;
#  - `cp` of the same volume, `cp` followed by `sync` (so that it ends, as
#    update does, with the copy on disk), and that followed by `mv` of the copy
#    over the original (the same transaction by hand, without the reading back);
# interleaved in one run, each after a `sync` of what came before, from a warm
# page cache; medians of RUNS runs of wall clock and of CPU time (user + system).
#
#   bench/rewrite/run.sh [BUILD_DIR] [RUNS]        (default: build, 5)
#
# KORVIX_CLI=... measures another korvix-cli. The scratch folder lies below
# TMPDIR, which is the disk measured; it needs 5 GiB. Needs /usr/bin/time and bc.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
runs=${2:-5}
cli=${KORVIX_CLI:-$build/cli/korvix-cli}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
for d in $(seq -w 0 15); do
  mkdir -p "$work/tree/d$d"
  for f in $(seq -w 0 63); do
    head -c 1048576 /dev/urandom >"$work/tree/d$d/f$f.bin"
  done
done
head -c 2097152 /dev/urandom >"$work/two.bin"
"$cli" pack "$work/tree" "$work/base.qrb" --timestamp 2026-01-01T00:00:00 --quiet
rm -rf "$work/tree"
echo "volume: $(stat -c %s "$work/base.qrb") bytes, $(od -An -t u4 -j 272 -N 4 "$work/base.qrb" | tr -d ' ') entries"

# "wall cpu" of COMMAND, after a sync that flushes what came before it.
measure() {
  sync
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null
  awk '{printf "%s %s\n", $1, $2 + $3}' "$work/time"
}
. bench/timing.sh

: >"$work/update" >"$work/backup" >"$work/cp" >"$work/cpsync" >"$work/cpmv"
for ((r = 1; r <= runs; r++)); do
  rm -f "$work/copy.qrb" "$work/v.qrb" "$work/v.qrb.bak"
  cp "$work/base.qrb" "$work/v.qrb"
  measure "$cli" update "$work/v.qrb" --put d07/f31.bin="$work/two.bin" --quiet >>"$work/update"
  rm -f "$work/v.qrb"
  cp "$work/base.qrb" "$work/v.qrb"
  measure "$cli" update "$work/v.qrb" --put d07/f31.bin="$work/two.bin" --quiet --backup >>"$work/backup"
  rm -f "$work/copy.qrb" "$work/v.qrb.bak"
  measure cp "$work/base.qrb" "$work/copy.qrb" >>"$work/cp"
  rm -f "$work/copy.qrb"
  measure sh -c "cp '$work/base.qrb' '$work/copy.qrb' && sync" >>"$work/cpsync"
  cp "$work/base.qrb" "$work/old.qrb"
  measure sh -c "cp '$work/base.qrb' '$work/copy.qrb' && sync && mv '$work/copy.qrb' '$work/old.qrb'" >>"$work/cpmv"
done
# The rewrite changed that one entry and nothing else.
set +e
"$cli" diff "$work/base.qrb" "$work/v.qrb" >"$work/diff"
code=$?
set -e
[ "$code" = 1 ] && [ "$(cat "$work/diff")" = "changed    d07/f31.bin (1048576 -> 2097152 bytes)" ] ||
  { echo "run.sh: the rewrite changed more than the entry:" >&2; cat "$work/diff" >&2; exit 1; }

cp_wall=$(cut -d' ' -f1 "$work/cp" | median)
cps_wall=$(cut -d' ' -f1 "$work/cpsync" | median)
printf '%-34s %9s %9s %9s %12s   %s\n' what wall-s cpu-s "x cp" "x cp+sync" "runs (wall)"
for what in update backup cp cpsync cpmv; do
  wall=$(cut -d' ' -f1 "$work/$what" | median)
  cpu=$(cut -d' ' -f2 "$work/$what" | median)
  case $what in
    update) name="update (1 MiB -> 2 MiB)" ;;
    backup) name="update --backup" ;;
    cpsync) name="cp + sync" ;;
    cpmv) name="cp + sync + mv over the original" ;;
    *) name=$what ;;
  esac
  printf '%-34s %9.3f %9.3f %9.2f %12.2f   %s\n' "$name" "$wall" "$cpu" "$(echo "$wall / $cp_wall" | bc -l)" \
    "$(echo "$wall / $cps_wall" | bc -l)" "$(cut -d' ' -f1 "$work/$what" | tr '\n' ' ')"
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
