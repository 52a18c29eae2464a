#!/usr/bin/env bash
# Speed of one resize-and-encode per source format, picaxo-cli against libvips, both on one
# thread, side by side in one run:
#   bench/formats_compare.sh [RUNS] [PHOTO]
# The 20 MP photo is made once into a PNG, a WebP (quality 85), a HEIC and an AVIF (quality 85,
# libheif's encoders) and a TIFF (LZW), kept in build/bench-sources. Each is resized to 1024
# pixels on its longer side with a Lanczos-3 filter and written as a JPEG of quality 85. Prints
# median wall times, CPU times (user + system, medians; less disturbed by other work on a shared
# machine) and the ratio picaxo / libvips against the target (at most 1.05, and faster).
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
ensure_packages "${PICAXO_PACKAGES[@]}" libvips-tools hyperfine jq time
configure_and_build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null

RUNS="${1:-5}"
PHOTO="${2:-$ROOT/testdata/photos/Kleiber_by_Lukas_Baubkus.jpg}"
CLI="$ROOT/build/release/app/picaxo-cli"
VIPS=/usr/bin/vips
export VIPS_CONCURRENCY=1 OMP_NUM_THREADS=1
SOURCES="$ROOT/build/bench-sources"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$SOURCES"

base="$SOURCES/$(basename "${PHOTO%.*}")"
[ -f "$base.png" ] || "$VIPS" pngsave "$PHOTO" "$base.png"
[ -f "$base.webp" ] || cwebp -quiet -q 85 "$base.png" -o "$base.webp"
[ -f "$base.heic" ] || heif-enc -q 85 "$base.png" -o "$base.heic" >/dev/null
[ -f "$base.avif" ] || heif-enc -A -q 85 "$base.png" -o "$base.avif" >/dev/null
[ -f "$base.tif" ] || "$VIPS" tiffsave "$PHOTO" "$base.tif" --compression lzw

width="$(vipsheader -f width "$PHOTO")"
height="$(vipsheader -f height "$PHOTO")"
longer=$(( width > height ? width : height ))
scale="$(awk -v l="$longer" 'BEGIN { printf "%.10f", 1024 / l }')"

median() { jq -r ".results[] | select(.command == \"$2\") | .median" "$1"; }
cpu() {
  local i
  for ((i = 0; i < RUNS; i++)); do
    /usr/bin/time -f '%U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1 + $2 }'
  done | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
}

status=0
echo "== ${width}x${height} photo, $RUNS runs each, one thread, 1024 px JPEG of quality 85"
printf '%-6s %10s %10s %8s   %10s %10s %8s\n' format picaxo libvips ratio "cpu picaxo" "cpu vips" ratio
for ext in png webp heic avif tif; do
  src="$base.$ext"
  args=(-N --warmup 1 --runs "$RUNS" --style none --export-json "$WORK/t.json")
  # Alternating order within one run: both see the same machine.
  hyperfine "${args[@]}" \
    -n picaxo "$CLI convert --longer 1024 --quality 85 $src $WORK/p.jpg" \
    -n libvips "$VIPS resize $src $WORK/v.jpg[Q=85] $scale --kernel lanczos3 --gap 0" >/dev/null
  p="$(median "$WORK/t.json" picaxo)"
  v="$(median "$WORK/t.json" libvips)"
  cp="$(cpu "$CLI" convert --longer 1024 --quality 85 "$src" "$WORK/p.jpg")"
  cv="$(cpu "$VIPS" resize "$src" "$WORK/v.jpg[Q=85]" "$scale" --kernel lanczos3 --gap 0)"
  ratio="$(awk -v p="$p" -v v="$v" 'BEGIN { printf "%.2f", p / v }')"
  cratio="$(awk -v p="$cp" -v v="$cv" 'BEGIN { printf "%.2f", (v > 0) ? p / v : 0 }')"
  verdict="$(awk -v r="$ratio" 'BEGIN { print (r < 1.0) ? "faster" : (r <= 1.05) ? "within 1.05" : "SLOWER" }')"
  [ "$verdict" = SLOWER ] && status=1
  printf '%-6s %9.3fs %9.3fs %8s   %9.2fs %9.2fs %8s  %s\n' "$ext" "$p" "$v" "$ratio" "$cp" "$cv" \
    "$cratio" "$verdict"
done
exit $status
