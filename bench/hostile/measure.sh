#!/usr/bin/env bash
# Peak memory and time of korvix-cli on each hostile file: `info` and
# `convert FILE out.png` (default budget). The first line is a tiny sound
# picture, the process's resting size.
#   bench/hostile/measure.sh [BUILD_DIR]     (default: build)
# Needs the build's korvix-cli and korvix-write-hostile (tests enabled).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
cli=$build/cli/korvix-cli
writer=$build/tests/hostile/korvix-write-hostile
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$writer" "$work/in"
# A 4 x 4 picture: what any command costs at rest.
printf 'P5\n4 4\n255\n' > "$work/in/rest.pgm"
head -c 16 /dev/zero >> "$work/in/rest.pgm"

printf '%-26s %8s %10s %12s %10s %12s %s\n' file bytes info-MiB info-s convert-MiB convert-s convert-exit
for f in "$work/in/rest.pgm" "$work"/in/*; do
  [ "$f" = "$work/in/rest.pgm" ] && [ -n "${seen:-}" ] && continue
  seen=1
  name=$(basename "$f")
  bytes=$(stat -c %s "$f")
  /usr/bin/time -f '%M %e' -o "$work/t1" "$cli" info "$f" >/dev/null 2>&1 || true
  set +e
  /usr/bin/time -f '%M %e' -o "$work/t2" "$cli" convert "$f" "$work/out.png" >/dev/null 2>&1
  code=$?
  set -e
  read -r m1 s1 < <(tail -1 "$work/t1")
  read -r m2 s2 < <(tail -1 "$work/t2")
  printf '%-26s %8s %10.1f %12s %10.1f %12s %s\n' "$name" "$bytes" "$(echo "$m1/1024" | bc -l)" "$s1" \
    "$(echo "$m2/1024" | bc -l)" "$s2" "$code"
  rm -f "$work/out.png"
done
