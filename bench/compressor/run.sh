#!/bin/sh
# Builds korvix-dxt-bench, installs the image corpus (Debian game data and wallpaper
# packages), converts it to PAM with ImageMagick and prints the comparison table.
#
#   bench/compressor/run.sh [build-dir] [korvix-dxt-bench options: --per-image, --digest, --quick,
#                                        --only TEXT, --repeat N]
#
# Needs root for apt-get (or the packages already installed): extremetuxracer-data,
# ukui-wallpapers, imagemagick, libsquish-dev, libstb-dev, libbenchmark-dev, libopencv-dev
# (the benchmark build configures every benchmark, the filters' too) and, when available,
# libnvtt-dev. Ends with the decoding benchmark (2048 x 2048 DXT1 and DXT3 against a copy).
set -eu

src=$(cd "$(dirname "$0")/../.." && pwd)
build=$src/build-bench
case "${1:-}" in
    ""|--*) ;;
    *) build=$1; shift ;;
esac

need=""
for p in extremetuxracer-data ukui-wallpapers imagemagick libsquish-dev libstb-dev libbenchmark-dev libopencv-dev libnvtt-dev; do
    dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
done
if [ -n "$need" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need \
        || echo "run.sh: could not install$need; going on with what is there" >&2
fi

# The project's default build type, so that the numbers are those of the shipped code.
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVIX_BUILD_BENCH=ON >/dev/null
ninja -C "$build" -j2 korvix-dxt-bench korvix-dxt-decode-bench >/dev/null
ninja -C "$build" -j2 korvix-dxt-bench-nvtt >/dev/null 2>&1 || true

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT INT TERM

# Game textures: terrain, sky box, character skin, a course preview and an interface
# picture; photographs: landscape wallpapers scaled to 1024 wide.
etr=/usr/share/games/etr
for f in terrains/rock02.png terrains/grass01.png terrains/snow02.png terrains/pave01.png \
         terrains/dirt01.png env/etr/sunny/frontH.png env/etr/evening/leftH.png \
         env/tuxracer/night/front.png char/tux/preview.png objects/herring.png textures/splash_1.png; do
    [ -f "$etr/$f" ] || continue
    name=$(echo "$f" | tr '/' '_' | sed 's/\.png$//')
    convert "$etr/$f" -alpha off -depth 8 "pam:$corpus/etr_$name.pam" 2>/dev/null
done
n=0
for f in /usr/share/backgrounds/*.jpg; do
    [ -f "$f" ] || continue
    n=$((n + 1))
    [ $n -gt 4 ] && break
    convert "$f" -resize 1024x -alpha off -depth 8 "pam:$corpus/photo_$(basename "$f" .jpg).pam" 2>/dev/null
done

"$build/bench/compressor/korvix-dxt-bench" "$@" "$corpus"/*.pam
# nvtt runs as a program of its own (it cannot share a process with libsquish); its rows
# continue the table above.
if [ -x "$build/bench/compressor/korvix-dxt-bench-nvtt" ]; then
    "$build/bench/compressor/korvix-dxt-bench-nvtt" "$@" "$corpus"/*.pam
else
    echo "(nvtt: libnvtt-dev not available, left out)"
fi
echo
"$build/bench/compressor/korvix-dxt-decode-bench" --benchmark_repetitions=7 --benchmark_report_aggregates_only=true
