#!/bin/sh
# Decoding speed of the image-file layer against ImageMagick, per type.
#
#   bench/imagefile/run.sh BUILD_DIR [RUNS]
#
# BUILD_DIR is configured with -DKORVIX_BUILD_BENCH=ON and has korvix-cli and
# korvix-imagefile-bench built. Makes one 2048 x 2048 picture (ImageMagick's
# plasma fractal, fixed seed) in every type both programs read and shows, as
# medians of RUNS runs (default 9):
#   decode:  korvix in process (korvix-imagefile-bench) against ImageMagick's
#            `convert FILE null:` less the same command on a 2 x 2 file of the
#            same type (process start-up and coder loading taken out);
#   process: `korvix-cli convert FILE out.tga` against ImageMagick's
#            `convert FILE out.tga`: the whole program reading the picture and
#            writing it as a TGA, start-up included (`info` reads headers only).
# ratio = ImageMagick / korvix (above 1: korvix is faster). ImageMagick is held
# to one thread. Run it on a quiet machine.
set -eu
build=${1:?usage: run.sh BUILD_DIR [RUNS]}
runs=${2:-9}
cli="$build/cli/korvix-cli"
bench="$build/bench/imagefile/korvix-imagefile-bench"
[ -x "$cli" ] && [ -x "$bench" ] || { echo "build korvix-cli and korvix-imagefile-bench in $build" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ImageMagick's own program, not a wrapper that a PATH may put in front of it.
im=$(command -v convert-im6.q16 || command -v convert)
export MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1
"$im" -seed 4 -size 2048x2048 plasma:fractal -blur 0x1 -depth 8 "$work/src.ppm"
"$im" "$work/src.ppm" \( -size 2048x2048 gradient: -rotate 90 \) -compose CopyOpacity -composite "$work/src.pam"

"$im" "$work/src.ppm" BMP3:"$work/image.bmp"
"$im" "$work/src.ppm" "$work/image_24.tga"
"$im" "$work/src.pam" -compress RLE "$work/image_32rle.tga"
"$im" "$work/src.ppm" -compress none "$work/image_none.tif"
"$im" "$work/src.ppm" -compress lzw "$work/image_lzw.tif"
"$im" "$work/src.ppm" -quality 90 "$work/image.jpg"
"$im" "$work/src.ppm" PNG24:"$work/image.png"
"$im" "$work/src.pam" PNG32:"$work/image_rgba.png"
"$im" "$work/src.ppm" "$work/image.pcx"
"$im" "$work/src.ppm" -colorspace gray "$work/image.pgm"
"$im" "$work/src.ppm" PICT:"$work/image.pict"
# Written back and read once, so that no run pays for the files' creation.
sync
cat "$work"/image* > /dev/null

# Median wall time of a command in milliseconds.
median_ms() {
    i=0
    while [ $i -lt "$runs" ]; do
        start=$(date +%s%N)
        "$@" > /dev/null 2>&1
        end=$(date +%s%N)
        echo $(( (end - start) / 1000000 ))
        i=$((i + 1))
    done | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

ratio() { awk -v k="$1" -v m="$2" 'BEGIN { printf "%.2f", (k > 0 ? m / k : 0) }'; }

printf '%-16s | %8s %8s %6s | %8s %8s %6s\n' "" korvix magick ratio korvix magick ratio
printf '%-16s | %-24s | %-24s\n' "file (ms)" "decode" "process"
for f in image.bmp image_24.tga image_32rle.tga image_none.tif image_lzw.tif image.jpg image.png image_rgba.png \
         image.pcx image.pgm image.pict; do
    ext=${f##*.}
    case $f in
        image.bmp) tinyfmt=BMP3: ;; image.png) tinyfmt=PNG24: ;; image_rgba.png) tinyfmt=PNG32: ;; *) tinyfmt= ;;
    esac
    "$im" "$work/src.ppm" -resize '2x2!' "$tinyfmt$work/tiny_$f"
    kd=$(KORVIX_BENCH_RUNS=$runs "$bench" "$work/$f" | awk '{ print $2 }')
    mp=$(median_ms "$im" "$work/$f" null:)
    mt=$(median_ms "$im" "$work/tiny_$f" null:)
    md=$((mp - mt))
    kp=$(median_ms "$cli" convert "$work/$f" "$work/out_korvix.tga")
    mw=$(median_ms "$im" "$work/$f" "$work/out_magick.tga")
    printf '%-16s | %8s %8s %6s | %8s %8s %6s\n' "$f" "$kd" "$md" "$(ratio "$kd" "$md")" "$kp" "$mw" "$(ratio "$kp" "$mw")"
done
