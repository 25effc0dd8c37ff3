#!/usr/bin/env bash
# Cross-builds Avifold for 64-bit Windows: a static freeglut from Debian's own source
# package, then the program with mingw-w64, and packs build-windows/avifold-windows.zip
# (avifold.exe, data/, README.txt and LICENSE.txt). Installs what it needs with apt-get, like
# tools/install_deps.sh. Run from anywhere; again, it reuses the freeglut it built.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
freeglut=$out/freeglut

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

bash tools/install_deps.sh cmake make dpkg-dev zip unzip \
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  mingw-w64-x86-64-dev wine wine64

# freeglut's source, from Debian's package: the deb-src entry is there only for this,
# and goes again however the script ends.
source_list=/etc/apt/sources.list.d/avifold-freeglut-src.sources
trap '$sudo rm -f "$source_list"' EXIT
fetch_freeglut() {
  # The mirror and release the machine already takes its packages from.
  local release mirror
  release=$(. /etc/os-release && echo "$VERSION_CODENAME")
  mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' "Created-By: Packages" |
    awk -v r="$release" '$2 == r {print $1; exit}')
  $sudo tee "$source_list" >/dev/null <<SOURCES
Types: deb-src
URIs: $mirror
Suites: $release
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  $sudo apt-get update -q
  rm -rf "$freeglut/source"
  mkdir -p "$freeglut/source"
  (cd "$freeglut/source" && apt-get source -q freeglut)
  $sudo rm -f "$source_list"
}

build_freeglut() {
  local src
  src=$(find "$freeglut/source" -mindepth 1 -maxdepth 1 -type d -name 'freeglut-*' | head -1)
  cmake -S "$src" -B "$freeglut/build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$freeglut/install" \
    -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_STATIC_LIBS=ON \
    -DFREEGLUT_BUILD_DEMOS=OFF
  cmake --build "$freeglut/build" -j2
  cmake --install "$freeglut/build"
}

if [ ! -f "$freeglut/install/lib/libfreeglut_static.a" ]; then
  echo "== freeglut for Windows"
  fetch_freeglut
  build_freeglut
fi

echo "== avifold.exe"
cmake --preset windows
cmake --build --preset windows

echo "== avifold-windows.zip"
stage=$out/stage
rm -rf "$stage" "$out/avifold-windows.zip"
mkdir -p "$stage/data"
cp "$out/avifold/app/avifold.exe" "$stage/"
cp "$root"/data/*.raw "$stage/data/"
cp "$root/packaging/README-windows.txt" "$stage/README.txt"
cp "$root/LICENSE" "$stage/LICENSE.txt"
# -l: the texts with Windows line ends.
(cd "$stage" && zip -q -r "$out/avifold-windows.zip" avifold.exe data)
(cd "$stage" && zip -q -l "$out/avifold-windows.zip" README.txt LICENSE.txt)
echo "wrote $out/avifold-windows.zip"
