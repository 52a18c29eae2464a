#!/usr/bin/env bash
# Speed and memory of one resize-and-encode, picaxo-cli against established tools, all on one
# thread, on the same photos:
#   bench/convert_compare.sh [RUNS] [PHOTO...]
# Each photo is resized to 1024 pixels on its longer side with a Lanczos-3 filter and written as a
# JPEG of quality 85. The floor is the float-IDCT decode of the source plus the encode of the
# output alone. Prints median wall times (robust against a shared machine's noise), the ratios
# picaxo / anchor and picaxo / floor (target at most 1.15), the same ratio in CPU time (user +
# system, medians; less disturbed by other work on a shared machine), then the peak memory of
# picaxo-cli against the decoded 24-bit size: at most a quarter of it for a baseline photo, at
# most 1.25 times it for a progressive one (whose decoder keeps every coefficient).
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
ensure_packages imagemagick graphicsmagick libvips-tools hyperfine libjpeg-turbo-progs time jq
configure_and_build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null

RUNS="${1:-5}"
[ $# -gt 0 ] && shift
PHOTOS=("$@")
if [ ${#PHOTOS[@]} -eq 0 ]; then
  PHOTOS=("$ROOT/testdata/photos/Kleiber_by_Lukas_Baubkus.jpg"
          "$ROOT/testdata/photos/seeding_by_Clements_Engelhardt.jpg"
          "$ROOT/testdata/photos/picosdeeuropa_by_Aitzol_Berasategi.jpg")
fi

CLI="$ROOT/build/release/app/picaxo-cli"
# The packaged tools by full path, so that no wrapper earlier in PATH is measured instead.
IM=/usr/bin/convert-im6.q16
GM=/usr/bin/gm
VIPS=/usr/bin/vips
export OMP_NUM_THREADS=1 VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

median() { jq -r ".results[] | select(.command == \"$2\") | .median" "$1"; }

status=0
for photo in "${PHOTOS[@]}"; do
  name="$(basename "$photo")"
  read -r width height < <("$IM" identify -format '%w %h\n' "$photo" 2>/dev/null ||
                            identify -format '%w %h\n' "$photo")
  longer=$(( width > height ? width : height ))
  scale="$(awk -v l="$longer" 'BEGIN { printf "%.10f", 1024 / l }')"
  # The floor's encode input: the output picture, uncompressed.
  "$CLI" convert --longer 1024 --quality 85 "$photo" "$WORK/picaxo.jpg" >/dev/null
  djpeg -dct float -outfile "$WORK/out.ppm" "$WORK/picaxo.jpg"

  echo "== $name (${width}x${height}, $RUNS runs each, one thread)"
  hyperfine -N --warmup 1 --runs "$RUNS" --style basic --export-json "$WORK/t.json" \
    -n picaxo "$CLI convert --longer 1024 --quality 85 $photo $WORK/picaxo.jpg" \
    -n imagemagick "$IM -limit thread 1 $photo -filter Lanczos -resize 1024x1024 -quality 85 $WORK/im.jpg" \
    -n graphicsmagick "$GM convert -limit threads 1 $photo -filter Lanczos -resize 1024x1024 -quality 85 $WORK/gm.jpg" \
    -n libvips "$VIPS resize $photo $WORK/vips.jpg[Q=85] $scale --kernel lanczos3 --gap 0" \
    -n decode "djpeg -dct float -outfile /dev/null $photo" \
    -n encode "cjpeg -dct float -quality 85 -outfile /dev/null $WORK/out.ppm" >/dev/null

  p="$(median "$WORK/t.json" picaxo)"
  floor="$(awk -v a="$(median "$WORK/t.json" decode)" -v b="$(median "$WORK/t.json" encode)" \
           'BEGIN { print a + b }')"
  printf '  %-15s %8.3f s\n' picaxo "$p"
  for tool in imagemagick graphicsmagick libvips; do
    t="$(median "$WORK/t.json" "$tool")"
    verdict="$(awk -v p="$p" -v t="$t" 'BEGIN { print (p < t) ? "faster" : "SLOWER" }')"
    [ "$verdict" = SLOWER ] && status=1
    printf '  %-15s %8.3f s   picaxo/%s = %.2f (%s)\n' "$tool" "$t" "$tool" \
      "$(awk -v p="$p" -v t="$t" 'BEGIN { print p / t }')" "$verdict"
  done
  ratio="$(awk -v p="$p" -v f="$floor" 'BEGIN { print p / f }')"
  verdict="$(awk -v r="$ratio" 'BEGIN { print (r <= 1.15) ? "within 1.15" : "ABOVE 1.15" }')"
  [ "$verdict" = "ABOVE 1.15" ] && status=1
  printf '  %-15s %8.3f s   picaxo/floor = %.2f (%s)\n' "floor" "$floor" "$ratio" "$verdict"

  # CPU time (user + system) of the same three commands, medians of RUNS runs; perf's task clock
  # when it is there (milliseconds), else time(1) (hundredths of a second).
  cpu() {
    local i
    for ((i = 0; i < RUNS; i++)); do
      if command -v perf >/dev/null; then
        perf stat -x, -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1 / 1000 }'
      else
        /usr/bin/time -f '%U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1 + $2 }'
      fi
    done | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
  }
  cp="$(cpu "$CLI" convert --longer 1024 --quality 85 "$photo" "$WORK/picaxo.jpg")"
  cd_="$(cpu djpeg -dct float -outfile /dev/null "$photo")"
  ce="$(cpu cjpeg -dct float -quality 85 -outfile /dev/null "$WORK/out.ppm")"
  printf '  cpu time        picaxo %.3f s, floor %.3f s (decode %.3f + encode %.3f): %.2f\n' \
    "$cp" "$(awk -v a="$cd_" -v b="$ce" 'BEGIN { print a + b }')" "$cd_" "$ce" \
    "$(awk -v p="$cp" -v a="$cd_" -v b="$ce" 'BEGIN { print (a + b > 0) ? p / (a + b) : 0 }')"

  peak_kb="$(/usr/bin/time -f '%M' "$CLI" convert --longer 1024 --quality 85 "$photo" \
             "$WORK/picaxo.jpg" 2>&1 >/dev/null | tail -1)"
  decoded_kb=$(( width * height * 3 / 1024 ))
  if [ "$(identify -format '%[interlace]' "$photo[0]" 2>/dev/null)" = JPEG ]; then
    kind=progressive; limit_kb=$(( decoded_kb * 5 / 4 )); limit_text="1.25 times"
  else
    kind=baseline; limit_kb=$(( decoded_kb / 4 )); limit_text="a quarter of"
  fi
  verdict=$([ "$peak_kb" -le "$limit_kb" ] && echo "within" || echo "OVER")
  [ "$verdict" = OVER ] && status=1
  printf '  peak memory     %8d KiB = %.2f x the decoded size %d KiB (%s; limit %s it: %s)\n' \
    "$peak_kb" "$(awk -v p="$peak_kb" -v d="$decoded_kb" 'BEGIN { print p / d }')" "$decoded_kb" \
    "$kind" "$limit_text" "$verdict"
done
exit $status
