#!/usr/bin/env bash
# Makes the README's screenshots from the real program: grows quilts of several families with
# zarn80-render, opens them in ZARN80 on a virtual X display and writes pictures of the main
# window to docs/images/ (PNG).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target zarn80 zarn80-render

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The program's settings (window layout, recent files) stay out of the user's own.
export XDG_CONFIG_HOME="$work/config"

render() { # name family seed period [view options...]
    local name=$1 family=$2 seed=$3 period=$4
    shift 4
    "$build/cli/zarn80-render" new --family "$family" --seed "$seed" --period "$period" \
        --steps 6000000 --quiet --save "$work/$name.session" "$@"
}
render square Square 3 2
render hex Hex 8 1
render corner SquareX 5 2
render expa ExpA 13 2
render square3 Square 3 3
render quazi Square 3 3 --view quazi
render poly SquareX 5 3 --view poly --tiling 4.6.12

shoot() { # picture size layout sessions...
    local picture=$1 size=$2 layout=$3
    shift 3
    xvfb-run -a -s "-screen 0 1920x1200x24" \
        "$build/app/zarn80" --size "$size" --layout "$layout" --delay 2000 \
        --screenshot "docs/images/$picture" "$@"
}
mkdir -p docs/images
shoot zarn80-four-quilts.png 1280x900 tile \
    "$work/square.session" "$work/hex.session" "$work/corner.session" "$work/expa.session"
shoot zarn80-one-quilt.png 1000x860 maximized "$work/square3.session"
shoot zarn80-views.png 1280x760 tile "$work/quazi.session" "$work/poly.session"
ls -l docs/images/zarn80-*.png
