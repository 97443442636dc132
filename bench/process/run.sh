#!/bin/bash
# The whole process of one 2048 x 2048 picture to a DXT1 texture, start-up and
# exit included: `korvix-cli convert in.tga out.tex --format dxt1 --maps largest`
# of one or more korvix-cli builds against ImageMagick 6's DDS writer on the same
# TGA.
#
#   bench/process/run.sh [-n RUNS] KORVIX_CLI [KORVIX_CLI...]
#
# Two pictures, since the compressor's time depends on the content: ImageMagick's
# plasma fractal (fixed seed) and a photograph (the first wallpaper of
# /usr/share/backgrounds, scaled to 2048 x 2048; PHOTO=FILE chooses another).
# The programs run interleaved, RUNS times each (default 15); the table shows the
# medians of wall time and of CPU time (user + system, with user and system apart),
# and one run's page faults where perf is there. The load average comes before and
# after: run it on a quiet machine. bash for its `time` with millisecond figures.
#
# Needs ImageMagick 6 (installed with apt-get when missing and run as root) and,
# for the photograph, a wallpaper package such as ukui-wallpapers.
set -eu

runs=15
if [ "${1:-}" = -n ]; then
    runs=${2:?-n wants a count}
    shift 2
fi
[ $# -ge 1 ] || { echo "usage: run.sh [-n RUNS] KORVIX_CLI [KORVIX_CLI...]" >&2; exit 2; }
for cli in "$@"; do
    [ -x "$cli" ] || { echo "run.sh: $cli is not an executable korvix-cli" >&2; exit 1; }
done

if ! command -v convert-im6.q16 >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends imagemagick >/dev/null \
        || { echo "run.sh: ImageMagick 6 (convert-im6.q16) is needed" >&2; exit 1; }
fi
# ImageMagick's own program: `convert` on a PATH may be a wrapper that changes pictures.
im=convert-im6.q16

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

"$im" -size 2048x2048 -seed 7 plasma:fractal "$work/plasma.tga"
pictures="plasma"
photo=${PHOTO:-$(ls /usr/share/backgrounds/*.jpg /usr/share/backgrounds/*.png 2>/dev/null | head -n 1 || true)}
if [ -n "$photo" ] && [ -f "$photo" ]; then
    "$im" "$photo" -resize '2048x2048!' -alpha off -depth 8 "$work/photo.tga"
    pictures="plasma photo"
else
    echo "run.sh: no wallpaper found; the photograph is left out" >&2
fi
# Written back and read once, so that no run pays for the files' creation.
sync
cat "$work"/*.tga > /dev/null

# One timed run: prints "wall user system" in seconds.
TIMEFORMAT='%3R %3U %3S'
timed() {
    { time "$@" > /dev/null 2> "$work/err" ; } 2>&1 || { cat "$work/err" >&2; exit 1; }
}

# Median of the numbers on standard input.
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

programs() {
    i=0
    for cli in "$@"; do
        i=$((i + 1))
        echo "korvix$i $cli"
    done
    echo "magick $im"
}

run_program() {  # NAME PROGRAM PICTURE OUTPUT-STEM
    case $1 in
        magick) timed "$2" "$3" -define dds:compression=dxt1 -define dds:mipmaps=0 "$4.dds" ;;
        *) timed "$2" convert "$3" "$4.tex" --format dxt1 --maps largest ;;
    esac
}

echo "uptime before: $(uptime)"
echo "runs: $runs, interleaved; medians in seconds"
for picture in $pictures; do
    in="$work/$picture.tga"
    r=0
    while [ $r -lt "$runs" ]; do
        programs "$@" | while read -r name program; do
            run_program "$name" "$program" "$in" "$work/out_$name" >> "$work/times_$name"
        done
        r=$((r + 1))
    done

    echo
    if [ "$picture" = photo ]; then
        echo "picture: $(basename "$photo") scaled to 2048 x 2048"
    else
        echo "picture: plasma fractal, seed 7, 2048 x 2048"
    fi
    printf '%-8s %7s %7s %7s %7s %9s  %s\n' program wall cpu user system faults path
    programs "$@" | while read -r name program; do
        t="$work/times_$name"
        wall=$(awk '{ print $1 }' "$t" | median)
        cpu=$(awk '{ print $2 + $3 }' "$t" | median)
        user=$(awk '{ print $2 }' "$t" | median)
        sys=$(awk '{ print $3 }' "$t" | median)
        faults=-
        if command -v perf >/dev/null 2>&1; then
            case $name in
                magick) set -- "$program" "$in" -define dds:compression=dxt1 -define dds:mipmaps=0 "$work/f.dds" ;;
                *) set -- "$program" convert "$in" "$work/f.tex" --format dxt1 --maps largest ;;
            esac
            faults=$(perf stat -x, -e page-faults "$@" 2>&1 >/dev/null | awk -F, '/page-faults/ { print $1 }')
            [ -n "$faults" ] || faults=-
        fi
        printf '%-8s %7s %7s %7s %7s %9s  %s\n' "$name" "$wall" "$cpu" "$user" "$sys" "$faults" "$program"
        rm -f "$t"
    done
done
echo
echo "uptime after: $(uptime)"
