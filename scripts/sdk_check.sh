#!/usr/bin/env bash
# Checks the SDK end to end: installs the build into a temporary prefix, builds the game
# template out of tree against it (nothing from the source tree), runs it headless for a
# few frames with a screenshot (with rmod_soft, and with rmod_gl when OpenGL can be had),
# and makes the Debian package, checking its files and declared dependencies.
#   scripts/sdk_check.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "sdk_check: $*" >&2; exit 1; }

echo "== install into $work/sdk"
cmake --install "$build" --prefix "$work/sdk" >/dev/null
for f in bin/zylem bin/zypak lib/zylem/rmod_soft.so include/zylem/zylem.h \
         include/zylem/zylem_modules.h lib/cmake/Zylem/ZylemConfig.cmake \
         lib/cmake/Zylem/ZylemConfigVersion.cmake share/zylem/template/CMakeLists.txt; do
  [ -e "$work/sdk/$f" ] || fail "the install lacks $f"
done

echo "== the template, built out of tree against the installed SDK"
cp -r "$work/sdk/share/zylem/template" "$work/mygame"
cmake -S "$work/mygame" -B "$work/mygame/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/sdk" >/dev/null
cmake --build "$work/mygame/build" >/dev/null
game="$work/mygame/build/mygame"
for f in prog.so prog.xml data/star.png data/beep.wav rmod_soft.so; do
  [ -e "$game/$f" ] || fail "the game folder lacks $f"
done

# Each run has a home of its own, as the tests do.
run() {
  local renderer=$1 shot="$work/$1.png"
  mkdir -p "$work/home-$renderer"
  HOME="$work/home-$renderer" XDG_DATA_HOME="$work/home-$renderer/data" \
    XDG_RUNTIME_DIR="$work/home-$renderer" SDL_AUDIODRIVER=dummy \
    "$work/sdk/bin/zylem" --game "$game" --headless --renderer "$renderer" --frames 5 \
    --screenshot "$shot" >"$work/$renderer.out" 2>&1 || return 1
  [ -s "$shot" ] || fail "$renderer: no screenshot written"
  echo "   $renderer: 5 frames, screenshot $(stat -c %s "$shot") bytes"
}
echo "== running it headless"
run rmod_soft || { cat "$work/rmod_soft.out"; fail "the template does not run with rmod_soft"; }
if [ -e "$game/rmod_gl.so" ]; then
  run rmod_gl || echo "   rmod_gl: not run here (no OpenGL 3.3 without a display)"
fi

echo "== Debian package"
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/zylem_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "cpack made no zylem_*.deb"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libsdl2 libpng libegl1 libgl1; do
  grep -q "$d" <<<"$depends" || fail "the package does not depend on $d: $depends"
done
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/zylem ./usr/lib/zylem/rmod_soft.so ./usr/include/zylem/zylem.h \
         ./usr/lib/cmake/Zylem/ZylemConfig.cmake ./usr/share/zylem/template/game.cpp; do
  grep -q " $f\$" <<<"$contents" || fail "the package lacks $f"
done
# apt resolves the declared dependencies (simulated: nothing is installed here).
if command -v apt-get >/dev/null; then
  apt-get install -s "$deb" >"$work/apt.out" 2>&1 || { cat "$work/apt.out"; fail "apt cannot install $deb"; }
fi
cp "$deb" "$build/"
echo "sdk_check: ok ($(basename "$deb"), Depends: $depends)"
