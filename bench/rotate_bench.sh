#!/usr/bin/env bash
# Lossless quarter turn of a 24-megapixel photo: `picaxo-cli rotate right` (in place, through a
# temporary file that is flushed to disk) against `jpegtran -rotate 90 -copy all`, side by side in
# one hyperfine run, plus the peak memory of each. Target: picaxo at most 1.2 x jpegtran's time.
#
#   bench/rotate_bench.sh [PHOTO] [RUNS]    (default: the 20 MP Kleiber test photo, 15 runs)
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
ensure_packages "${PICAXO_PACKAGES[@]}" imagemagick hyperfine time

BUILD="$ROOT/build/release"
[ -f "$BUILD/build.ninja" ] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD" -j "$JOBS" --target picaxo-cli
CLI="$BUILD/app/picaxo-cli"

PHOTO="${1:-$ROOT/testdata/photos/Kleiber_by_Lukas_Baubkus.jpg}"
RUNS="${2:-15}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# 6000 x 4000 = 24 MP, 4:2:2 like the camera file it comes from.
convert "$PHOTO" -resize '6000x4000!' -quality 92 -sampling-factor 2x1 "$WORK/photo24.jpg"
cp "$WORK/photo24.jpg" "$WORK/inplace.jpg"
echo "Test file: $(identify -format '%w x %h, %[jpeg:sampling-factor], ' "$WORK/photo24.jpg")$(stat -c %s "$WORK/photo24.jpg") bytes"

# Each picaxo run turns the same file a further quarter (6000 x 4000 and 4000 x 6000 alternate);
# jpegtran reads the untouched file and writes a new one.
hyperfine --warmup 2 --runs "$RUNS" --export-csv "$WORK/times.csv" \
  -n picaxo "'$CLI' rotate right '$WORK/inplace.jpg'" \
  -n jpegtran "jpegtran -rotate 90 -copy all -outfile '$WORK/jpegtran.jpg' '$WORK/photo24.jpg'"

peak_kib() {
  /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1
}
cp "$WORK/photo24.jpg" "$WORK/inplace.jpg"
PICAXO_KIB="$(peak_kib "$CLI" rotate right "$WORK/inplace.jpg")"
JPEGTRAN_KIB="$(peak_kib jpegtran -rotate 90 -copy all -outfile "$WORK/jpegtran.jpg" "$WORK/photo24.jpg")"
IN_KIB=$(($(stat -c %s "$WORK/photo24.jpg") / 1024))
OUT_KIB=$(($(stat -c %s "$WORK/inplace.jpg") / 1024))
# One set of coefficient arrays: 4:2:2 has 2 luminance + 2 chroma blocks of 128 bytes per 16 x 8.
COEF_KIB=$((6000 * 4000 / 128 * 4 * 128 / 1024))
echo
echo "Peak RSS: picaxo ${PICAXO_KIB} KiB, jpegtran ${JPEGTRAN_KIB} KiB"
echo "  input file ${IN_KIB} KiB, output file ${OUT_KIB} KiB, one set of coefficient arrays ${COEF_KIB} KiB"

awk -F, 'NR > 1 { mean[$1] = $2 }
  END {
    ratio = mean["picaxo"] / mean["jpegtran"]
    printf "Mean time: picaxo %.1f ms, jpegtran %.1f ms, ratio %.2f (limit 1.20): %s\n",
      mean["picaxo"] * 1000, mean["jpegtran"] * 1000, ratio, ratio <= 1.2 ? "PASS" : "FAIL"
    exit ratio <= 1.2 ? 0 : 1
  }' "$WORK/times.csv"
