#!/usr/bin/env bash
# Times whiten-pages against the ways people whiten a book today, side by side
# in one run: a book of A4 300-dpi JPEG pages to gray PNG (whiten-pages), the
# same book as one multi-page TIFF to a multi-page TIFF (whiten-pages), the
# OpenCV loop (bench/opencv_loop.py, one Python process) and the README's
# ImageMagick chain around the classic tool (mogrify to BMP3, whiten, mogrify
# back to gray PNG; whiten's closing 5 s pause is subtracted). Rounds alternate
# the commands; medians of wall time, seconds a page, ratios, peak memory
# (the largest process, /usr/bin/time). With --jobs, also -j/--threads mixes.
# --vs DIR adds, in the same rounds, the JPEG -> PNG run of another build (an
# older commit's, say) as its own row; --quick leaves out the TIFF book and
# the ImageMagick chain, so that more rounds fit. PAGE is the page the book is
# made of: an A4 300-dpi 24-bit BMP (or name it in WHITEN_BENCH_PAGE).
#
#   bash bench/pages_bench.sh PAGE.bmp [--pages N] [--rounds R] [--jobs] [--build DIR] [--vs DIR] [--quick]
#
# Needs ImageMagick, /usr/bin/python3 with python3-opencv, GNU time; builds
# whiten and whiten-pages optimised (build/release) unless --build names a build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pages=12 rounds=3 sweep=0 build=$root/build/release vs= quick=0 source_page=${WHITEN_BENCH_PAGE:-}
usage="usage: $0 PAGE.bmp [--pages N] [--rounds R] [--jobs] [--build DIR] [--vs DIR] [--quick]"
while [ $# -gt 0 ]; do
    case $1 in
        --pages) pages=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --jobs) sweep=1; shift ;;
        --build) build=$(realpath "$2"); shift 2 ;;
        --vs) vs=$(realpath "$2"); shift 2 ;;
        --quick) quick=1; shift ;;
        -*) echo "$usage" >&2; exit 2 ;;
        *) [ -z "${page_given:-}" ] || { echo "$usage" >&2; exit 2; }
           source_page=$1 page_given=1; shift ;;
    esac
done
[ -n "$source_page" ] || { echo "$usage (or WHITEN_BENCH_PAGE=PAGE.bmp): no page named" >&2; exit 2; }
[ -f "$source_page" ] || { echo "no page $source_page: name an A4 300-dpi 24-bit BMP" >&2; exit 1; }
[ "$pages" -ge 1 ] && [ "$rounds" -ge 1 ] || { echo "--pages and --rounds take numbers from 1" >&2; exit 2; }
source_page=$(realpath "$source_page")  # names taken from the caller's folder
cd "$root"
if [ ! -x "$build/pages/whiten-pages" ] || [ ! -x "$build/whiten" ]; then
    cmake --preset release >/dev/null && cmake --build --preset release --target whiten whiten-pages
    build=$root/build/release
fi
pagesbin=$build/pages/whiten-pages
if [ -n "$vs" ] && [ ! -x "$vs/pages/whiten-pages" ]; then echo "no $vs/pages/whiten-pages" >&2; exit 1; fi
whitenbin=$build/whiten

# The book, made once for each page and kept beside the other temporary files (never in the
# repository): every page different, a slight turn, a shift and its own noise, still 2480 x 3508.
book=${TMPDIR:-/tmp}/whiten-pages-bench-$pages-$(cksum < "$source_page" | cut -d ' ' -f 1)
if [ ! -f "$book/book.tif" ]; then
    rm -rf "$book"; mkdir -p "$book/jpeg"
    for i in $(seq 1 "$pages"); do
        angle=$(awk -v i="$i" 'BEGIN { printf "%.2f", ((i * 37) % 21 - 10) / 10 }')
        dx=$(( (i * 53) % 81 - 40 )) dy=$(( (i * 29) % 61 - 30 ))
        convert "$source_page" -background '#c8c0a8' -rotate "$angle" -gravity center \
            -extent "2480x3508$( [ $dx -ge 0 ] && echo +)$dx$( [ $dy -ge 0 ] && echo +)$dy" \
            -seed "$i" -attenuate 0.4 +noise Gaussian -density 300 -units PixelsPerInch \
            -quality 90 "$book/jpeg/$(printf 'p%03d' "$i").jpg"
    done
    # A scanner's multi-page file: JPEG-compressed pages in one TIFF.
    convert "$book"/jpeg/*.jpg -compress JPEG -quality 90 "$book/book.tif"
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/whiten-pages-bench-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
timed() {  # NAME COMMAND...: appends "NAME wall-seconds peak-KiB" to $scratch/times
    local name=$1; shift
    /usr/bin/time -f "%e %M" -o "$scratch/one" "$@" >/dev/null 2>"$scratch/err" ||
        { echo "$name failed:" >&2; cat "$scratch/err" >&2; exit 1; }
    echo "$name $(cat "$scratch/one")" >> "$scratch/times"
}
chain() {  # the README's recipe, its three steps timed apart
    rm -rf "$scratch/chain"; mkdir -p "$scratch/chain/png"
    timed chain-to-bmp mogrify -path "$scratch/chain" -format bmp -type truecolor -define bmp:format=bmp3 "$book"/jpeg/*.jpg
    timed chain-whiten "$whitenbin" "$scratch"/chain/*.bmp
    timed chain-to-png mogrify -path "$scratch/chain/png" -format png -type grayscale "$scratch"/chain/Result/*.bmp
}
commands=(pages-jpeg-png pages-tiff-tiff opencv chain)
if [ "$quick" = 1 ]; then commands=(pages-jpeg-png opencv); fi
if [ -n "$vs" ]; then commands+=(vs-jpeg-png); fi
if [ "$sweep" = 1 ]; then commands+=(j1-t2 j2-t1 j2-t2 j3-t1 j4-t1); fi
run() {
    rm -rf "$scratch/out"
    case $1 in
        pages-jpeg-png) timed "$1" "$pagesbin" -q -o "$scratch/out" "$book"/jpeg/*.jpg ;;
        vs-jpeg-png) timed "$1" "$vs/pages/whiten-pages" -q -o "$scratch/out" "$book"/jpeg/*.jpg ;;
        pages-tiff-tiff) timed "$1" "$pagesbin" -q -o "$scratch/out" "$book/book.tif" ;;
        opencv) timed "$1" /usr/bin/python3 "$root/bench/opencv_loop.py" "$scratch/out" "$book"/jpeg/*.jpg ;;
        chain) chain ;;
        j*-t*) local j=${1#j}; j=${j%-t*}; local t=${1#*-t}
            timed "$1" "$pagesbin" -q -j "$j" --threads "$t" -o "$scratch/out" "$book"/jpeg/*.jpg ;;
    esac
}
for round in $(seq 1 "$rounds"); do
    # Each round starts with a different command, so that none always runs first.
    n=${#commands[@]}
    for k in $(seq 0 $((n - 1))); do run "${commands[$(( (k + round) % n ))]}"; done
    echo "round $round of $rounds done" >&2
done

echo "$pages pages of 2480 x 3508 (A4, 300 dpi), $rounds rounds, $(nproc) cores; medians"
python3 - "$scratch/times" "$pages" "$vs" <<'PY'
import statistics, sys
from collections import defaultdict
times, peaks = defaultdict(list), defaultdict(list)
for line in open(sys.argv[1]):
    name, wall, kib = line.split()
    times[name].append(float(wall)); peaks[name].append(int(kib))
pages = int(sys.argv[2])
rounds = len(times["opencv"])
# The chain per round: its three steps, less whiten's closing pause.
if "chain-whiten" in times:
    times["chain"] = [times["chain-to-bmp"][r] + times["chain-whiten"][r] - 5.0 + times["chain-to-png"][r]
                      for r in range(rounds)]
    peaks["chain"] = [max(peaks[s][r] for s in ("chain-to-bmp", "chain-whiten", "chain-to-png"))
                      for r in range(rounds)]
    times["chain: whiten alone"] = [t - 5.0 for t in times["chain-whiten"]]
    peaks["chain: whiten alone"] = peaks["chain-whiten"]
opencv = statistics.median(times["opencv"])
labels = {"pages-jpeg-png": "whiten-pages, JPEG -> PNG", "pages-tiff-tiff": "whiten-pages, TIFF -> TIFF",
          "vs-jpeg-png": "whiten-pages of the --vs build, JPEG -> PNG",
          "opencv": "OpenCV loop", "chain": "ImageMagick + whiten", "chain: whiten alone": "  (whiten alone)"}
print("| command | s a page | / OpenCV loop | peak memory |")
print("|---|---|---|---|")
for name in [n for n in ["pages-jpeg-png", "vs-jpeg-png", "pages-tiff-tiff", "opencv", "chain",
                         "chain: whiten alone"] if n in times] + sorted(n for n in times if n.startswith("j")):
    median = statistics.median(times[name])
    label = labels[name] if name in labels else "whiten-pages -j %s --threads %s" % tuple(name[1:].split("-t"))
    print("| %s | %.3f | %.2f | %.0f MiB |" % (label, median / pages, median / opencv,
                                              max(peaks[name]) / 1024))
if "vs-jpeg-png" in times:  # round by round, so that the machine's drift cancels
    ratios = [a / b for a, b in zip(times["pages-jpeg-png"], times["vs-jpeg-png"])]
    print("JPEG -> PNG, this build / the --vs build (%s): median of the rounds' ratios %.3f (%.3f .. %.3f)"
          % (sys.argv[3], statistics.median(ratios), min(ratios), max(ratios)))
PY
