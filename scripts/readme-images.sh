#!/usr/bin/env bash
# Makes the README's pictures of the renderer's level scales, colour presets and explore from
# the real program (zarn80-render) into docs/images/. The same build gives the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target zarn80-render
render=("$build/cli/zarn80-render")
out=docs/images

# The README's first example, on the logarithmic scale with a preset.
"${render[@]}" new --seed 7 --steps 3000000 --threads 1 --levels log --colors ember --quiet \
    -o "$out/seed7-log-ember.png"
# One quilt per family worth a look, each with a preset.
"${render[@]}" new --family SquareX --seed 105 --steps 4000000 --threads 1 --levels log \
    --colors glacier --quiet -o "$out/squarex-glacier.png"
"${render[@]}" new --family Oct_Four --seed 102 --steps 4000000 --threads 1 --levels robust \
    --colors teal-coral --quiet -o "$out/octfour-teal-coral.png"
# A contact sheet of twelve candidates, every family in turn, best first.
"${render[@]}" explore --count 12 --seed 101 --steps 1000000 --levels log --colors dusk \
    --thumb 160 --columns 4 --quiet -o "$out/explore-sheet.png"
echo "pictures written to $out"
