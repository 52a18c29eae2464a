# Shared by scripts/run, scripts/test, scripts/fuzz and the bench scripts: install what is missing,
# then configure and build incrementally.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 2)"

# Packages a build and its tests need on Debian 12.
PICAXO_PACKAGES=(build-essential cmake ninja-build pkg-config libjpeg62-turbo-dev
  libjpeg-turbo-progs libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev fonts-dejavu-core
  xvfb xauth xdotool x11-utils libx11-dev imagemagick desktop-file-utils librsvg2-bin
  liblcms2-dev libexiv2-dev libpng-dev libwebp-dev libheif-dev libtiff-dev clang-format
  webp libheif-examples netpbm libtiff-tools)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs every listed Debian package that is not installed yet; does nothing when all are.
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build DIR [cmake options...]
# The options are given again to a configured tree, so that a tree made with older options (the
# sanitizer tree once built no window) follows the script.
configure_and_build() {
  local dir="$1"; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@"
  elif [ $# -gt 0 ]; then
    cmake -S "$ROOT" -B "$dir" "$@" >/dev/null
  fi
  cmake --build "$dir" -j "$JOBS"
}
