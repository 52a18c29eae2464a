#!/usr/bin/env bash
# Each output format against libvips, side by side in one run:
#   bench/format_compare.sh [ROUNDS] [PHOTO]
# The photo (default: the 20 MP test photo) is resized to 1024 pixels on its longer side with a
# Lanczos-3 filter and written as JPEG, WebP, AVIF and PNG by `picaxo-cli convert --format F`
# and by `vips resize` on one thread (VIPS_CONCURRENCY=1), with the same codec settings:
# quality 85, WebP effort 4, AVIF speed 6 (vips effort 3 = 9 - speed) with 4:2:0 chroma, PNG
# zlib level 6 with every row filter, no metadata. The AV1 encoder's own threads are left to
# libheif in both. Runs alternate (picaxo, vips, picaxo, vips ...) so that the load of a shared
# machine falls on both alike; medians of wall time and of CPU time (user + system) are printed,
# with the ratio picaxo / vips (target: below 1, and at most 1.05 for the new formats).
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
ensure_packages libvips-tools time
# PICAXO_CLI names a built picaxo-cli to measure instead of building the release tree.
[ -n "${PICAXO_CLI:-}" ] ||
  configure_and_build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null

ROUNDS="${1:-7}"
PHOTO="${2:-$ROOT/testdata/photos/Kleiber_by_Lukas_Baubkus.jpg}"
CLI="${PICAXO_CLI:-$ROOT/build/release/app/picaxo-cli}"
VIPS=/usr/bin/vips
export VIPS_CONCURRENCY=1 OMP_NUM_THREADS=1
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

width="$(vipsheader -f width "$PHOTO")"
height="$(vipsheader -f height "$PHOTO")"
longer=$(( width > height ? width : height ))
scale="$(awk -v l="$longer" 'BEGIN { printf "%.10f", 1024 / l }')"

# "wall cpu" seconds of one run of the command.
measure() {
  /usr/bin/time -f '%e %U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1, $2 + $3 }'
}
median() { sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

echo "== $(basename "$PHOTO") (${width}x${height}) to 1024 px, $ROUNDS alternating rounds"
printf '%-6s %9s %9s %6s   %9s %9s %6s   %9s %9s\n' format "picaxo s" "vips s" ratio \
  "pic cpu" "vips cpu" ratio "pic KB" "vips KB"
status=0
for format in jpeg webp avif png; do
  case $format in
    jpeg) ext=jpg; opts="[Q=85,strip]" ;;
    webp) ext=webp; opts="[Q=85,effort=4,strip]" ;;
    avif) ext=avif; opts="[Q=85,effort=3,compression=av1,subsample-mode=on,strip]" ;;
    png) ext=png; opts="[compression=6,filter=all,strip]" ;;
  esac
  ours=("$CLI" convert --longer 1024 --quality 85 --format "$format" "$PHOTO" "$WORK/p.$ext")
  theirs=("$VIPS" resize "$PHOTO" "$WORK/v.$ext$opts" "$scale" --kernel lanczos3 --gap 0)
  "${ours[@]}" >/dev/null && "${theirs[@]}" >/dev/null  # warm the caches, check both work
  : >"$WORK/ours" && : >"$WORK/theirs"
  for ((i = 0; i < ROUNDS; i++)); do
    measure "${ours[@]}" >>"$WORK/ours"
    measure "${theirs[@]}" >>"$WORK/theirs"
  done
  pw="$(cut -d' ' -f1 "$WORK/ours" | median)"; pc="$(cut -d' ' -f2 "$WORK/ours" | median)"
  vw="$(cut -d' ' -f1 "$WORK/theirs" | median)"; vc="$(cut -d' ' -f2 "$WORK/theirs" | median)"
  rw="$(awk -v a="$pw" -v b="$vw" 'BEGIN { printf "%.2f", a / b }')"
  rc="$(awk -v a="$pc" -v b="$vc" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }')"
  printf '%-6s %9.3f %9.3f %6s   %9.3f %9.3f %6s   %9d %9d\n' "$format" "$pw" "$vw" "$rw" \
    "$pc" "$vc" "$rc" "$(( $(stat -c %s "$WORK/p.$ext") / 1024 ))" \
    "$(( $(stat -c %s "$WORK/v.$ext") / 1024 ))"
  awk -v r="$rw" 'BEGIN { exit !(r >= 1) }' && status=1
done
exit $status
