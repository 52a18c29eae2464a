#!/usr/bin/env bash
# Wall time of saving a folder of large photos, picaxo-cli batch against established tools, each
# on all cores:
#   bench/batch_compare.sh [RUNS]
# The folder holds 12 photos (three copies of each test photo, 4 to 20 megapixels). Every photo is
# resized to 1024 pixels on its longer side with a Lanczos-3 filter and written as a JPEG of
# quality 85:
#   picaxo       picaxo-cli batch --longer 1024 (one worker per core)
#   imagemagick  mogrify -filter Lanczos -resize 1024x1024 (its own threads)
#   libvips      vips resize ... --kernel lanczos3 --gap 0, two files at a time
# Then the single-job batch against the sum of the per-image picaxo-cli convert times: the batch
# adds no overhead of its own when the ratio stays within 1.1.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
ensure_packages imagemagick libvips-tools hyperfine time jq
configure_and_build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null

RUNS="${1:-3}"
CLI="$ROOT/build/release/app/picaxo-cli"
MOGRIFY=/usr/bin/mogrify-im6.q16
IDENTIFY=/usr/bin/identify-im6.q16
VIPS=/usr/bin/vips
CORES="$(nproc)"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

SRC="$WORK/src"
mkdir -p "$SRC"
for copy in 1 2 3; do
  for photo in "$ROOT"/testdata/photos/*.jpg; do
    cp "$photo" "$SRC/$(basename "${photo%.jpg}")_$copy.jpg"
  done
done

# libvips takes a scale, not a size: one command per photo, run two at a time.
: > "$WORK/vips.txt"
for photo in "$SRC"/*.jpg; do
  read -r width height < <("$IDENTIFY" -format '%w %h\n' "$photo")
  longer=$(( width > height ? width : height ))
  scale="$(awk -v l="$longer" 'BEGIN { printf "%.10f", 1024 / l }')"
  echo "$photo $WORK/vips/$(basename "$photo")[Q=85] $scale" >> "$WORK/vips.txt"
done
cat > "$WORK/vips.sh" <<VIPS
#!/bin/sh
xargs -P 2 -L 1 sh -c '$VIPS resize "\$0" "\$1" "\$2" --kernel lanczos3 --gap 0' < "$WORK/vips.txt"
VIPS
chmod +x "$WORK/vips.sh"

mean() { jq -r ".results[] | select(.command == \"$2\") | .mean" "$1"; }

echo "== 12 photos, $(du -sh "$SRC" | cut -f1), $CORES cores, $RUNS runs each"
hyperfine -N --warmup 1 --runs "$RUNS" --style basic --export-json "$WORK/all.json" \
  --prepare "rm -rf $WORK/picaxo $WORK/im $WORK/vips" \
  -n picaxo "$CLI batch --longer 1024 --quality 85 --jobs $CORES $SRC $WORK/picaxo" \
  -n imagemagick "sh -c 'mkdir -p $WORK/im && $MOGRIFY -path $WORK/im -filter Lanczos -resize 1024x1024 -quality 85 $SRC/*.jpg'" \
  -n libvips "sh -c 'mkdir -p $WORK/vips && $WORK/vips.sh'" >/dev/null

status=0
p="$(mean "$WORK/all.json" picaxo)"
printf '  %-12s %8.3f s\n' picaxo "$p"
for tool in imagemagick libvips; do
  t="$(mean "$WORK/all.json" "$tool")"
  verdict="$(awk -v p="$p" -v t="$t" 'BEGIN { print (p < t) ? "faster" : "SLOWER" }')"
  [ "$verdict" = SLOWER ] && status=1
  printf '  %-12s %8.3f s   picaxo/%s = %.2f (%s)\n' "$tool" "$t" "$tool" \
    "$(awk -v p="$p" -v t="$t" 'BEGIN { print p / t }')" "$verdict"
done

echo "== one job against the sum of one convert per photo"
convert_args=()
i=0
for photo in "$SRC"/*.jpg; do
  convert_args+=(-n "convert$i" "$CLI convert --longer 1024 --quality 85 $photo $WORK/one.jpg")
  i=$((i + 1))
done
hyperfine -N --warmup 1 --runs "$RUNS" --style basic --export-json "$WORK/one.json" \
  --prepare "rm -rf $WORK/single" \
  -n single "$CLI batch --longer 1024 --quality 85 --jobs 1 $SRC $WORK/single" \
  "${convert_args[@]}" >/dev/null
single="$(mean "$WORK/one.json" single)"
sum="$(jq -r '[.results[] | select(.command | startswith("convert")) | .mean] | add' "$WORK/one.json")"
ratio="$(awk -v s="$single" -v c="$sum" 'BEGIN { print s / c }')"
verdict="$(awk -v r="$ratio" 'BEGIN { print (r <= 1.1) ? "within 1.1" : "ABOVE 1.1" }')"
[ "$verdict" = "ABOVE 1.1" ] && status=1
printf '  %-12s %8.3f s\n' "batch -j1" "$single"
printf '  %-12s %8.3f s   batch/converts = %.3f (%s)\n' "converts" "$sum" "$ratio" "$verdict"
exit $status
