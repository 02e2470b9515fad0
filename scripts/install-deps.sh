#!/usr/bin/env bash
# Installs every Debian package zumen needs to build, test, benchmark and fuzz.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-dev
  libcairo2-dev libfreetype-dev libfontconfig-dev fontconfig
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-ipaexfont-gothic fonts-ipaexfont-mincho
  zlib1g-dev libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev libimagequant-dev
  libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  libwebp-dev
  # Deflate for PNG and TIFF (ISA-L's igzip); libdeflate only for bench/ to compare.
  libisal-dev libdeflate-dev
  # Independent readers of the pictures, for the tests: SVG, PDF, WebP and the
  # other raster types.
  librsvg2-bin poppler-utils webp netpbm
  # DXF export tests: DXF files are read back, audited and drawn by ezdxf.
  python3-ezdxf python3-matplotlib
  # The Python module (for Debian's /usr/bin/python3) and its tests.
  python3-dev pybind11-dev python3-pybind11 python3-numpy
  # zumen.batch: Dask (its scheduler, workers and LocalCluster), its tables as
  # pandas DataFrames, sources as fsspec URLs.
  python3-dask python3-distributed python3-pandas python3-fsspec
  # The Python package built by pip with setuptools, offline, into a virtual
  # environment (its test); ccache lets a second build of the same sources
  # take the objects of the first.
  python3-setuptools python3-venv python3-pip ccache
  # The tests of the installed package: the desktop's file types (update-mime-database,
  # gio), the man pages, the files the installed zumen opens.
  shared-mime-info libglib2.0-bin man-db groff-base strace
  # Whole-command timing and peak memory for bench/thumbnail.sh and bench/compare.sh.
  hyperfine time
  # zumen serve: the HTTP library; its viewer's tests in headless Chromium
  # (screenshots read with Pillow).
  libcpp-httplib-dev chromium chromium-driver python3-selenium python3-pil
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
