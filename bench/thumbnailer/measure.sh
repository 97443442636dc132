#!/usr/bin/env bash
# Time and peak memory of korvix-thumbnailer, as a file manager runs it, on
# textures of every format and on bad input (each must exit 1 and write
# nothing):
#
#   bench/thumbnailer/measure.sh [BUILD_DIR] [RUNS]     (defaults build, 7)
#
# Prints one line per file: exit status, median wall time and the largest
# maximum resident set size of RUNS runs (GNU time).
set -euo pipefail
build=${1:-build}
runs=${2:-7}
thumbnailer=$build/thumbnailer/korvix-thumbnailer
cli=$build/cli/korvix-cli
picture=$(dirname "$0")/../../samples/source/plasma.tga
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 36-byte texture header: format, width, height, maps.
header() {
  printf 'KTEX'
  for v in 0 "$1" "$2" "$3" "$4" "$2" "$3" 4294967295; do
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))"
  done
}

# Good input: 2048 x 2048 in each format with all its maps, and a volume.
for f in dxt1 dxt3 rgba4444 rgb565 rgba8888; do
  alpha=(--alpha opaque); case $f in dxt1|rgb565) alpha=(--no-alpha);; esac
  "$cli" convert "$picture" "$work/good-2048-$f.tex" --resize 2048x2048 --format $f "${alpha[@]}" --maps all >/dev/null
done
mkdir -p "$work/tree/sounds" "$work/tree/textures"
head -c 4096 /dev/zero > "$work/tree/sounds/a.wav"
cp "$work/good-2048-dxt3.tex" "$work/tree/textures/wall.tex"
"$cli" pack "$work/tree" "$work/good-volume.qrb" --timestamp now >/dev/null 2>&1

# Bad input.
{ header 2 1024 1024 1; head -c 1000 /dev/zero; } > "$work/bad-truncated.tex"
{ header 2 65536 65536 1; head -c 64 /dev/zero; } > "$work/bad-huge-declared.tex"
{ header 10 4096 4096 1; head -c $((4096 * 4096 / 2)) /dev/zero; } > "$work/bad-4096-dxt1.tex"
printf '\\documentclass{article}\n\\begin{document}\nKTEX\n\\end{document}\n' > "$work/bad-paper.tex"
rm -rf "$work/tree/textures"
"$cli" pack "$work/tree" "$work/bad-no-textures.qrb" --timestamp now >/dev/null 2>&1
{ head -c 256 /dev/zero; printf 'KRMTLW_V2.00\0\0\0\0\xff\xff\xff\x0f'; head -c 24 /dev/zero; } > "$work/bad-huge-catalogue.qrb"

printf '%-28s %5s %10s %10s\n' file exit wall maxRSS
for input in "$work"/good-* "$work"/bad-*; do
  walls=() rss=0 code=0
  for ((i = 0; i < runs; i++)); do
    rm -f "$work/out.png"
    code=0
    env -i /usr/bin/time -f '%e %M' -o "$work/time" "$thumbnailer" -s 256 "$input" "$work/out.png" 2>/dev/null || code=$?
    read -r wall kb < <(tail -n 1 "$work/time")
    walls+=("$wall")
    ((kb > rss)) && rss=$kb
    if [ "$code" -ne 0 ] && [ -e "$work/out.png" ]; then echo "$input: exit $code left an output file" >&2; exit 1; fi
  done
  median=$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
  printf '%-28s %5d %9ss %7.1f MiB\n' "$(basename "$input")" "$code" "$median" "$(awk "BEGIN { print $rss / 1024 }")"
done
